#pragma once

#include <map>
#include <memory>
#include <string>
#include <unordered_map>
#include <vector>

#include <QImage>
#include <QWidget>

#include "mac/ui/MyRect.h"
#include "mac/browser/ThumbnailMaker.h"
#include "mac/browser/ThumbnailWorker.h"
#include "mac/browser/VxKQueueDelegate.h"
#include "platform/widgets/ShellOpener.h"

class QPainter;
class QScrollArea;
class VxKQueue;

// The thumbnail strip of the resource browser: one column of the photos and movies of the
// folder chosen in the resource tree, drawn row by row as they scroll into view, with the
// first frame and a badge for movies. A double click on a thumbnail opens the file with the
// desktop's application for it. The strip watches its folder and lists it anew, scrolled
// to the end, when entries are added, removed or renamed there.
//
// The view is the document of a scroll area (y grows downwards); its parent widget, the
// scroll area's viewport, is its superview. Its height is (mThumbnailSize + 10) per file;
// its width follows the viewport.
//
// Thumbnails are asked for while painting, for the rows being drawn only, and made on the
// ThumbnailWorker's thread (movies in the sandboxed helper); a row shows a placeholder
// until its picture arrives, and pictures are kept until the list is rebuilt. A rebuild
// drops the requests still waiting and ignores pictures of the old listing. A file whose
// thumbnail cannot be made keeps an empty row; the failure is remembered until the list is
// rebuilt, so that rows of broken files cost nothing at later paints. Files reach a shown folder
// whole (they are written under a hidden name and renamed), and every rename rebuilds the list, so
// a file is never judged while half written. Hidden files (names beginning with ".") are not
// listed. Main thread only.
class FileBrowserView final : public QWidget, public VxKQueueDelegate
{
    Q_OBJECT

public:
    static constexpr int kRowHeight = 110;
    static constexpr int kBoxHeight = 100;
    static constexpr int kBoxTop = 10;

    // The badge is read from "Player.png" in resourcesPath (no badge when empty). A double click
    // opens the file with opener (the desktop when empty).
    explicit FileBrowserView(QWidget *parent = nullptr, const std::string &resourcesPath = {},
                             varnolet::ThumbnailHelperOptions helper = {},
                             ShellOpener::Handler opener = {});
    ~FileBrowserView() override;

    // Shows the folder (nothing happens when it is the one shown).
    void updateFiles(const std::string &path);
    void setMIsAutoAddingResources(bool on) { mIsAutoAddingResources = on; }
    bool isAutoAddingResources() const { return mIsAutoAddingResources; }
    // The folder watcher's report, on the main thread.
    void watcher(VxKQueue *kq, const std::string &receivedNotification,
                 const std::string &forPath) override;
    // Takes the value rounded to the nearest integer as thumbnail size and lays out anew.
    void setThumbnailSize(double value);
    // A mouse press with its click count, in view coordinates.
    void mouseDown(QPointF point, int clickCount);

    void resetFileList();
    void setMyFrameSize();
    void setWatcherFolderPath(const std::string &path);
    // The thumbnail of the named file in the folder; null when it cannot be made.
    QImage thumbnailForFile(const std::string &name, const std::string &folder);
    QImage dumpFramesWithMovie(const std::string &path);
    static bool isMovieFile(const std::string &name);
    static bool isImageFile(const std::string &name);
    int getFilesCount() const { return static_cast<int>(mFilesName.size()); }
    std::string getFileNameByIndex(int index) const;
    static int getHeightOfItemToDrawing() { return kRowHeight; }
    // The first row reaching into the visible band starting at y, and its box top.
    static int getIndexOfFilesToDrawing(double y);
    static double getYBeginToDrawing(double y);
    // Rows per drawing pass.
    int getDrawingImageCount() const;
    void drawMovieFlag(QPainter &painter, const QRectF &rect) const;
    void releaseImageRefs();

    // State, for the window around and for tests.
    const std::vector<std::string> &filesName() const { return mFilesName; }
    const std::map<std::string, MyRect> &drawingResourcesItems() const
    {
        return mDrawingResourcesItems;
    }
    const std::string &currentBrowserLocationOfResources() const
    {
        return mCurrentBrowserLocationOfResources;
    }
    int thumbnailSize() const { return mThumbnailSize; }
    const QImage &movieFlagImage() const { return mMovieFlagImageRef; }
    VxKQueue *fileWatcher() const { return mVxFileWatcher.get(); }
    // The visible part of the view, in view coordinates.
    QRectF visibleRect() const;
    // Thumbnails made so far since the last rebuild (a failed attempt counts too).
    int thumbnailAttempts() const { return m_thumbnailAttempts; }
    // Rows asked for and not made yet.
    int pendingThumbnails() const;
    // Waits until the worker has made every row asked for and their pictures have reached
    // the view (tests and benchmarks); false on the timeout.
    bool waitForThumbnails(std::chrono::milliseconds timeout);

protected:
    void paintEvent(QPaintEvent *event) override;
    void mousePressEvent(QMouseEvent *event) override;
    void mouseDoubleClickEvent(QMouseEvent *event) override;

private:
    // A cached thumbnail: not made yet, made, or failed until the next rebuild.
    struct CachedImage
    {
        enum class State { Placeholder, Requested, Made, Failed } state = State::Placeholder;
        QImage image;
    };

    QScrollArea *scrollArea() const;
    void scrollPoint(double y);
    // The picture of a row; asks the worker for it the first time (collected in `wanted`).
    const QImage *cachedThumbnail(const std::string &name,
                                  std::vector<ThumbnailWorker::Item> &wanted);
    void thumbnailMade(uint64_t generation, const std::string &name, QImage image);
    void drawPlaceholder(QPainter &painter, const QRectF &box) const;

    std::unordered_map<std::string, CachedImage> mImageFiles;
    std::vector<std::string> mFilesName;
    int mThumbnailSize = 100;
    std::string mCurrentBrowserLocationOfResources;
    std::map<std::string, MyRect> mDrawingResourcesItems;
    QImage mMovieFlagImageRef;
    bool mIsAutoAddingResources = false;
    ThumbnailMaker m_maker;
    int m_thumbnailAttempts = 0;
    uint64_t m_generation = 1; // of the listing; pictures of older ones are dropped
    std::unique_ptr<ThumbnailWorker> m_worker;
    ShellOpener::Handler m_opener;
    // Last: destroyed first, so no report arrives while the rest goes away.
    std::unique_ptr<VxKQueue> mVxFileWatcher;
};
