#include "FileBrowserView.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>

#include <QCoreApplication>
#include <QMouseEvent>
#include <QPaintEvent>
#include <QPainter>
#include <QScrollArea>
#include <QScrollBar>

#include "mac/core/SettingParams.h"
#include "mac/browser/DirectoryListing.h"
#include "mac/browser/VxKQueue.h"
#include "platform/widgets/ShellOpener.h"

namespace {

std::string expandTilde(const std::string &path)
{
    if (path.empty() || path[0] != '~')
        return path;
    const char *home = std::getenv("HOME");
    return std::string(home ? home : "") + path.substr(1);
}

} // namespace

FileBrowserView::FileBrowserView(QWidget *parent, const std::string &resourcesPath,
                                 varnolet::ThumbnailHelperOptions helper,
                                 ShellOpener::Handler opener)
    : QWidget(parent)
    , m_opener(ShellOpener::OrDesktop(std::move(opener)))
{
    // The worker reports on its own thread; the picture is taken over on the main thread,
    // and a report still queued when the view goes is dropped with it.
    m_worker = std::make_unique<ThumbnailWorker>(
        [this](uint64_t generation, const std::string &name, QImage image) {
            QMetaObject::invokeMethod(
                this,
                [this, generation, name, image = std::move(image)]() mutable {
                    thumbnailMade(generation, name, std::move(image));
                },
                Qt::QueuedConnection);
        },
        std::move(helper));
    if (!resourcesPath.empty())
        mMovieFlagImageRef = m_maker.imageThumbnail(resourcesPath + "/Player.png");
    mVxFileWatcher = VxKQueue::init();
    if (mVxFileWatcher)
        mVxFileWatcher->setDelegate(this);
    setMouseTracking(false);
}

FileBrowserView::~FileBrowserView()
{
    mVxFileWatcher.reset();
    releaseImageRefs();
}

bool FileBrowserView::isMovieFile(const std::string &name)
{
    return name.find(".mov") != std::string::npos;
}

bool FileBrowserView::isImageFile(const std::string &name)
{
    return name.find(".jpg") != std::string::npos || name.find(".png") != std::string::npos;
}

std::string FileBrowserView::getFileNameByIndex(int index) const
{
    if (index < 0 || index >= getFilesCount())
        return {};
    return mFilesName[static_cast<size_t>(index)];
}

int FileBrowserView::getIndexOfFilesToDrawing(double y)
{
    return static_cast<int>(y) / kRowHeight;
}

double FileBrowserView::getYBeginToDrawing(double y)
{
    return getIndexOfFilesToDrawing(y) * kRowHeight + kBoxTop;
}

int FileBrowserView::getDrawingImageCount() const
{
    const QWidget *superview = parentWidget();
    if (!superview)
        return 6;
    return superview->height() / kRowHeight + 2;
}

void FileBrowserView::updateFiles(const std::string &path)
{
    if (path == mCurrentBrowserLocationOfResources)
        return;
    setWatcherFolderPath(path);
    mCurrentBrowserLocationOfResources = path;
    resetFileList();
    if (mIsAutoAddingResources) {
        scrollPoint(height());
        mIsAutoAddingResources = false;
    } else {
        scrollPoint(0);
    }
}

void FileBrowserView::setWatcherFolderPath(const std::string &path)
{
    if (!mVxFileWatcher)
        return;
    if (!mCurrentBrowserLocationOfResources.empty())
        mVxFileWatcher->removePath(mCurrentBrowserLocationOfResources);
    mVxFileWatcher->addPath(path);
}

void FileBrowserView::releaseImageRefs()
{
    mImageFiles.clear();
    ++m_generation;
    if (m_worker)
        m_worker->cancel();
}

void FileBrowserView::resetFileList()
{
    const auto names =
        DirectoryListing::contentsOfDirectory(expandTilde(mCurrentBrowserLocationOfResources));
    releaseImageRefs();
    mFilesName.clear();
    mDrawingResourcesItems.clear();
    m_thumbnailAttempts = 0;
    if (names) {
        mImageFiles.reserve(names->size());
        for (const std::string &name : *names) {
            // Hidden files: ".DS_Store" and the half-written files of a save in progress.
            if (name.empty() || name[0] == '.')
                continue;
            if (!isMovieFile(name) && !isImageFile(name))
                continue;
            mImageFiles.emplace(name, CachedImage{});
            mFilesName.push_back(name);
        }
    }
    setMyFrameSize();
    update();
}

void FileBrowserView::setMyFrameSize()
{
    const int height = (mThumbnailSize + 10) * getFilesCount();
    setFixedHeight(height);
}

void FileBrowserView::setThumbnailSize(double value)
{
    mThumbnailSize = static_cast<int>(std::lround(value));
    setMyFrameSize();
    update();
}

QScrollArea *FileBrowserView::scrollArea() const
{
    QWidget *viewport = parentWidget();
    auto *area = viewport ? qobject_cast<QScrollArea *>(viewport->parentWidget()) : nullptr;
    return area && area->widget() == this ? area : nullptr;
}

void FileBrowserView::scrollPoint(double y)
{
    QScrollArea *area = scrollArea();
    if (!area)
        return;
    // Makes the point (0, y) visible, as little scrolling as possible.
    QScrollBar *bar = area->verticalScrollBar();
    const int viewportHeight = area->viewport()->height();
    // The scroll area learns the new height only when the view's resize reaches it, which
    // for a hidden window is later.
    const int maximum = std::max(0, height() - viewportHeight);
    if (bar->maximum() != maximum)
        bar->setRange(0, maximum);
    const int point = static_cast<int>(y);
    if (point < bar->value())
        bar->setValue(point);
    else if (point > bar->value() + viewportHeight)
        bar->setValue(point - viewportHeight);
}

QRectF FileBrowserView::visibleRect() const
{
    const QWidget *superview = parentWidget();
    if (!superview)
        return QRectF(rect());
    const QRect inView(mapFrom(superview, QPoint(0, 0)), superview->size());
    return QRectF(inView.intersected(rect()));
}

QImage FileBrowserView::dumpFramesWithMovie(const std::string &path)
{
    return m_maker.movieThumbnail(path);
}

QImage FileBrowserView::thumbnailForFile(const std::string &name, const std::string &folder)
{
    const std::string path = expandTilde(folder) + "/" + name;
    if (isImageFile(name))
        return m_maker.imageThumbnail(path);
    if (isMovieFile(name))
        return dumpFramesWithMovie(path);
    return {};
}

const QImage *FileBrowserView::cachedThumbnail(const std::string &name,
                                               std::vector<ThumbnailWorker::Item> &wanted)
{
    auto it = mImageFiles.find(name);
    if (it == mImageFiles.end())
        return nullptr;
    CachedImage &cached = it->second;
    if (cached.state == CachedImage::State::Placeholder) {
        cached.state = CachedImage::State::Requested;
        wanted.push_back(ThumbnailWorker::Item{name, isMovieFile(name)});
    }
    return cached.state == CachedImage::State::Made ? &cached.image : nullptr;
}

void FileBrowserView::thumbnailMade(uint64_t generation, const std::string &name, QImage image)
{
    if (generation != m_generation)
        return;
    auto it = mImageFiles.find(name);
    if (it == mImageFiles.end() || it->second.state != CachedImage::State::Requested)
        return;
    ++m_thumbnailAttempts;
    it->second.state = image.isNull() ? CachedImage::State::Failed : CachedImage::State::Made;
    it->second.image = std::move(image);
    update();
}

int FileBrowserView::pendingThumbnails() const
{
    return static_cast<int>(
        std::count_if(mImageFiles.begin(), mImageFiles.end(), [](const auto &entry) {
            return entry.second.state == CachedImage::State::Requested;
        }));
}

bool FileBrowserView::waitForThumbnails(std::chrono::milliseconds timeout)
{
    const auto deadline = std::chrono::steady_clock::now() + timeout;
    while (pendingThumbnails() > 0) {
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
            deadline - std::chrono::steady_clock::now());
        if (left.count() <= 0)
            return false;
        m_worker->waitIdle(std::min(left, std::chrono::milliseconds(50)));
        QCoreApplication::sendPostedEvents(this);
    }
    return true;
}

void FileBrowserView::drawPlaceholder(QPainter &painter, const QRectF &box) const
{
    // A square as high as the box, outlined, where the picture will be.
    const double side = std::min(box.width(), box.height()) - 2;
    if (side <= 4)
        return;
    const QRectF square(box.x() + (box.width() - side) / 2, box.y() + (box.height() - side) / 2,
                        side, side);
    painter.fillRect(square, palette().alternateBase());
    painter.setPen(palette().mid().color());
    painter.drawRect(square);
}

void FileBrowserView::drawMovieFlag(QPainter &painter, const QRectF &rect) const
{
    if (mMovieFlagImageRef.isNull())
        return;
    int width = mMovieFlagImageRef.width();
    int height = mMovieFlagImageRef.height();
    if (width > rect.width())
        width = static_cast<int>(rect.width());
    if (height > rect.height())
        height = static_cast<int>(rect.height());
    if (width <= 0 || height <= 0)
        return;
    painter.drawImage(QRectF(rect.x(), rect.y(), width, height), mMovieFlagImageRef,
                      QRectF(0, 0, width, height));
}

void FileBrowserView::paintEvent(QPaintEvent *)
{
    QPainter painter(this);
    painter.setRenderHint(QPainter::SmoothPixmapTransform);
    const QRectF visible = visibleRect();
    painter.fillRect(visible, palette().base());
    mDrawingResourcesItems.clear();

    const QWidget *superview = parentWidget();
    const QSizeF box(superview ? superview->width() : width(), kBoxHeight);
    int index = getIndexOfFilesToDrawing(visible.y());
    double top = getYBeginToDrawing(visible.y());
    const int rows = getDrawingImageCount();
    std::vector<ThumbnailWorker::Item> wanted;
    for (int row = 0; row < rows && index < getFilesCount(); ++row, ++index, top += kRowHeight) {
        const std::string &name = mFilesName[static_cast<size_t>(index)];
        const QImage *thumbnail = cachedThumbnail(name, wanted);
        if (!thumbnail) {
            const auto it = mImageFiles.find(name);
            if (it != mImageFiles.end() && it->second.state == CachedImage::State::Requested)
                drawPlaceholder(painter, QRectF(QPointF(visible.x(), top), box));
            continue;
        }
        const QRectF fit = SettingParams::getDrawingRect(QSizeF(thumbnail->size()), box);
        const QRectF drawn(visible.x() + fit.x(), top + fit.y(), fit.width(), fit.height());
        MyRect &recorded = mDrawingResourcesItems[name];
        recorded.rc.origin.x = static_cast<float>(drawn.x());
        recorded.rc.origin.y = static_cast<float>(drawn.y());
        recorded.rc.size.width = static_cast<float>(drawn.width());
        recorded.rc.size.height = static_cast<float>(drawn.height());
        painter.drawImage(drawn, *thumbnail);
        if (isMovieFile(name))
            drawMovieFlag(painter, drawn);
    }
    if (!wanted.empty())
        m_worker->request(m_generation, expandTilde(mCurrentBrowserLocationOfResources), wanted);
}

void FileBrowserView::mouseDown(QPointF point, int clickCount)
{
    if (clickCount < 2)
        return;
    for (const auto &[name, rect] : mDrawingResourcesItems) {
        if (rect.contains(static_cast<float>(point.x()), static_cast<float>(point.y()))) {
            m_opener(mCurrentBrowserLocationOfResources + "/" + name, ShellOpener::Verb::Open);
            return;
        }
    }
}

void FileBrowserView::mousePressEvent(QMouseEvent *event)
{
    mouseDown(event->position(), 1);
}

void FileBrowserView::mouseDoubleClickEvent(QMouseEvent *event)
{
    mouseDown(event->position(), 2);
}

void FileBrowserView::watcher(VxKQueue *, const std::string &receivedNotification,
                              const std::string &)
{
    if (receivedNotification != VxFileWatcherWriteNotification &&
        receivedNotification != VxFileWatcherRenameNotification)
        return;
    resetFileList();
    scrollPoint(height());
}
