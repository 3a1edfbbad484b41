#include "BrowserTestFixture.h"

#include "win/panes/CResourceBrowserView.h"
#include "win/panes/CResourcesBrowserDlg.h"
#include "win/browser/FilmSymbol.h"
#include "win/browser/FolderMonitor.h"

#include <filesystem>
#include <memory>

#include <QApplication>
#include <QScrollBar>
#include <QStyle>
#include <QWheelEvent>

namespace {

namespace fs = std::filesystem;
using namespace std::chrono_literals;
using varnolet::test::processEventsFor;
using varnolet::test::processEventsUntil;
using Names = std::vector<std::string>;

// Counts the paint events a widget receives.
class PaintCounter final : public QObject
{
public:
    explicit PaintCounter(QWidget *widget) { widget->installEventFilter(this); }
    int count = 0;

protected:
    bool eventFilter(QObject *, QEvent *event) override
    {
        if (event->type() == QEvent::Paint)
            ++count;
        return false;
    }
};

class ResourcesBrowserDlgTest : public BrowserTestFixture
{
protected:
    // A shown thumbnail pane whose picture area is `boxWidth` wide and `height` high.
    void MakePane(int boxWidth, int height)
    {
        view =
            std::make_unique<CResourceBrowserView>(m_services, m_messages.box(), nullptr, Opener());
        panel = view->Panel();
        const int bar = panel->style()->pixelMetric(QStyle::PM_ScrollBarExtent);
        view->resize(boxWidth + bar, height);
        view->show();
        processEventsUntil([this] { return panel->isVisible(); });
        ASSERT_EQ(panel->PictureArea().width(), boxWidth);
    }
    void WaitWatching()
    {
        ASSERT_TRUE(processEventsUntil([this] { return panel->Monitor().IsWatching(); }));
    }

    std::unique_ptr<CResourceBrowserView> view;
    CResourcesBrowserDlg *panel = nullptr;
};

TEST_F(ResourcesBrowserDlgTest, PicturesArePlacedByTheRatioRuleInA200WidePane)
{
    UseSettings(false);
    WriteJpeg("Single Shots/S20240305_0001.jpg", 1600, 1200);
    WriteJpeg("Single Shots/S20240305_0002.jpg", 640, 240);
    MakePane(200, 330);
    panel->ShowFolder(InRoot("Single Shots"), false);
    PaintSettled(*panel);
    const auto &rects = panel->PictureRects();
    ASSERT_EQ(rects.size(), 2u);
    EXPECT_EQ(rects[0], std::make_pair(0, QRect(33, 10, 133, 100)));
    EXPECT_EQ(rects[1], std::make_pair(1, QRect(0, 132, 200, 75)));
}

TEST_F(ResourcesBrowserDlgTest, ADamagedPhotoGivesItsPlaceToTheNextAndDoubleClickOpensThatOne)
{
    UseSettings(false);
    WriteJpeg("Single Shots/S20240305_0001.jpg", 400, 200);
    WriteDamaged("Single Shots/S20240305_0002.jpg");
    const std::string third = WriteJpeg("Single Shots/S20240305_0003.jpg", 400, 200);
    MakePane(200, 330);
    panel->ShowFolder(InRoot("Single Shots"), false);
    PaintSettled(*panel);
    const auto &rects = panel->PictureRects();
    ASSERT_EQ(rects.size(), 2u);
    EXPECT_EQ(rects[0].second, QRect(0, 10, 200, 100));
    EXPECT_EQ(rects[1].first, 2);
    EXPECT_EQ(rects[1].second, QRect(0, 120, 200, 100)); // directly below the first

    QMouseEvent click(QEvent::MouseButtonDblClick, QPointF(100, 170), QPointF(100, 170),
                      Qt::LeftButton, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(panel, &click);
    ASSERT_EQ(m_opened.size(), 1u);
    EXPECT_EQ(m_opened[0].first, third);
    EXPECT_EQ(m_opened[0].second, ShellOpener::Verb::Open);

    // A file the desktop cannot open: the system's text, caption "Varnolet".
    m_openAnswer = false;
    QApplication::sendEvent(panel, &click);
    ASSERT_EQ(m_messages->count(), 1u);
    EXPECT_EQ(m_messages->messages()[0].caption, "Varnolet");
    // A click between the pictures opens nothing.
    QMouseEvent between(QEvent::MouseButtonDblClick, QPointF(100, 115), QPointF(100, 115),
                        Qt::LeftButton, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(panel, &between);
    EXPECT_EQ(m_opened.size(), 2u);
}

TEST_F(ResourcesBrowserDlgTest, ScrollRangeFollowsTheNamesAndTheWheelStepsOneRow)
{
    UseSettings(false);
    for (int i = 1; i <= 7; ++i)
        WriteJpeg("Movies/pic" + std::to_string(i) + ".jpg", 64, 48);
    WriteJpeg("Timed Shots/a.jpg", 64, 48);
    WriteJpeg("Timed Shots/b.jpg", 64, 48);
    MakePane(200, 300);
    panel->ShowFolder(InRoot("Movies"), false);
    EXPECT_EQ(panel->Scroll().Maximum(), 770);
    EXPECT_TRUE(panel->ScrollBar()->isVisible());

    QWheelEvent wheel(QPointF(50, 50), panel->mapToGlobal(QPointF(50, 50)), QPoint(),
                      QPoint(0, -120), Qt::NoButton, Qt::NoModifier, Qt::NoScrollPhase, false);
    QApplication::sendEvent(panel, &wheel);
    EXPECT_EQ(panel->Scroll().Position(), 110);
    EXPECT_EQ(panel->ScrollBar()->value(), 110);

    panel->ScrollToEnd();
    PaintSettled(*panel);
    // The last picture sits at the bottom of the pane.
    ASSERT_FALSE(panel->PictureRects().empty());
    EXPECT_EQ(panel->PathOfRow(panel->PictureRects().back().first), InRoot("Movies/pic7.jpg"));

    panel->ShowFolder(InRoot("Timed Shots"), false);
    EXPECT_EQ(panel->Scroll().Maximum(), 220);
    EXPECT_FALSE(panel->ScrollBar()->isVisible());
    EXPECT_EQ(panel->Scroll().Position(), 0);
}

TEST_F(ResourcesBrowserDlgTest, MoviesShowTheirFirstFrameWithTheFilmSymbol)
{
    UseSettings(false);
    WriteMovie("Movies/M20240305_0001.avi", 320, 240);
    MakePane(200, 220);
    panel->ShowFolder(InRoot("Movies"), false);
    PaintSettled(*panel);
    ASSERT_EQ(panel->PictureRects().size(), 1u);
    const QRect rect = panel->PictureRects()[0].second;
    EXPECT_EQ(rect, QRect(33, 10, 133, 100));
    const QImage shot = panel->grab().toImage();
    const QImage symbol = FilmSymbol::Shipped(m_services.Paths());
    int compared = 0;
    for (int y = 0; y < symbol.height(); y += 3) {
        for (int x = 0; x < symbol.width(); x += 3) {
            if (qAlpha(symbol.pixel(x, y)) == 255) {
                EXPECT_EQ(shot.pixel(rect.left() + x, rect.top() + y), symbol.pixel(x, y));
                ++compared;
            }
        }
    }
    EXPECT_GT(compared, 10);
    // Below the symbol: the frame's red picture.
    const QColor frame = shot.pixelColor(rect.center().x() + 30, rect.center().y() + 30);
    EXPECT_GT(frame.red(), 150);
    EXPECT_LT(frame.blue(), 120);
}

TEST_F(ResourcesBrowserDlgTest, DeletingAShownPhotoRemovesItKeepingTheDistanceFromTheEnd)
{
    UseSettings(false);
    for (int i = 1; i <= 7; ++i)
        WriteJpeg("Single Shots/S20240305_000" + std::to_string(i) + ".jpg", 64, 48);
    MakePane(200, 300);
    WaitWatching();
    panel->ShowFolder(InRoot("Single Shots"), true);
    EXPECT_EQ(panel->Scroll().Position(), 471);
    fs::remove(InRoot("Single Shots/S20240305_0004.jpg"));
    ASSERT_TRUE(processEventsUntil(
        [this] { return panel->Names().size() == 6 && panel->Scroll().Maximum() == 660; }));
    EXPECT_EQ(panel->Scroll().Position(), 361);
    EXPECT_FALSE(panel->ContainsName("S20240305_0004.jpg"));
}

TEST_F(ResourcesBrowserDlgTest, ARenameInsertsTheNewNameAtItsOrdinalPlace)
{
    UseSettings(false);
    for (const char *name : {"S20240305_0001.jpg", "S20240305_0002.jpg", "S20240305_0007.jpg"})
        WriteJpeg(std::string("Single Shots/") + name, 64, 48);
    MakePane(200, 300);
    WaitWatching();
    panel->ShowFolder(InRoot("Single Shots"), false);
    fs::rename(InRoot("Single Shots/S20240305_0007.jpg"),
               InRoot("Single Shots/S20240305_0001b.jpg"));
    const Names expected{"S20240305_0001.jpg", "S20240305_0001b.jpg", "S20240305_0002.jpg"};
    EXPECT_TRUE(processEventsUntil([&] { return panel->Names() == expected; }));
}

TEST_F(ResourcesBrowserDlgTest, AHandCopiedPhotoOrAChangeElsewhereChangesNothing)
{
    UseSettings(false);
    WriteJpeg("Single Shots/S20240305_0001.jpg", 64, 48);
    WriteJpeg("Timed Shots/T20240305_001_0001.jpg", 64, 48);
    MakePane(200, 300);
    WaitWatching();
    panel->ShowFolder(InRoot("Single Shots"), false);
    PaintSettled(*panel);
    processEventsFor(100ms);
    PaintCounter paints(panel);
    fs::copy_file(InRoot("Single Shots/S20240305_0001.jpg"), InRoot("Single Shots/copy.jpg"));
    fs::remove(InRoot("Timed Shots/T20240305_001_0001.jpg"));
    processEventsFor(300ms);
    EXPECT_EQ(panel->Names(), Names{"S20240305_0001.jpg"});
    EXPECT_EQ(paints.count, 0);
}

TEST_F(ResourcesBrowserDlgTest, APhotoWrittenAnewIsDrawnAnew)
{
    UseSettings(false);
    WriteJpeg("Single Shots/S20240305_0001.jpg", 400, 200, QColor(0, 0, 200));
    MakePane(200, 300);
    WaitWatching();
    panel->ShowFolder(InRoot("Single Shots"), false);
    PaintSettled(*panel);
    EXPECT_GT(panel->grab().toImage().pixelColor(100, 60).blue(), 150);
    // Written in place by another program (a later modification time).
    WriteJpeg("Single Shots/S20240305_0001.jpg", 400, 200, QColor(0, 200, 0));
    const std::string path = InRoot("Single Shots/S20240305_0001.jpg");
    fs::last_write_time(path, fs::last_write_time(path) + std::chrono::seconds(2));
    EXPECT_TRUE(processEventsUntil([this] {
        panel->WaitForThumbnails(1s);
        return panel->grab().toImage().pixelColor(100, 60).green() > 150;
    }));
}

TEST_F(ResourcesBrowserDlgTest, DeletingTheShownFolderEmptiesThePane)
{
    UseSettings(true);
    WriteJpeg("Single Shots/20240305/000/SingleShot0000.jpg", 64, 48);
    MakePane(200, 300);
    WaitWatching();
    panel->ShowFolder(InRoot("Single Shots/20240305/000"), false);
    ASSERT_EQ(panel->Names().size(), 1u);
    fs::remove_all(InRoot("Single Shots/20240305/000"));
    EXPECT_TRUE(processEventsUntil([this] { return panel->CurrentFolder().empty(); }));
    EXPECT_TRUE(panel->Names().empty());

    // A folder above the shown one moved away (to the wastebasket) empties it too.
    WriteJpeg("Single Shots/20240306/000/SingleShot0000.jpg", 64, 48);
    processEventsFor(100ms);
    panel->ShowFolder(InRoot("Single Shots/20240306/000"), false);
    fs::rename(InRoot("Single Shots/20240306"), m_temp.file("trashed"));
    EXPECT_TRUE(processEventsUntil([this] { return panel->CurrentFolder().empty(); }));
}

TEST_F(ResourcesBrowserDlgTest, ABurstOfFiveHundredDeletionsRepaintsOnce)
{
    UseSettings(false);
    const std::string folder = InRoot("Timed Shots/");
    for (int i = 0; i < 510; ++i)
        m_temp.write("Pictures/Varnolet/Timed Shots/T20240305_001_" + std::to_string(1000 + i) +
                         ".jpg",
                     "x");
    MakePane(200, 300);
    WaitWatching();
    panel->ShowFolder(InRoot("Timed Shots"), false);
    PaintSettled(*panel);
    processEventsFor(200ms);
    PaintCounter paints(panel);
    for (int i = 10; i < 510; ++i)
        fs::remove(folder + "T20240305_001_" + std::to_string(1000 + i) + ".jpg");
    ASSERT_TRUE(processEventsUntil([this] { return panel->Names().size() == 10; }));
    processEventsFor(300ms);
    EXPECT_EQ(paints.count, 1);
    EXPECT_EQ(panel->Scroll().Maximum(), 1100);
}

TEST_F(ResourcesBrowserDlgTest, RestartLeavesNoWakeUpFileAndWatchesTheNewRoot)
{
    UseSettings(false);
    MakePane(200, 300);
    WaitWatching();
    const std::string oldRoot = Root();
    EXPECT_EQ(panel->Monitor().WatchedRoot(), oldRoot);
    UseSettings(false, "Elsewhere");
    WriteJpeg("Movies/a.jpg", 64, 48);
    WriteJpeg("Movies/b.jpg", 64, 48);
    panel->RestartFolderMonitor();
    EXPECT_TRUE(panel->CurrentFolder().empty());
    WaitWatching();
    EXPECT_EQ(panel->Monitor().WatchedRoot(), Root());
    EXPECT_FALSE(fs::exists(oldRoot + "/MyVarnoletMMNXXXTemp.dat"));
    EXPECT_FALSE(fs::exists(Root() + "/MyVarnoletMMNXXXTemp.dat"));
    panel->ShowFolder(InRoot("Movies"), false);
    fs::remove(InRoot("Movies/a.jpg"));
    EXPECT_TRUE(processEventsUntil([this] { return panel->Names() == Names{"b.jpg"}; }));
}

} // namespace

TEST_F(ResourcesBrowserDlgTest, TheWholePaneIsPaintedWhenTheScrollBarIsHidden)
{
    UseSettings(false);
    WriteJpeg("Single Shots/S20240305_0001.jpg", 640, 480);
    MakePane(200, 330);
    panel->ShowFolder(InRoot("Single Shots"), false);
    PaintSettled(*panel);
    ASSERT_FALSE(panel->findChild<QScrollBar *>()->isVisible()) << "one photo needs no scroll bar";
    // The strip the hidden scroll bar leaves right of the pictures is the pane's too.
    const QImage shot = panel->grab().toImage();
    const QColor background = panel->palette().color(panel->backgroundRole());
    for (int x = 201; x < panel->width(); ++x) {
        for (int y : {0, panel->height() / 2, panel->height() - 1})
            ASSERT_EQ(shot.pixelColor(x, y), background) << "unpainted at " << x << "," << y;
    }
}
