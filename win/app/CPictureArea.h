#pragma once

#include <atomic>
#include <cstdint>
#include <mutex>

#include <QImage>
#include <QRect>
#include <QWidget>

#include "win/capture/IVideoWindow.h"

// The child of the live picture pane into which the camera's picture goes. Frames come
// from the capture thread as bottom-up BGR rows; the newest one is converted into a
// spare buffer there and handed over, and the UI thread paints whatever is newest when it
// gets round to it. A frame that is replaced before it was painted is dropped, so frames
// never pile up when painting is slower than the camera.
class CPictureArea final : public QWidget, public IVideoWindow
{
public:
    static constexpr int kControlId = 10000;

    // Counters kept for the speed measurements and the tests.
    struct Statistics
    {
        uint64_t delivered = 0;    // frames handed to PresentFrame
        uint64_t shown = 0;        // frames that reached the screen
        uint64_t dropped = 0;      // frames replaced by a newer one before they were painted
        uint64_t latencySumUs = 0; // arrival to paint, summed over the shown frames
        uint64_t latencyMaxUs = 0;
    };

    explicit CPictureArea(QWidget *parent);
    ~CPictureArea() override;

    // Any thread. `bgrBottomUp` holds height rows of exactly 3 * width bytes, the bottom row
    // first. The frame is copied; the call never waits for the UI thread.
    void PresentFrame(const uint8_t *bgrBottomUp, int width, int height);

    // The capture engine's view of the area (UI thread, except PresentFrame). A buffer
    // shorter than 3 * width * height bytes is ignored.
    void GetClientSize(int &width, int &height) const override;
    void SetVideoPosition(int x, int y, int width, int height) override;
    void SetVideoVisible(bool visible) override;
    void GetShownSize(int &width, int &height) const override;
    void PresentFrame(const unsigned char *buffer, int width, int height, long length) override;
    QRect VideoRect() const { return m_videoRect; }
    bool IsVideoVisible() const { return m_videoVisible; }

    // UI thread: forget the picture (no camera); the area is painted black.
    void ClearPicture();
    bool HasPicture() const { return !m_shown.isNull(); }
    // UI thread: the picture that is painted now (null when there is none). Frames at least
    // twice the painted size in both directions are kept at half their size.
    const QImage &ShownPicture() const { return m_shown; }

    Statistics statistics() const;
    void resetStatistics();

protected:
    void paintEvent(QPaintEvent *event) override;
    void resizeEvent(QResizeEvent *event) override;

private:
    void takeNewestFrame();
    void updatePaintSize();

    mutable std::mutex m_lock; // guards m_pending, m_hasPending, m_spare, m_pendingArrival, m_stats
    QImage m_pending;
    bool m_hasPending = false;
    int64_t m_pendingArrival = 0;
    QImage m_spare;
    Statistics m_stats;
    std::atomic<bool> m_wakePosted{false};
    // Size the picture is painted at, read by the capture thread to choose the conversion.
    std::atomic<int> m_paintWidth{0};
    std::atomic<int> m_paintHeight{0};

    // UI thread only.
    QRect m_videoRect; // where the picture goes; empty: the whole area
    bool m_videoVisible = true;
    QImage m_shown;
    int64_t m_shownArrival = 0;
    bool m_shownCounted = true;
};
