// The resource browser with other threads: saves announced from a capture-like thread while
// the user clicks in the tree, and the folder watcher's reports reaching the strip.
#include <atomic>
#include <filesystem>
#include <memory>
#include <mutex>
#include <set>
#include <thread>

#include <gtest/gtest.h>

#include <QApplication>
#include <QMouseEvent>
#include <QScrollArea>
#include <QScrollBar>
#include <QTreeView>

#include "BrowserFiles.h"
#include "mac/core/AppControllerSettings.h"
#include "mac/ui/FileBrowserView.h"
#include "mac/ui/MyResourcesTreeController.h"
#include "mac/ui/ResourceBrowserPane.h"
#include "platform/system/AtomicFile.h"
#include "tests/support/TestSupport.h"

using namespace std::chrono_literals;
using varnolet::test::processEventsUntil;
using varnolet::test::TempFolder;

using browsertest::clickRow;

TEST(ResourceBrowserThreadsTest, SavesFromAnotherThreadWhileTheUserClicks)
{
    TempFolder temp;
    const std::string root = temp.path() + "/Varnolet";
    temp.makeFolder("Varnolet/Single Shots/000");
    temp.makeFolder("Varnolet/Timed Shots");
    temp.makeFolder("Varnolet/Movies/000");
    constexpr int kFolders = 12;
    constexpr int kSaves = 240;

    AppControllerSettings settings{varnolet::SystemPaths::fromEnvironment()};
    settings.usingSettingParam().setIsAutoCreatingResourcesFolder(true);
    ResourceBrowserPane pane(&settings, nullptr, temp.path());
    pane.resize(500, 600);
    pane.show();
    MyResourcesTreeController &tree = *pane.treeController();
    tree.showResourcesTree(root);
    // The folders the saves go to appear after the tree was built.
    for (int f = 0; f < kFolders; ++f)
        temp.makeFolder("Varnolet/Single Shots/" + std::to_string(100 + f));
    ASSERT_EQ(tree.model().nodeAtIndexPath({0, 1})->childCount(), 1u);

    std::atomic<bool> done{false};
    std::thread saver([&] {
        for (int i = 0; i < kSaves; ++i) {
            const int f = i % kFolders;
            tree.addResource(root + "/Single Shots/" + std::to_string(100 + f) + "/SingleShot" +
                             std::to_string(1000 + i) + ".jpg");
            std::this_thread::sleep_for(200us);
        }
        done = true;
    });
    QTreeView *view = pane.outlineView();
    int clicks = 0;
    while (!done) {
        // Click through the visible rows, as a user going through folders.
        const QModelIndex rootIndex = tree.model().indexOfPath({0});
        const int rows = tree.model().rowCount(rootIndex);
        const QModelIndex category = tree.model().index(clicks % rows, 0, rootIndex);
        clickRow(view, category);
        const int children = tree.model().rowCount(category);
        if (children > 0)
            clickRow(view, tree.model().index(clicks % children, 0, category));
        QApplication::processEvents();
        ++clicks;
    }
    saver.join();
    QApplication::processEvents();

    // Each new folder was added once, in the order its first save came.
    const BaseNode *shots = tree.model().nodeAtIndexPath({0, 1});
    ASSERT_EQ(shots->childCount(), 1u + kFolders);
    for (int f = 0; f < kFolders; ++f)
        EXPECT_EQ(shots->childAt(1 + static_cast<size_t>(f))->nodeTitle(), std::to_string(100 + f));
    EXPECT_GT(clicks, 0);
    // The last save's folder is selected and shown.
    tree.addResource(root + "/Single Shots/111/SingleShot9999.jpg");
    EXPECT_EQ(tree.selectionIndexPath(), (IndexPath{0, 1, 12}));
    EXPECT_EQ(pane.fileBrowserView()->currentBrowserLocationOfResources(),
              root + "/Single Shots/111");
}

TEST(ResourceBrowserThreadsTest, ASaveIntoTheShownFolderRebuildsAndScrollsToTheEnd)
{
    TempFolder folder;
    const std::vector<uint8_t> jpeg = browsertest::makeJpeg(64, 48);
    for (int i = 0; i < 8; ++i)
        browsertest::writeBytes(folder.file("S20240305_00" + std::to_string(i) + ".jpg"), jpeg);
    AppControllerSettings settings{varnolet::SystemPaths::fromEnvironment()};
    ResourceBrowserPane pane(&settings, nullptr, folder.path());
    // Not shown: the folder reports and the scrolling need no painting.
    pane.resize(500, 330);
    FileBrowserView &strip = *pane.fileBrowserView();
    strip.updateFiles(folder.path());
    QApplication::processEvents();
    ASSERT_EQ(strip.getFilesCount(), 8);
    QScrollBar *bar = pane.fileBrowserScrollView()->verticalScrollBar();
    EXPECT_EQ(bar->value(), 0);

    // Saved as the program saves: a hidden file renamed onto the final name.
    ASSERT_EQ(
        varnolet::AtomicFile::write(folder.file("S20240305_010.jpg"), jpeg.data(), jpeg.size()), 0);
    ASSERT_TRUE(processEventsUntil([&] { return strip.getFilesCount() == 9; }));
    processEventsUntil([&] { return bar->value() == bar->maximum() && bar->maximum() > 0; }, 2s);
    EXPECT_EQ(strip.filesName().back(), "S20240305_010.jpg");
    EXPECT_EQ(bar->value(), bar->maximum());
    EXPECT_GT(bar->maximum(), 0);
    // Removed on disk: gone from the list.
    std::filesystem::remove(folder.file("S20240305_000.jpg"));
    ASSERT_TRUE(processEventsUntil([&] { return strip.getFilesCount() == 8; }));
    EXPECT_EQ(strip.filesName().front(), "S20240305_001.jpg");
}

// Hostile movies in the shown folder: the helper crashes on one, hangs on one and answers
// garbage for one. The strip stays responsive, shows the rest of the folder, and the
// hostile rows stay empty, each with one log line.
TEST(ResourceBrowserThreadsTest, HostileMoviesLeaveTheRestOfTheFolderShown)
{
    TempFolder folder;
    browsertest::writeBytes(folder.file("1 photo.jpg"), browsertest::makeJpeg(640, 480));
    browsertest::writeMovie(folder.file("2 movie.mov"), 320, 240, 2);
    folder.write("3 crash.mov", "CRASH");
    folder.write("4 hang.mov", "HANG");
    folder.write("5 garbage.mov", "GARBAGE");
    browsertest::writeBytes(folder.file("6 photo.png"), browsertest::makePng(320, 240));
    browsertest::writeMovie(folder.file("7 movie.mov"), 160, 120, 1);

    std::vector<std::string> log;
    std::mutex logLock;
    varnolet::ThumbnailHelperOptions helper;
    helper.helperPath = VARNOLET_MISBEHAVING_THUMBNAILER;
    helper.timeout = 1000ms;
    helper.log = [&](const std::string &line) {
        std::lock_guard guard(logLock);
        log.push_back(line);
    };
    QScrollArea area;
    area.setFrameShape(QFrame::NoFrame);
    area.setWidgetResizable(true);
    TempFolder noBadge;
    auto *view = new FileBrowserView(nullptr, noBadge.path(), helper);
    area.setWidget(view);
    area.resize(300, 800);
    area.show();
    QApplication::processEvents();
    view->updateFiles(folder.path());

    const auto started = std::chrono::steady_clock::now();
    const QImage placeholders = area.grab().toImage(); // asks for every row, decodes none
    if (const char *shots = std::getenv("VARNOLET_SCREENSHOTS"))
        placeholders.save(QString::fromUtf8(shots) + "/hostile-folder-placeholders.png");
    const auto paintTook = std::chrono::steady_clock::now() - started;
    EXPECT_EQ(view->pendingThumbnails(), 7);
    EXPECT_LT(paintTook, 900ms) << "the paint waited for the hanging helper";
    ASSERT_TRUE(view->waitForThumbnails(20s));
    const QImage shown = area.grab().toImage();

    const auto &items = view->drawingResourcesItems();
    for (const char *name : {"1 photo.jpg", "2 movie.mov", "6 photo.png", "7 movie.mov"})
        EXPECT_EQ(items.count(name), 1u) << name;
    for (const char *name : {"3 crash.mov", "4 hang.mov", "5 garbage.mov"})
        EXPECT_EQ(items.count(name), 0u) << name;
    EXPECT_EQ(view->thumbnailAttempts(), 7);
    // The last movie, after all three faults, is still drawn from its frame.
    const MyRect last = items.at("7 movie.mov");
    EXPECT_TRUE(browsertest::isRed(shown.pixel(static_cast<int>(last.rc.origin.x + 5),
                                               static_cast<int>(last.rc.origin.y + 5))));
    EXPECT_TRUE(browsertest::isBlue(
        shown.pixel(static_cast<int>(last.rc.origin.x + last.rc.size.width - 5),
                    static_cast<int>(last.rc.origin.y + last.rc.size.height - 5))));
    if (const char *shots = std::getenv("VARNOLET_SCREENSHOTS"))
        shown.save(QString::fromUtf8(shots) + "/hostile-folder.png");
    std::lock_guard guard(logLock);
    ASSERT_EQ(log.size(), 3u);
    EXPECT_NE(log[0].find("3 crash.mov"), std::string::npos) << log[0];
    EXPECT_NE(log[1].find("4 hang.mov"), std::string::npos) << log[1];
    EXPECT_NE(log[2].find("5 garbage.mov"), std::string::npos) << log[2];
}
