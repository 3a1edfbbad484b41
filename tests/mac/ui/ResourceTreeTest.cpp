#include <filesystem>
#include <memory>

#include <gtest/gtest.h>

#include <QApplication>
#include <QFontMetrics>
#include <QMouseEvent>
#include <QPushButton>
#include <QScrollArea>
#include <QScrollBar>
#include <QTreeView>

#include "BrowserFiles.h"
#include "mac/core/AppControllerSettings.h"
#include "mac/browser/ChildNode.h"
#include "mac/ui/FileBrowserView.h"
#include "mac/ui/ImageAndTextCell.h"
#include "mac/ui/MyResourcesTreeController.h"
#include "mac/ui/ResourceBrowserPane.h"
#include "platform/widgets/ShellOpener.h"
#include "tests/support/TestSupport.h"

using varnolet::test::TempFolder;

namespace {

// A pane over a resource root "<temp>/Varnolet" with the categories and, when asked, the
// numbered sub-folders; the desktop opener replaced by a recorder.
class ResourceTreeTest : public ::testing::Test
{
protected:
    void SetUp() override { root = temp.path() + "/Varnolet"; }
    void TearDown() override { pane.reset(); }
    // Records what the pane asks the desktop to open.
    ShellOpener::Handler recorder()
    {
        return [this](const std::string &path, ShellOpener::Verb verb) {
            opened.emplace_back(path, verb);
            return true;
        };
    }

    void makeCategories()
    {
        temp.makeFolder("Varnolet/Single Shots/000");
        temp.makeFolder("Varnolet/Single Shots/001");
        temp.makeFolder("Varnolet/Timed Shots");
        temp.makeFolder("Varnolet/Movies/000");
        temp.write("Varnolet/.DS_Store", "x");
        temp.write("Varnolet/Single Shots/.DS_Store", "x");
        temp.write("Varnolet/Timed Shots/.DS_Store", "x");
        temp.write("Varnolet/Timed Shots/T20240305_001_0001.jpg", "x");
        temp.write("Varnolet/Movies/000/Movie0000.mov", "x");
    }

    void build(bool subFolders)
    {
        settings.usingSettingParam().setIsAutoCreatingResourcesFolder(subFolders);
        if (!pane) {
            pane =
                std::make_unique<ResourceBrowserPane>(&settings, nullptr, temp.path(), recorder());
            pane->resize(500, 400);
            pane->show();
        }
        tree().showResourcesTree(root);
        QApplication::processEvents();
    }

    MyResourcesTreeController &tree() { return *pane->treeController(); }
    FileBrowserView &strip() { return *pane->fileBrowserView(); }
    BaseNode *node(const IndexPath &path) { return tree().model().nodeAtIndexPath(path); }

    // The tree as text: groups with their children in braces, leaves plain.
    std::string shape(const BaseNode *n) const
    {
        std::string text = n->nodeTitle();
        if (n->isLeaf())
            return text;
        text += "{";
        for (size_t i = 0; i < n->childCount(); ++i)
            text += (i ? "," : "") + shape(n->childAt(i));
        return text + "}";
    }
    std::string shape() { return node({0}) ? shape(node({0})) : "-"; }

    void click(const IndexPath &path)
    {
        const QModelIndex index = tree().model().indexOfPath(path);
        ASSERT_TRUE(index.isValid());
        pane->outlineView()->scrollTo(index);
        browsertest::clickRow(pane->outlineView(), index);
    }

    TempFolder temp;
    std::string root;
    AppControllerSettings settings{varnolet::SystemPaths::fromEnvironment()};
    std::unique_ptr<ResourceBrowserPane> pane;
    std::vector<std::pair<std::string, ShellOpener::Verb>> opened;

private:
};

} // namespace

TEST_F(ResourceTreeTest, SubFolderSchemeShowsNumberedFoldersUnderTheCategories)
{
    makeCategories();
    build(true);
    EXPECT_EQ(shape(), "Varnolet{Movies{000},Single Shots{000,001},Timed Shots}");
    EXPECT_EQ(tree().model().rootNode().childCount(), 1u);
    EXPECT_EQ(node({0})->urlString(), root);
    EXPECT_EQ(node({0, 1, 1})->urlString(), root + "/Single Shots/001");
    EXPECT_TRUE(pane->outlineView()->isExpanded(tree().model().indexOfPath({0})));
    EXPECT_FALSE(pane->outlineView()->isExpanded(tree().model().indexOfPath({0, 1})));

    // A category still without sub-folder shows nothing; a numbered folder shows its files.
    click({0, 2});
    EXPECT_EQ(tree().selectionIndexPath(), (IndexPath{0, 2}));
    EXPECT_EQ(strip().currentBrowserLocationOfResources(), "");
    click({0, 0, 0});
    EXPECT_EQ(strip().currentBrowserLocationOfResources(), root + "/Movies/000");
    EXPECT_EQ(strip().filesName(), std::vector<std::string>{"Movie0000.mov"});
    // Groups show nothing either.
    click({0, 1});
    EXPECT_EQ(strip().currentBrowserLocationOfResources(), root + "/Movies/000");
}

TEST_F(ResourceTreeTest, WithoutTheSchemeCategoriesAreLeavesThatShowTheirFiles)
{
    makeCategories();
    build(false);
    EXPECT_EQ(shape(), "Varnolet{Movies,Single Shots,Timed Shots}");
    click({0, 2});
    EXPECT_EQ(strip().currentBrowserLocationOfResources(), root + "/Timed Shots");
    EXPECT_EQ(strip().filesName(), std::vector<std::string>{"T20240305_001_0001.jpg"});
}

TEST_F(ResourceTreeTest, ASaveIntoANewFolderAddsOneLeafLastAndSelectsIt)
{
    makeCategories();
    build(true);
    temp.makeFolder("Varnolet/Single Shots/002");
    browsertest::writeBytes(root + "/Single Shots/002/SingleShot2000.jpg",
                            browsertest::makeJpeg(64, 48));
    tree().addResource(root + "/Single Shots/002/SingleShot2000.jpg");
    EXPECT_EQ(shape(), "Varnolet{Movies{000},Single Shots{000,001,002},Timed Shots}");
    EXPECT_EQ(node({0, 1, 2})->urlString(), root + "/Single Shots/002");
    EXPECT_TRUE(node({0, 1, 2})->isLeaf());
    EXPECT_EQ(tree().selectionIndexPath(), (IndexPath{0, 1, 2}));
    EXPECT_EQ(strip().currentBrowserLocationOfResources(), root + "/Single Shots/002");
    EXPECT_FALSE(strip().isAutoAddingResources());

    // The second save into the same folder only selects it: the strip's folder does not
    // change, so the auto-adding flag stays set for the next folder the user picks.
    tree().addResource(root + "/Single Shots/002/SingleShot2001.jpg");
    EXPECT_EQ(shape(), "Varnolet{Movies{000},Single Shots{000,001,002},Timed Shots}");
    EXPECT_EQ(tree().selectionIndexPath(), (IndexPath{0, 1, 2}));
    EXPECT_TRUE(strip().isAutoAddingResources());
    click({0, 0, 0});
    EXPECT_EQ(strip().currentBrowserLocationOfResources(), root + "/Movies/000");
    EXPECT_FALSE(strip().isAutoAddingResources());
}

TEST_F(ResourceTreeTest, AFirstSubFolderTurnsALeafCategoryIntoAGroup)
{
    makeCategories();
    build(true);
    ASSERT_TRUE(node({0, 2})->isLeaf());
    tree().addResource(root + "/Timed Shots/000/TimeShot000-0001.jpg");
    EXPECT_EQ(shape(), "Varnolet{Movies{000},Single Shots{000,001},Timed Shots{000}}");
    EXPECT_EQ(tree().selectionIndexPath(), (IndexPath{0, 2, 0}));
    EXPECT_TRUE(pane->outlineView()->isExpanded(tree().model().indexOfPath({0, 2})));
}

TEST_F(ResourceTreeTest, MissingLevelsHangTheFolderUnderTheDeepestAncestor)
{
    makeCategories();
    build(true);
    tree().addResource(root + "/Movies/new/deeper/Movie0001.mov");
    EXPECT_EQ(shape(), "Varnolet{Movies{000,deeper},Single Shots{000,001},Timed Shots}");
    EXPECT_EQ(node({0, 0, 1})->urlString(), root + "/Movies/new/deeper");
    // Outside the resource root: under the root, titled by the file's folder.
    tree().addResource(temp.path() + "/elsewhere/shot.jpg");
    EXPECT_EQ(node({0, 3})->nodeTitle(), "elsewhere");
    EXPECT_EQ(node({0, 3})->urlString(), temp.path() + "/elsewhere");
    // Fewer than two components: nothing.
    const std::string before = shape();
    tree().addResource("shot.jpg");
    tree().addResource(root + "/shot.jpg");
    EXPECT_EQ(shape(), before);
}

TEST_F(ResourceTreeTest, LocationComponentsFollowTheLastVarnoletFolder)
{
    using C = std::vector<std::string>;
    EXPECT_EQ(MyResourcesTreeController::parseLocationOfResource(
                  "/home/ann/Varnolet/Single Shots/002/a.jpg"),
              (C{"Single Shots", "002", "a.jpg"}));
    EXPECT_EQ(MyResourcesTreeController::parseLocationOfResource("/a/Varnolet/b/Varnolet/c.jpg"),
              (C{"c.jpg"}));
    EXPECT_EQ(MyResourcesTreeController::parseLocationOfResource("/tmp/x/a.jpg"),
              (C{"", "tmp", "x", "a.jpg"}));
}

TEST_F(ResourceTreeTest, DotDsStoreIsNeverShownAndLinksAreNotFollowed)
{
    makeCategories();
    temp.makeFolder("Varnolet/Single Shots/001/.DS_Store");
    temp.makeFolder("Varnolet/Movies/000/inner");
    std::filesystem::create_directory_symlink("..", root + "/Movies/000/inner/up");
    EXPECT_TRUE(MyResourcesTreeController::isLeafFolder(root + "/Single Shots/001"));
    EXPECT_TRUE(MyResourcesTreeController::isLeafFolder(root + "/Timed Shots"));
    EXPECT_TRUE(MyResourcesTreeController::isLeafFolder(root + "/missing"));
    EXPECT_FALSE(MyResourcesTreeController::isLeafFolder(root + "/Movies"));
    build(true);
    EXPECT_EQ(shape(), "Varnolet{Movies{000{inner{up}}},Single Shots{000,001},Timed Shots}");
}

TEST_F(ResourceTreeTest, RebuildsReplaceTheWholeTree)
{
    makeCategories();
    build(true);
    tree().addResource(root + "/Single Shots/009/a.jpg");
    // The scheme switched off: the same folders, categories as leaves.
    build(false);
    EXPECT_EQ(shape(), "Varnolet{Movies,Single Shots,Timed Shots}");
    EXPECT_EQ(tree().model().rootNode().childCount(), 1u);
    // Another location.
    temp.makeFolder("other/Varnolet/Movies");
    root = temp.path() + "/other/Varnolet";
    build(true);
    EXPECT_EQ(shape(), "Varnolet{Movies}");
    EXPECT_EQ(node({0})->urlString(), root);
    // A root that cannot be listed: the root node alone.
    root = temp.path() + "/missing/Varnolet";
    build(true);
    EXPECT_EQ(shape(), "Varnolet{}");
}

TEST_F(ResourceTreeTest, SelectedFolderAndMoreOpenTheFolderInTheFileManager)
{
    makeCategories();
    pane = std::make_unique<ResourceBrowserPane>(&settings, nullptr, temp.path(), recorder());
    pane->resize(500, 400);
    pane->show();
    EXPECT_FALSE(tree().getSelectedNodeUrl());
    tree().openMoreResources();
    EXPECT_TRUE(opened.empty());
    build(true);
    EXPECT_EQ(tree().getSelectedNodeUrl(), root);
    pane->mMoreResourcesBtn()->click();
    ASSERT_EQ(opened.size(), 1u);
    EXPECT_EQ(opened[0], std::make_pair(root, ShellOpener::Verb::Explore));
    click({0, 1, 0});
    EXPECT_EQ(tree().getSelectedNodeUrl(), root + "/Single Shots/000");
    pane->mMoreResourcesBtn()->click();
    EXPECT_EQ(opened.back().first, root + "/Single Shots/000");
}

TEST_F(ResourceTreeTest, IconsFollowTheNodeKind)
{
    makeCategories();
    build(true);
    auto imageOf = [](const QIcon &icon) { return icon.pixmap(16, 16).toImage(); };
    const QIcon group = tree().willDisplayCell(node({0}));
    EXPECT_FALSE(group.isNull());
    EXPECT_EQ(imageOf(node({0})->nodeIcon()), imageOf(group));
    EXPECT_FALSE(tree().willDisplayCell(node({0, 2})).isNull());
    // A leaf without path keeps its own icon; a web address gets the address icon.
    auto leaf = ChildNode::initLeaf();
    QPixmap red(16, 16);
    red.fill(Qt::red);
    leaf->setNodeIcon(QIcon(red));
    EXPECT_EQ(imageOf(tree().willDisplayCell(leaf.get())), red.toImage());
    leaf->setUrlString("http://example.org/");
    const QIcon web = tree().willDisplayCell(leaf.get());
    EXPECT_FALSE(web.isNull());
    EXPECT_NE(imageOf(web), red.toImage());
    // The cell is as wide as the text plus the icon and its gap.
    QTreeView *view = pane->outlineView();
    const QModelIndex index = tree().model().indexOfPath({0, 1});
    const QSize hint = view->itemDelegateForColumn(0)->sizeHint(QStyleOptionViewItem(), index);
    EXPECT_EQ(hint.width(),
              QFontMetrics(ImageAndTextCell::smallSystemFont()).horizontalAdvance("Single Shots") +
                  16 + 3);
}

TEST_F(ResourceTreeTest, NodesAndTheirDefaults)
{
    BaseNode base;
    EXPECT_EQ(base.nodeTitle(), "BaseNode Untitled");
    EXPECT_FALSE(base.isLeaf());
    ChildNode child;
    EXPECT_EQ(child.nodeTitle(), "");
    EXPECT_EQ(child.description(), "- empty description -");
    EXPECT_EQ(child.text(), "");
    auto group = ChildNode::init();
    ASSERT_TRUE(group->insertChild(0, ChildNode::initLeaf()));
    ASSERT_TRUE(group->insertChild(0, ChildNode::initLeaf()));
    EXPECT_EQ(group->childAt(1)->row(), 1u);
    // Leaves take no children; turning a node into a leaf or a group empties it.
    EXPECT_FALSE(group->childAt(0)->insertChild(0, ChildNode::init()));
    EXPECT_FALSE(group->insertChild(5, ChildNode::init()));
    group->setIsLeaf(false);
    EXPECT_EQ(group->childCount(), 0u);
}
