#include "CPictureArea.h"

#include "platform/media/BgrHalving.h"
#include "platform/system/MainThreadCall.h"

#include <chrono>
#include <cstring>

#include <QCoreApplication>
#include <QEvent>
#include <QPainter>

namespace {

int64_t nowMicroseconds()
{
    using namespace std::chrono;
    return duration_cast<microseconds>(steady_clock::now().time_since_epoch()).count();
}

// Bottom-up BGR24 into a top-down 32-bit image (0xffRRGGBB), the format Qt scales fastest.
void convertFrame(const uint8_t *source, int width, int height, QImage &target)
{
    const size_t rowBytes = static_cast<size_t>(width) * 3;
    for (int y = 0; y < height; ++y) {
        const uint8_t *in = source + static_cast<size_t>(height - 1 - y) * rowBytes;
        auto *out = reinterpret_cast<uint32_t *>(target.scanLine(y));
        for (int x = 0; x < width; ++x, in += 3)
            out[x] = 0xff000000u | (uint32_t(in[2]) << 16) | (uint32_t(in[1]) << 8) | in[0];
    }
}

// The same, halving both directions with a 2 x 2 box filter: for frames at least twice the
// size they are painted at, this is a quarter of the pixels to write and to scale later.

} // namespace

CPictureArea::CPictureArea(QWidget *parent)
    : QWidget(parent)
{
    setProperty("controlId", kControlId);
    setObjectName(QStringLiteral("pictureArea"));
    // The area paints every pixel itself.
    setAttribute(Qt::WA_OpaquePaintEvent);
}

CPictureArea::~CPictureArea() = default;

void CPictureArea::PresentFrame(const uint8_t *bgrBottomUp, int width, int height)
{
    if (!bgrBottomUp || width <= 0 || height <= 0)
        return;
    const int64_t arrival = nowMicroseconds();
    // Painted at half its size or less: halve it now, which costs less than converting
    // the whole frame and looks the same after the smooth scaling of the paint.
    const int paintWidth = m_paintWidth.load(std::memory_order_relaxed);
    const int paintHeight = m_paintHeight.load(std::memory_order_relaxed);
    const bool halve =
        paintWidth > 0 && paintHeight > 0 && width >= 2 * paintWidth && height >= 2 * paintHeight;
    const int outWidth = halve ? width / 2 : width;
    const int outHeight = halve ? height / 2 : height;
    QImage buffer;
    {
        std::lock_guard<std::mutex> guard(m_lock);
        ++m_stats.delivered;
        if (m_spare.width() == outWidth && m_spare.height() == outHeight)
            buffer.swap(m_spare);
    }
    if (buffer.isNull()) {
        buffer = QImage(outWidth, outHeight, QImage::Format_RGB32);
        if (buffer.isNull())
            return; // out of memory: skip this frame
    }
    if (halve)
        varnolet::BgrHalving::halveForScreen(bgrBottomUp, width, height, true, buffer.bits(),
                                             static_cast<int>(buffer.bytesPerLine()));
    else
        convertFrame(bgrBottomUp, width, height, buffer);
    {
        std::lock_guard<std::mutex> guard(m_lock);
        if (m_hasPending) {
            ++m_stats.dropped;
            m_spare.swap(m_pending); // the stale frame becomes the next spare
        }
        m_pending.swap(buffer);
        m_hasPending = true;
        m_pendingArrival = arrival;
    }
    // One hand-over to the UI thread at a time; it takes the newest frame.
    if (!m_wakePosted.exchange(true))
        varnolet::MainThreadCall::postTo(this, [this] {
            takeNewestFrame();
            update();
        });
}

void CPictureArea::PresentFrame(const unsigned char *buffer, int width, int height, long length)
{
    if (width <= 0 || height <= 0 || length < 0 ||
        static_cast<uint64_t>(length) <
            static_cast<uint64_t>(width) * static_cast<uint64_t>(height) * 3)
        return;
    PresentFrame(static_cast<const uint8_t *>(buffer), width, height);
}

void CPictureArea::GetClientSize(int &width, int &height) const
{
    width = this->width();
    height = this->height();
}

void CPictureArea::GetShownSize(int &width, int &height) const
{
    width = m_paintWidth.load(std::memory_order_relaxed);
    height = m_paintHeight.load(std::memory_order_relaxed);
}

void CPictureArea::SetVideoPosition(int x, int y, int width, int height)
{
    m_videoRect = QRect(x, y, width, height);
    updatePaintSize();
    update();
}

void CPictureArea::updatePaintSize()
{
    const QRect target = m_videoRect.isEmpty() ? rect() : m_videoRect;
    m_paintWidth.store(target.width(), std::memory_order_relaxed);
    m_paintHeight.store(target.height(), std::memory_order_relaxed);
}

void CPictureArea::resizeEvent(QResizeEvent *event)
{
    QWidget::resizeEvent(event);
    updatePaintSize();
}

void CPictureArea::SetVideoVisible(bool visible)
{
    m_videoVisible = visible;
    if (!visible)
        ClearPicture();
    update();
}

void CPictureArea::takeNewestFrame()
{
    m_wakePosted.store(false);
    std::lock_guard<std::mutex> guard(m_lock);
    if (!m_hasPending)
        return;
    if (!m_shownCounted)
        ++m_stats.dropped; // taken but never painted (hidden area)
    m_shown.swap(m_pending);
    m_hasPending = false;
    m_shownArrival = m_pendingArrival;
    m_shownCounted = false;
    // What was shown before is reused for a later frame of the same size.
    if (!m_pending.isNull() && (m_spare.isNull() || m_spare.size() != m_pending.size()))
        m_spare.swap(m_pending);
    m_pending = QImage();
}

void CPictureArea::ClearPicture()
{
    {
        std::lock_guard<std::mutex> guard(m_lock);
        m_hasPending = false;
        m_pending = QImage();
    }
    m_shown = QImage();
    m_shownCounted = true;
    update();
}

CPictureArea::Statistics CPictureArea::statistics() const
{
    std::lock_guard<std::mutex> guard(m_lock);
    return m_stats;
}

void CPictureArea::resetStatistics()
{
    std::lock_guard<std::mutex> guard(m_lock);
    m_stats = Statistics();
}

void CPictureArea::paintEvent(QPaintEvent *)
{
    QPainter painter(this);
    const QRect target = m_videoRect.isEmpty() ? rect() : m_videoRect;
    if (m_shown.isNull() || !m_videoVisible) {
        painter.fillRect(rect(), Qt::black);
        return;
    }
    if (target != rect()) {
        painter.fillRect(rect(), Qt::black);
    }
    painter.setRenderHint(QPainter::SmoothPixmapTransform, true);
    painter.drawImage(QRectF(target), m_shown);
    if (!m_shownCounted) {
        m_shownCounted = true;
        const uint64_t latency = static_cast<uint64_t>(nowMicroseconds() - m_shownArrival);
        std::lock_guard<std::mutex> guard(m_lock);
        ++m_stats.shown;
        m_stats.latencySumUs += latency;
        if (latency > m_stats.latencyMaxUs)
            m_stats.latencyMaxUs = latency;
    }
}
