#pragma once

#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include <QIcon>
#include <QObject>
#include <QPointer>
#include <QTreeView>

#include "mac/controller/ResourceTree.h"
#include "mac/browser/ResourceTreeModel.h"
#include "mac/ui/FileBrowserView.h"
#include "mac/browser/TreeAdditionObj.h"
#include "platform/system/MainThreadCall.h"
#include "platform/widgets/ShellOpener.h"

class AppControllerSettings;
class BaseNode;
class ImageAndTextCell;
class QSocketNotifier;

// The resource tree: the folders under the resource root ("Varnolet" at [0]) in a tree
// view, built from the disk by showResourcesTree and grown by one node when a save lands in
// a folder it does not show yet. Selecting a folder shows its files in the thumbnail strip.
//
// The tree changes on the main thread only. addResource may be called from any thread (the
// capture or recording thread right after a save): the path is queued under a lock, the
// main thread is woken through an event descriptor, and the call returns at once without
// touching Qt; a call on the main thread runs at once. The controller must outlive the
// threads that call addResource.
//
// Listings are in saving order (see DirectoryListing). Links to folders are shown but never
// descended into, so a link that points back up cannot make the build endless.
class MyResourcesTreeController final : public QObject, public ResourceTree
{
    Q_OBJECT

public:
    // "More..." opens the selected folder with opener (the desktop when empty).
    MyResourcesTreeController(QTreeView *outlineView, FileBrowserView *fileBrowserView,
                              QObject *parent = nullptr, ShellOpener::Handler opener = {});
    ~MyResourcesTreeController() override;

    // The settings in force are read from it (isAutoCreatingResourcesFolder); not owned.
    void setAppController(const AppControllerSettings *appController);

    void initTreeControl();
    void showResourcesTree(const std::string &resourcesRoot) override;
    void addResource(const std::string &path) override;

    void addEntries(const std::string &folder, const std::optional<IndexPath> &parentIndexPath);
    std::optional<IndexPath> addFolder(const std::string &name, const std::string &path,
                                       const std::optional<IndexPath> &parentIndexPath,
                                       bool isLeaf);
    std::optional<IndexPath> performAddFolder(const TreeAdditionObj &addition, bool isLeaf);
    // True when the folder has no subfolder (".DS_Store" aside) or cannot be listed.
    static bool isLeafFolder(const std::string &path);
    // The path's components after the last "Varnolet" (all of them when there is none).
    static std::vector<std::string> parseLocationOfResource(const std::string &path);
    std::optional<IndexPath> findIndexPathByNodeTitle(const std::string &title,
                                                      const IndexPath &parentIndexPath) const;
    void outlineViewSelectionDidChange();
    // The icon the cell shows for the node (stored in the node as well).
    QIcon willDisplayCell(BaseNode *node);
    // The path of the first selected node, else of the root; none without nodes.
    std::optional<std::string> getSelectedNodeUrl() const;
    // Opens the selected folder (or the root) in the file manager.
    void openMoreResources();

    ResourceTreeModel &model() { return m_model; }
    QTreeView *outlineView() const { return myOutlineView; }
    FileBrowserView *fileBrowserView() const { return mFileBrowserView; }
    // The index path of the first selected node; none without selection.
    std::optional<IndexPath> selectionIndexPath() const;
    void setSelectionIndexPath(const IndexPath &path);

private:
    void addResourceOnMainThread(const std::string &path);
    bool isAutoCreatingResourcesFolder() const;
    BaseNode *firstSelectedNode() const;

    MyResourcesTreeController *myTreeController = nullptr;
    // Both may go before the controller when a window takes its children down.
    QPointer<QTreeView> myOutlineView;
    QIcon folderImage;
    QIcon urlImage;
    QPointer<FileBrowserView> mFileBrowserView;
    ShellOpener::Handler m_opener;
    const AppControllerSettings *mAppController = nullptr;
    ResourceTreeModel m_model;
    ImageAndTextCell *m_cell = nullptr; // owned by this object

    // Hands saves announced by other threads to the main thread; a child of this object.
    varnolet::MainThreadCall *m_mainThreadCall = nullptr;
};
