#include <filesystem>
#include <memory>
#include <utility>

#include <gtest/gtest.h>

#include <QApplication>
#include <QMouseEvent>
#include <QScrollArea>
#include <QScrollBar>

#include "BrowserFiles.h"
#include "mac/ui/FileBrowserView.h"
#include "mac/browser/VxKQueue.h"
#include "platform/widgets/ShellOpener.h"
#include "tests/support/TestSupport.h"

using browsertest::makeJpeg;
using browsertest::writeBytes;
using varnolet::test::TempFolder;

namespace {

// A strip in a frameless scroll area whose viewport is `width` × `height`, with its own
// badge folder, and the desktop opener replaced by a recorder.
class FileBrowserViewTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        badge.makeFolder("res");
        QImage flag(32, 32, QImage::Format_ARGB32);
        flag.fill(qRgb(0, 200, 0));
        ASSERT_TRUE(flag.save(QString::fromStdString(badge.file("res/Player.png"))));
    }

    FileBrowserView &makeStrip(int width, int height)
    {
        area = std::make_unique<QScrollArea>();
        area->setFrameShape(QFrame::NoFrame);
        area->setWidgetResizable(true);
        area->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
        area->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
        auto *view = new FileBrowserView(nullptr, badge.file("res"), {},
                                         [this](const std::string &path, ShellOpener::Verb) {
                                             opened.push_back(path);
                                             return true;
                                         });
        area->setWidget(view);
        area->resize(width, height);
        area->show();
        QApplication::processEvents();
        return *view;
    }
    QImage grabLoaded()
    {
        paint();
        return area->grab().toImage();
    }
    FileBrowserView &strip() { return *static_cast<FileBrowserView *>(area->widget()); }
    int scrollY() const { return area->verticalScrollBar()->value(); }
    // A paint asks for the rows it shows; the second one draws them once made.
    void paint()
    {
        area->grab();
        ASSERT_TRUE(strip().waitForThumbnails(std::chrono::seconds(20)));
        area->grab();
    }

    TempFolder folder;
    TempFolder badge;
    std::unique_ptr<QScrollArea> area;
    std::vector<std::string> opened;

private:
};

bool isBadgeGreen(QRgb pixel)
{
    return qGreen(pixel) > 180 && qRed(pixel) < 40 && qBlue(pixel) < 40;
}

MyRect rectOf(const FileBrowserView &view, const std::string &name)
{
    const auto &items = view.drawingResourcesItems();
    const auto it = items.find(name);
    return it == items.end() ? MyRect{} : it->second;
}

} // namespace

TEST_F(FileBrowserViewTest, ListsPhotosAndMoviesByTheCaseSensitiveTest)
{
    for (const char *name : {"a.jpg", "b.mov", "c.txt", "d.PNG", ".DS_Store",
                             ".SingleShot1001.jpg.Xq3v9Z", "e.png", "notes.jpg.txt"})
        folder.write(name, "x");
    FileBrowserView &view = makeStrip(300, 330);
    EXPECT_EQ(view.thumbnailSize(), 100);
    EXPECT_EQ(view.currentBrowserLocationOfResources(), "");
    view.updateFiles(folder.path());
    EXPECT_EQ(view.filesName(),
              (std::vector<std::string>{"a.jpg", "b.mov", "e.png", "notes.jpg.txt"}));
    EXPECT_EQ(view.height(), 4 * 110);
    EXPECT_EQ(view.getFileNameByIndex(1), "b.mov");
    EXPECT_EQ(view.getFileNameByIndex(4), "");
    EXPECT_TRUE(FileBrowserView::isMovieFile("clip.mov.part"));
    EXPECT_FALSE(FileBrowserView::isImageFile("photo.JPG"));

    // An unlistable folder: an empty strip of height 0.
    view.updateFiles(folder.file("missing"));
    EXPECT_TRUE(view.filesName().empty());
    EXPECT_EQ(view.height(), 0);
}

TEST_F(FileBrowserViewTest, BrokenFilesKeepAnEmptyRowAndAreTriedOncePerRebuild)
{
    folder.write("notes.jpg.txt", "not a picture");
    writeBytes(folder.file("photo.jpg"), makeJpeg(640, 480));
    FileBrowserView &view = makeStrip(300, 330);
    view.updateFiles(folder.path());
    paint();
    EXPECT_EQ(view.thumbnailAttempts(), 2);
    EXPECT_EQ(view.drawingResourcesItems().count("notes.jpg.txt"), 0u);
    EXPECT_EQ(view.drawingResourcesItems().count("photo.jpg"), 1u);
    for (int i = 0; i < 5; ++i)
        paint();
    EXPECT_EQ(view.thumbnailAttempts(), 2); // neither the photo nor the failure again
    // A double click on the empty row does nothing.
    view.mouseDown(QPointF(150, 60), 2);
    EXPECT_TRUE(opened.empty());
    view.resetFileList();
    paint();
    EXPECT_EQ(view.thumbnailAttempts(), 2);
}

TEST_F(FileBrowserViewTest, DrawsOnlyTheRowsOfTheVisibleBand)
{
    const std::vector<uint8_t> jpeg = makeJpeg(640, 480);
    for (int i = 0; i < 25; ++i)
        writeBytes(folder.file((i < 10 ? "0" : "") + std::to_string(i) + ".jpg"), jpeg);
    FileBrowserView &view = makeStrip(300, 330);
    view.updateFiles(folder.path());
    EXPECT_EQ(view.height(), 2750);
    EXPECT_EQ(view.getDrawingImageCount(), 330 / 110 + 2);
    area->verticalScrollBar()->setValue(1000);
    EXPECT_EQ(view.visibleRect().y(), 1000);
    paint();
    EXPECT_EQ(FileBrowserView::getIndexOfFilesToDrawing(1000), 9);
    EXPECT_EQ(FileBrowserView::getYBeginToDrawing(1000), 1000);
    const auto &items = view.drawingResourcesItems();
    EXPECT_EQ(items.size(), 5u);
    EXPECT_EQ(view.thumbnailAttempts(), 5);
    EXPECT_EQ(items.begin()->first, "09.jpg");
    EXPECT_FLOAT_EQ(rectOf(view, "09.jpg").rc.origin.y, 1000);
    EXPECT_FLOAT_EQ(rectOf(view, "13.jpg").rc.origin.y, 1440);
    EXPECT_EQ(items.count("14.jpg"), 0u);

    // Without a superview: six rows.
    FileBrowserView alone(nullptr, badge.file("res"));
    EXPECT_EQ(alone.getDrawingImageCount(), 6);
}

TEST_F(FileBrowserViewTest, FitsThumbnailsIntoTheStripWidth)
{
    writeBytes(folder.file("a_wide.jpg"), makeJpeg(640, 480));
    writeBytes(folder.file("b_tall.jpg"), makeJpeg(480, 640));
    FileBrowserView &view = makeStrip(300, 330);
    view.updateFiles(folder.path());
    const QImage shown = grabLoaded();
    const MyRect wide = rectOf(view, "a_wide.jpg");
    EXPECT_NEAR(wide.rc.size.width, 133.33, 0.01);
    EXPECT_FLOAT_EQ(wide.rc.size.height, 100);
    EXPECT_NEAR(wide.rc.origin.x, (300 - 133.33) / 2, 0.01);
    EXPECT_FLOAT_EQ(wide.rc.origin.y, 10);
    const MyRect tall = rectOf(view, "b_tall.jpg");
    EXPECT_FLOAT_EQ(tall.rc.size.width, 75);
    EXPECT_FLOAT_EQ(tall.rc.size.height, 100);
    EXPECT_FLOAT_EQ(tall.rc.origin.x, 112.5);
    EXPECT_FLOAT_EQ(tall.rc.origin.y, 120);
    // Drawn upright: the red quarter at the top left of each rectangle.
    EXPECT_TRUE(browsertest::isRed(shown.pixel(100, 25)));
    EXPECT_TRUE(browsertest::isBlue(shown.pixel(200, 95)));
    EXPECT_TRUE(browsertest::isRed(shown.pixel(125, 140)));
    // Outside the rectangles: the background.
    EXPECT_EQ(shown.pixel(20, 50), view.palette().base().color().rgb());
}

TEST_F(FileBrowserViewTest, MoviesGetTheBadgeCutToTheirRectangle)
{
    browsertest::writeMovie(folder.file("M1.mov"), 320, 240, 2);
    FileBrowserView &view = makeStrip(300, 330);
    view.updateFiles(folder.path());
    QImage shown = grabLoaded();
    const MyRect movie = rectOf(view, "M1.mov");
    ASSERT_GT(movie.rc.size.width, 0);
    const int x = static_cast<int>(movie.rc.origin.x);
    const int y = static_cast<int>(movie.rc.origin.y);
    EXPECT_TRUE(isBadgeGreen(shown.pixel(x + 2, y + 2)));
    EXPECT_TRUE(isBadgeGreen(shown.pixel(x + 30, y + 30)));
    EXPECT_TRUE(browsertest::isRed(shown.pixel(x + 40, y + 40))); // the frame itself

    // A badge larger than the drawn rectangle is cut to it, not scaled.
    QImage large(400, 300, QImage::Format_ARGB32);
    large.fill(qRgb(0, 200, 0));
    ASSERT_TRUE(large.save(QString::fromStdString(badge.file("res/Player.png"))));
    area.reset();
    FileBrowserView &narrow = makeStrip(60, 330);
    EXPECT_EQ(narrow.movieFlagImage().size(), QSize(100, 75));
    narrow.updateFiles(folder.path());
    shown = grabLoaded();
    const MyRect small = rectOf(narrow, "M1.mov");
    EXPECT_FLOAT_EQ(small.rc.size.width, 60);
    EXPECT_FLOAT_EQ(small.rc.size.height, 45);
    const int top = static_cast<int>(small.rc.origin.y);
    EXPECT_TRUE(isBadgeGreen(shown.pixel(58, top + 43)));
    EXPECT_EQ(shown.pixel(30, top + 47), narrow.palette().base().color().rgb());
}

TEST_F(FileBrowserViewTest, DoubleClickOnAThumbnailOpensTheFile)
{
    writeBytes(folder.file("a.jpg"), makeJpeg(640, 480));
    writeBytes(folder.file("b.jpg"), makeJpeg(640, 480));
    FileBrowserView &view = makeStrip(300, 330);
    view.updateFiles(folder.path());
    paint();
    const QPointF inside(150, 170); // the second thumbnail
    QMouseEvent press(QEvent::MouseButtonPress, inside, view.mapToGlobal(inside), Qt::LeftButton,
                      Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(&view, &press);
    EXPECT_TRUE(opened.empty()); // a single click does nothing
    QMouseEvent twice(QEvent::MouseButtonDblClick, inside, view.mapToGlobal(inside), Qt::LeftButton,
                      Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(&view, &twice);
    ASSERT_EQ(opened.size(), 1u);
    EXPECT_EQ(opened[0], folder.path() + "/b.jpg");
    // Between thumbnails and beside them: nothing.
    view.mouseDown(QPointF(150, 115), 2);
    view.mouseDown(QPointF(20, 60), 2);
    EXPECT_EQ(opened.size(), 1u);
}

TEST_F(FileBrowserViewTest, FolderChangesScrollToTheTopOrForASaveToTheEnd)
{
    folder.makeFolder("one");
    folder.makeFolder("two");
    const std::vector<uint8_t> jpeg = makeJpeg(64, 48);
    for (int i = 0; i < 12; ++i) {
        writeBytes(folder.file("one/" + std::to_string(100 + i) + ".jpg"), jpeg);
        writeBytes(folder.file("two/" + std::to_string(100 + i) + ".jpg"), jpeg);
    }
    FileBrowserView &view = makeStrip(300, 330);
    view.updateFiles(folder.file("one"));
    EXPECT_EQ(scrollY(), 0);
    area->verticalScrollBar()->setValue(500);

    // Shown again: nothing happens, not even a rebuild.
    writeBytes(folder.file("one/200.jpg"), jpeg);
    view.updateFiles(folder.file("one"));
    EXPECT_EQ(view.getFilesCount(), 12);
    EXPECT_EQ(scrollY(), 500);

    view.setMIsAutoAddingResources(true);
    view.updateFiles(folder.file("two"));
    EXPECT_EQ(scrollY(), 12 * 110 - 330); // the end
    EXPECT_FALSE(view.isAutoAddingResources());
    view.updateFiles(folder.file("one"));
    EXPECT_EQ(view.getFilesCount(), 13);
    EXPECT_EQ(scrollY(), 0);
    ASSERT_NE(view.fileWatcher(), nullptr);
    EXPECT_EQ(view.fileWatcher()->watchedPaths(), std::vector<std::string>{folder.file("one")});
}

TEST_F(FileBrowserViewTest, WriteAndRenameReportsRebuildTheListOthersAreIgnored)
{
    const std::vector<uint8_t> jpeg = makeJpeg(64, 48);
    for (int i = 0; i < 5; ++i)
        writeBytes(folder.file(std::to_string(100 + i) + ".jpg"), jpeg);
    FileBrowserView &view = makeStrip(300, 330);
    view.updateFiles(folder.path());
    writeBytes(folder.file("105.jpg"), jpeg);
    for (const char *ignored :
         {VxFileWatcherDeleteNotification, VxFileWatcherAttributeChangeNotification,
          VxFileWatcherSizeIncreaseNotification, VxFileWatcherLinkCountChangeNotification,
          VxFileWatcherAccessRevocationNotification})
        view.watcher(nullptr, ignored, folder.path());
    EXPECT_EQ(view.getFilesCount(), 5);
    view.watcher(nullptr, VxFileWatcherWriteNotification, folder.path());
    EXPECT_EQ(view.getFilesCount(), 6);
    EXPECT_EQ(scrollY(), 6 * 110 - 330);
    area->verticalScrollBar()->setValue(0);
    std::filesystem::rename(folder.file("100.jpg"), folder.file("200.jpg"));
    view.watcher(nullptr, VxFileWatcherRenameNotification, folder.path());
    EXPECT_EQ(view.filesName().back(), "200.jpg");
    EXPECT_EQ(scrollY(), 6 * 110 - 330);
}

TEST_F(FileBrowserViewTest, ThumbnailSizeSetsTheRowPitchOfTheHeight)
{
    for (int i = 0; i < 4; ++i)
        folder.write(std::to_string(i) + ".jpg", "x");
    FileBrowserView &view = makeStrip(300, 330);
    view.updateFiles(folder.path());
    view.setThumbnailSize(50.6);
    EXPECT_EQ(view.thumbnailSize(), 51);
    EXPECT_EQ(view.height(), 4 * 61);
    EXPECT_EQ(view.width(), 300);
}
