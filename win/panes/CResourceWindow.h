#pragma once

#include "platform/system/MessageBox.h"
#include "platform/widgets/ShellOpener.h"
#include "win/common/IResourceAnnouncer.h"

#include <functional>
#include <string>

#include <QWidget>

class CResourceBrowserView;
class CResourcesBrowserDlg;
class QPushButton;
class QTreeWidget;
class QTreeWidgetItem;

class AppServices;

// The folder tree of the saved resources, rooted at "Varnolet" (the resource root), with
// a "More..." button below it that opens the selected folder in the file manager.
// Selecting a folder of photos or movies makes the thumbnail panel show it; a file the
// capture engine has just saved is announced here (AddResourceFile, from any thread) and
// its folder is added, selected and shown with the file last.
class CResourceWindow final : public QWidget, public IResourceAnnouncer
{
    Q_OBJECT

public:
    static constexpr int kTreeId = 100;
    static constexpr int kMoreButtonId = 1001;
    static constexpr int kButtonHeight = 20;

    // The "More..." button gets a copy of fontSource's font (the main window's hidden
    // control 1091); without one, this window's own font. "More..." opens the selected
    // folder with opener (the desktop when empty). messages: where a language file that
    // cannot be loaded for the caption is told.
    explicit CResourceWindow(const AppServices &services, varnolet::MessageBox messages,
                             QWidget *parent = nullptr, QWidget *fontSource = nullptr,
                             ShellOpener::Handler opener = {});
    ~CResourceWindow() override;

    // The thumbnail panel the tree drives; set by the main window after making the panes.
    void SetBrowserPanel(CResourcesBrowserDlg *panel);
    void SetBrowserView(CResourceBrowserView *view);
    // Asked before a selection changes the panel: true while a photo is pending, a timed
    // series runs or a movie is being recorded (the main window owns that state).
    void SetCaptureBusyQuery(std::function<bool()> query) { m_captureBusy = std::move(query); }

    // Rebuilds the tree when the resource root or the per-day setting changed since the
    // tree was last built (restarting the panel's folder monitor for the new root).
    void RefreshResourceTree();
    // Adds the subfolders of path below parent (all levels with per-day folders on).
    void FillFolderItems(const std::string &path, QTreeWidgetItem *parent);

    // Any thread; the tree and the panel are changed on the UI thread.
    void AddResourceFile(const std::string &path) override;

    // The "More..." caption in the current language (the main window's retitle calls it).
    void RetitleMoreButton();

    QTreeWidget *Tree() const { return m_tree; }
    QPushButton *MoreButton() const { return m_moreButton; }
    std::string ShownRoot() const { return m_shownRoot; }

protected:
    void resizeEvent(QResizeEvent *event) override;

private:
    const AppServices &m_services;
    const varnolet::MessageBox m_messages;
    ShellOpener::Handler m_opener;
    void AddResourceFileNow(const std::string &path);
    void OnSelectionChanged();
    void OnMore();
    QTreeWidgetItem *InsertFolderItem(QTreeWidgetItem *parent, const std::string &path,
                                      const std::string &name);
    void FillFolderItems(const std::string &path, QTreeWidgetItem *parent, bool perDay, int depth);
    static QTreeWidgetItem *FindChild(QTreeWidgetItem *parent, const std::string &text);

    QTreeWidget *m_tree = nullptr;
    QPushButton *m_moreButton = nullptr;
    CResourcesBrowserDlg *m_panel = nullptr;
    std::function<bool()> m_captureBusy;
    std::string m_shownRoot;
    bool m_shownPerDay = false;
    bool m_built = false;
    bool m_announcing = false; // selection changes made by AddResourceFile itself
};
