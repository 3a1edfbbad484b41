#pragma once

#include "win/browser/FolderChangeTarget.h"
#include "win/browser/FolderMonitor.h"
#include "win/browser/ResourceNameList.h"
#include "win/browser/ScrollRange.h"
#include "win/browser/ThumbnailCache.h"
#include "platform/system/MessageBox.h"
#include "platform/widgets/ShellOpener.h"

#include <atomic>
#include <chrono>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include <QImage>
#include <QRect>
#include <QWidget>

class QScrollBar;
class ThumbnailLoader;

class AppServices;

// The thumbnail panel: one column of the photos (".jpg") and movies (".avi") of one folder,
// scaled to the panel's width, with a film symbol on movies and a vertical scroll bar at the
// right edge. A double click opens the file with the desktop's program for it.
// It owns the name list (thread-safe), the folder monitor threads, a bounded cache of the
// scaled pictures and the threads that decode rows not cached yet, so a paint never waits
// for a decode. Widgets are touched only on the UI thread; the other threads post there.
class CResourcesBrowserDlg final : public QWidget, private FolderChangeTarget
{
    Q_OBJECT

public:
    static constexpr int kTemplateId = 144;
    static constexpr int kScrollBarId = 1078;

    // A double click opens the file with opener (the desktop when empty); a file that can't
    // be read or opened, and a folder monitor thread that can't start, are told in messages.
    explicit CResourcesBrowserDlg(const AppServices &services, varnolet::MessageBox messages,
                                  QWidget *parent = nullptr, ShellOpener::Handler opener = {});
    ~CResourcesBrowserDlg() override;

    // Switches to another folder ("" = nothing shown) and lists it; nothing when it is
    // already shown. Callable from any thread.
    void ShowFolder(const std::string &folder, bool scrollToEnd);
    // Fills the name list from the disk (names containing ".jpg" or ".avi", ordinal order).
    void RescanFolder();

    void AppendName(const std::string &name) { m_names.AppendName(name); }
    bool InsertNameSorted(const std::string &name) { return m_names.InsertNameSorted(name); }
    bool RemoveName(const std::string &name) { return m_names.RemoveName(name); }
    bool ContainsName(const std::string &name) const { return m_names.ContainsName(name); }
    // Folder + "/" + name of list entry first-visible-index + row; empty beyond the list.
    std::string PathOfRow(int row) const;

    // Scroll bar rules; UI thread.
    void ResetScrollRange();
    void UpdateScrollRange();
    void ScrollToEnd();

    static QImage MovieFirstFrame(const std::string &path);

    // Folder monitor. StopFolderMonitor ends the monitor thread; RestartFolderMonitor empties
    // the pane and watches the resource root of the current settings.
    void StopFolderMonitor();
    void RestartFolderMonitor();
    // Applies one change record relative to the watched root; true when the pane changed.
    bool HandleFolderChange(uint32_t action, const std::string &name);

    std::string CurrentFolder() const { return m_names.Folder(); }
    std::vector<std::string> Names() const { return m_names.Names(); }
    const ScrollRange &Scroll() const { return m_scroll; }
    QScrollBar *ScrollBar() const { return m_scrollBar; }
    // The client rectangle left of the scroll bar.
    QRect PictureArea() const;
    // Row → rectangle of the picture drawn there by the last paint.
    const std::vector<std::pair<int, QRect>> &PictureRects() const { return m_pictureRects; }
    int FirstVisibleIndex() const { return m_firstVisibleIndex; }
    FolderMonitor &Monitor() { return *m_monitor; }
    // True once every visible row is decoded (tests, benchmarks); runs no event loop.
    bool WaitForThumbnails(std::chrono::milliseconds timeout) const;
    ThumbnailCache &Cache() { return m_cache; }

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;
    void paintEvent(QPaintEvent *event) override;
    void resizeEvent(QResizeEvent *event) override;
    void wheelEvent(QWheelEvent *event) override;
    void mousePressEvent(QMouseEvent *event) override;
    void mouseDoubleClickEvent(QMouseEvent *event) override;

private:
    const AppServices &m_services;
    const QImage m_filmSymbol; // drawn on the pictures of movies
    const varnolet::MessageBox m_messages;
    ShellOpener::Handler m_opener;
    // Change records from the processing thread.
    bool ApplyFolderChange(const std::string &root, uint32_t action,
                           const std::string &name) override;
    void RescanAfterLostChanges() override;
    void RepaintAfterChanges() override;

    bool OnUiThread() const;
    void PostScrollUpdate();
    void PostRepaint();
    void FinishShowFolder(bool scrollToEnd);
    void SyncScrollBar();
    void OnScrollAction(int action);
    bool HandleWheel(int delta);
    void OpenRow(int row);

    ResourceNameList m_names;
    ScrollRange m_scroll; // UI thread
    QScrollBar *m_scrollBar = nullptr;
    int m_firstVisibleIndex = 0;                       // UI thread, set by each paint
    std::vector<std::pair<int, QRect>> m_pictureRects; // UI thread, rebuilt by each paint
    ThumbnailCache m_cache;
    std::unique_ptr<ThumbnailLoader> m_loader;
    std::unique_ptr<FolderMonitor> m_monitor;
    std::atomic<bool> m_scrollUpdatePosted{false};
    std::atomic<bool> m_repaintPosted{false};
};
