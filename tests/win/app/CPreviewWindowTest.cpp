#include "win/app/CPreviewWindow.h"
#include "win/app/CPictureArea.h"

#include <thread>
#include <vector>

#include <gtest/gtest.h>

#include <QEvent>

#include "tests/support/TestSupport.h"
#include "win/common/AppServices.h"

using namespace std::chrono_literals;

namespace {

// Counts the PreviewResizedMessage events it receives.
class MessageCounter : public QObject
{
public:
    int count = 0;
    bool event(QEvent *event) override
    {
        if (event->type() == static_cast<QEvent::Type>(CPreviewWindow::kPreviewResizedMessage)) {
            ++count;
            return true;
        }
        return QObject::event(event);
    }
};

// A bottom-up BGR frame whose top picture row is `top` and every other row is `rest`.
std::vector<uint8_t> frameWithTopRow(int width, int height, QRgb top, QRgb rest)
{
    std::vector<uint8_t> frame(static_cast<size_t>(width) * height * 3);
    for (int row = 0; row < height; ++row) {
        // Buffer row 0 is the bottom picture row.
        const QRgb colour = (row == height - 1) ? top : rest;
        uint8_t *line = frame.data() + static_cast<size_t>(row) * width * 3;
        for (int x = 0; x < width; ++x) {
            line[3 * x] = static_cast<uint8_t>(qBlue(colour));
            line[3 * x + 1] = static_cast<uint8_t>(qGreen(colour));
            line[3 * x + 2] = static_cast<uint8_t>(qRed(colour));
        }
    }
    return frame;
}

class PreviewWindowTest : public ::testing::Test
{
protected:
    AppServices m_services{varnolet::SystemPaths::fromEnvironment()};
};

} // namespace

TEST(PictureRectangleTest, LetterboxAndPillarbox)
{
    // A pane wider than the picture: pillarbox, centred horizontally.
    EXPECT_EQ(CPreviewWindow::PictureRectangle(QRect(0, 0, 1000, 600), 640, 480),
              QRect(100, 0, 800, 600));
    // A pane taller than the picture: letterbox, centred vertically.
    EXPECT_EQ(CPreviewWindow::PictureRectangle(QRect(0, 0, 800, 800), 640, 480),
              QRect(0, 100, 800, 600));
    // 16:9 in a 4:3 pane.
    EXPECT_EQ(CPreviewWindow::PictureRectangle(QRect(0, 0, 800, 600), 1280, 720),
              QRect(0, 75, 800, 450));
    // Exactly the picture's aspect ratio fills the pane.
    EXPECT_EQ(CPreviewWindow::PictureRectangle(QRect(0, 0, 640, 480), 320, 240),
              QRect(0, 0, 640, 480));
    // Offsets of the client rectangle are kept; halves truncate.
    EXPECT_EQ(CPreviewWindow::PictureRectangle(QRect(10, 20, 801, 600), 640, 480),
              QRect(10, 20, 800, 600));
    EXPECT_EQ(CPreviewWindow::PictureRectangle(QRect(0, 0, 803, 600), 640, 480),
              QRect(1, 0, 800, 600));
    // Heights truncate: 0.75 * 333 = 249.75.
    EXPECT_EQ(CPreviewWindow::PictureRectangle(QRect(0, 0, 333, 1000), 640, 480),
              QRect(0, 375, 333, 249));
}

TEST(PictureRectangleTest, SizeWithoutAreaFillsThePane)
{
    EXPECT_EQ(CPreviewWindow::PictureRectangle(QRect(0, 0, 800, 600), 0, 480),
              QRect(0, 0, 800, 600));
    EXPECT_EQ(CPreviewWindow::PictureRectangle(QRect(0, 0, 800, 600), 640, 0),
              QRect(0, 0, 800, 600));
    EXPECT_EQ(CPreviewWindow::PictureRectangle(QRect(0, 0, 0, 0), 640, 480), QRect(0, 0, 0, 0));
}

TEST_F(PreviewWindowTest, ResizeLaysOutAndSendsTheResizedMessage)
{
    MessageCounter target;
    CPreviewWindow pane(m_services, &target);
    pane.resize(1000, 600);
    pane.show();
    ASSERT_TRUE(varnolet::test::processEventsUntil([&] { return pane.width() == 1000; }));
    EXPECT_EQ(pane.PictureArea()->geometry(), QRect(100, 0, 800, 600));
    const int before = target.count;
    EXPECT_GE(before, 1);

    pane.resize(800, 800);
    varnolet::test::processEventsUntil([&] { return target.count > before; });
    EXPECT_EQ(target.count, before + 1);
    EXPECT_EQ(pane.PictureArea()->geometry(), QRect(0, 100, 800, 600));

    // A new delivered capture size: the letterbox follows after LayoutPictureArea.
    m_services.Settings().SetUsingCaptureSize(1280, 720);
    pane.resize(800, 600);
    varnolet::test::processEventsUntil([&] { return pane.height() == 600; });
    EXPECT_EQ(pane.PictureArea()->geometry(), QRect(0, 75, 800, 450));
    m_services.Settings().SetUsingCaptureSize(640, 480);
    pane.LayoutPictureArea();
    EXPECT_EQ(pane.PictureArea()->geometry(), QRect(0, 0, 800, 600));
    EXPECT_EQ(pane.PictureArea()->property("controlId").toInt(), 10000);
}

TEST_F(PreviewWindowTest, PaintsTheNewestFrameUprightAndDropsStaleOnes)
{
    CPreviewWindow pane(m_services, nullptr);
    pane.resize(320, 240);
    pane.show();
    CPictureArea *area = pane.PictureArea();
    ASSERT_TRUE(varnolet::test::processEventsUntil([&] { return area->isVisible(); }));
    EXPECT_FALSE(area->HasPicture());

    // Three frames before the UI thread runs: only the last reaches the screen.
    const auto red = frameWithTopRow(64, 48, qRgb(255, 0, 0), qRgb(10, 10, 10));
    const auto green = frameWithTopRow(64, 48, qRgb(0, 255, 0), qRgb(20, 20, 20));
    const auto blue = frameWithTopRow(64, 48, qRgb(0, 0, 255), qRgb(30, 30, 30));
    area->PresentFrame(red.data(), 64, 48);
    area->PresentFrame(green.data(), 64, 48);
    area->PresentFrame(blue.data(), 64, 48);
    ASSERT_TRUE(varnolet::test::processEventsUntil([&] { return area->statistics().shown == 1; }));

    const QImage &shown = area->ShownPicture();
    ASSERT_EQ(shown.size(), QSize(64, 48));
    EXPECT_EQ(shown.pixel(5, 0), qRgb(0, 0, 255)); // the top row is the buffer's last row
    EXPECT_EQ(shown.pixel(5, 47), qRgb(30, 30, 30));
    const CPictureArea::Statistics stats = area->statistics();
    EXPECT_EQ(stats.delivered, 3u);
    EXPECT_EQ(stats.dropped, 2u);

    // The painted area shows that picture scaled to its rectangle.
    const QImage screen = area->grab().toImage();
    EXPECT_EQ(QColor(screen.pixel(screen.width() / 2, screen.height() / 2)), QColor(30, 30, 30));

    area->ClearPicture();
    EXPECT_FALSE(area->HasPicture());
    const QImage cleared = area->grab().toImage();
    EXPECT_EQ(QColor(cleared.pixel(10, 10)), QColor(Qt::black));
}

TEST_F(PreviewWindowTest, FramesFromAnotherThreadNeverPileUp)
{
    CPreviewWindow pane(m_services, nullptr);
    pane.resize(320, 240);
    pane.show();
    CPictureArea *area = pane.PictureArea();
    constexpr int kFrames = 200;
    std::atomic<bool> done{false};
    std::thread capture([&] {
        for (int i = 0; i < kFrames; ++i) {
            const auto frame = frameWithTopRow(160, 120, qRgb(i, 0, 0), qRgb(0, i, 0));
            area->PresentFrame(frame.data(), 160, 120);
            std::this_thread::sleep_for(1ms);
        }
        done = true;
    });
    varnolet::test::processEventsUntil([&] { return done.load(); }, 10s);
    capture.join();
    ASSERT_TRUE(varnolet::test::processEventsUntil([&] {
        const auto s = area->statistics();
        return s.shown + s.dropped == s.delivered;
    }));
    const CPictureArea::Statistics stats = area->statistics();
    EXPECT_EQ(stats.delivered, static_cast<uint64_t>(kFrames));
    EXPECT_GE(stats.shown, 1u);
    // The last frame is the one on screen.
    EXPECT_EQ(area->ShownPicture().pixel(0, 0), qRgb(kFrames - 1, 0, 0));
}

TEST_F(PreviewWindowTest, AFrameTwiceThePaintedSizeIsHalvedWithoutLosingItsEdges)
{
    CPreviewWindow pane(m_services, nullptr);
    pane.resize(160, 120);
    pane.show();
    CPictureArea *area = pane.PictureArea();
    ASSERT_TRUE(varnolet::test::processEventsUntil([&] { return area->width() == 160; }));
    // Top rows red, the rest grey: halving averages pairs of rows, so the top row stays red.
    auto frame = frameWithTopRow(400, 300, qRgb(255, 0, 0), qRgb(100, 100, 100));
    const size_t row = 400 * 3;
    std::copy(frame.end() - row, frame.end(), frame.end() - 2 * row); // second row red too
    area->PresentFrame(frame.data(), 400, 300);
    ASSERT_TRUE(varnolet::test::processEventsUntil([&] { return area->HasPicture(); }));
    EXPECT_EQ(area->ShownPicture().size(), QSize(200, 150));
    EXPECT_EQ(area->ShownPicture().pixel(10, 0), qRgb(255, 0, 0));
    EXPECT_EQ(area->ShownPicture().pixel(10, 100), qRgb(100, 100, 100));

    // A frame smaller than twice the area keeps its size.
    const auto small = frameWithTopRow(300, 200, qRgb(0, 0, 255), qRgb(1, 2, 3));
    area->PresentFrame(small.data(), 300, 200);
    ASSERT_TRUE(
        varnolet::test::processEventsUntil([&] { return area->ShownPicture().width() == 300; }));
    EXPECT_EQ(area->ShownPicture().pixel(0, 0), qRgb(0, 0, 255));
}
