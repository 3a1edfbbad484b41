#pragma once

#include <QSplitter>

#include "platform/widgets/ShellOpener.h"

class AppControllerSettings;
class FileBrowserView;
class MyResourcesTreeController;
class QPushButton;
class QScrollArea;
class QTreeView;

// The resource browser made and connected in one piece: the folder tree with the "More..."
// button below it, and beside it the thumbnail strip in its scroll area. The tree
// controller (a child of the pane) is the ResourceTree the application controller drives:
// showResourcesTree at start-up and after Apply, addResource after each save.
class ResourceBrowserPane final : public QSplitter
{
    Q_OBJECT

public:
    // resourcesPath: the folder holding "Player.png" (the bundle's resources of
    // appController when empty);
    // opener opens files and folders (the desktop when empty).
    explicit ResourceBrowserPane(const AppControllerSettings *appController,
                                 QWidget *parent = nullptr, const std::string &resourcesPath = {},
                                 ShellOpener::Handler opener = {});
    ~ResourceBrowserPane() override;

    MyResourcesTreeController *treeController() const { return m_treeController; }
    QTreeView *outlineView() const { return m_outlineView; }
    FileBrowserView *fileBrowserView() const { return m_fileBrowserView; }
    QScrollArea *fileBrowserScrollView() const { return m_scrollView; }
    // The button that opens the selected folder; its title is set by the retitling
    // ("ui_view_btn_more_resources").
    QPushButton *mMoreResourcesBtn() const { return m_moreResourcesBtn; }

private:
    QTreeView *m_outlineView;
    QPushButton *m_moreResourcesBtn;
    QScrollArea *m_scrollView;
    FileBrowserView *m_fileBrowserView;
    MyResourcesTreeController *m_treeController;
};
