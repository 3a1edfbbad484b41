// The resource browser with other threads: saves announced from a capture-like thread while
// the user clicks in the tree, and the folder watcher's reports reaching the strip.
#include <atomic>
#include <filesystem>
#include <memory>
#include <set>
#include <thread>

#include <gtest/gtest.h>

#include <QApplication>
#include <QMouseEvent>
#include <QScrollArea>
#include <QScrollBar>
#include <QTreeView>

#include "BrowserFiles.h"
#include "mac/app/AppControllerSettings.h"
#include "mac/browser/FileBrowserView.h"
#include "mac/browser/MyResourcesTreeController.h"
#include "mac/browser/ResourceBrowserPane.h"
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

    AppControllerSettings settings;
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
    AppControllerSettings settings;
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
