#pragma once

#include "IFrameSink.h"

#include "platform/system/Clock.h"
#include "platform/system/MessageBox.h"

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

class AppServices;
class CSampleGrabberOwner;

// A frame sink of the capture graph. There are exactly two, living for the whole process:
// the preview sink, which turns the owner's requests into photos, timed shots and movie
// frames, and the still sink, which saves every snapshot-button image as a photo. Frames
// are 24-bit BGR, rows bottom-up, a row exactly 3 × width bytes.
//
// Threads: BufferCB runs on the camera's streaming threads (preview and still at once), the
// saving thread consumes the timed-shot queue, the UI thread sets sizes, the owner and the
// series start. Every field read across threads is an atomic; the saving queue has its own
// lock, the movie writer the writer lock (MovieWriterLock()).
class CSampleGrabberCB final : public IFrameSink
{
public:
    // Answer of BufferCB for a frame without buffer while the preview sink has work.
    static constexpr long kInvalidPointer = static_cast<long>(static_cast<int32_t>(0x80004003u));

    static CSampleGrabberCB &PreviewSink();
    static CSampleGrabberCB &StillSink();

    CSampleGrabberCB(const CSampleGrabberCB &) = delete;
    CSampleGrabberCB &operator=(const CSampleGrabberCB &) = delete;

    long BufferCB(double sampleTime, unsigned char *buffer, long bufferLength) override;
    void SetFrameSize(int width, int height) override;
    void SetLargestSize(int width, int height) override;
    // The preview sink's owner asks for a photo, a timed series or a movie.
    bool WantsFullFrames() const override;

    // The main window whose requests are read and to which messages are posted (null: none).
    void SetOwner(CSampleGrabberOwner *owner) { m_owner.store(owner, std::memory_order_release); }
    CSampleGrabberOwner *Owner() const { return m_owner.load(std::memory_order_acquire); }

    int32_t FrameWidth() const { return m_frameWidth.load(std::memory_order_relaxed); }
    int32_t FrameHeight() const { return m_frameHeight.load(std::memory_order_relaxed); }
    int32_t LargestWidth() const { return m_largestWidth.load(std::memory_order_relaxed); }
    int32_t LargestHeight() const { return m_largestHeight.load(std::memory_order_relaxed); }
    bool IsStillSink() const { return m_stillFlag != 0; }

    // Series start: now by the owner's clock as series start time, no last shot, no shots
    // taken (preview sink).
    void StartTimedShots();
    int32_t ShotsTaken() const { return m_shotsTaken.load(std::memory_order_relaxed); }
    int64_t LastShotTime() const { return m_lastShotTime.load(std::memory_order_relaxed); }
    int64_t SeriesStartTime() const { return m_seriesStartTime.load(std::memory_order_relaxed); }

    // The timed-shot saving queue (preview sink).
    size_t SavingQueueLength() const;
    // Drops every queued frame.
    void ClearSavingQueue();

    // The saving thread: consumes the queue until StopSavingThread(). The main window starts
    // it with itself as owner and hands it to the capture graph, which stops and joins it.
    static std::thread StartSavingThread(CSampleGrabberOwner &owner);
    static void StopSavingThread();
    static bool SavingThreadRunning();

    // Wall-clock milliseconds of clock: calendar seconds × 1000 + the current millisecond.
    static int64_t WallMilliseconds(const varnolet::Clock &clock);
    // The photo size for a frame of the sink: the settings' capture size, unless it is
    // larger than the sink's largest size in either direction; then the largest width by
    // largest width × frame height / frame width (single-precision ratio, truncated).
    static void TargetSize(const CSampleGrabberCB &sink, int frameWidth, int frameHeight,
                           int settingsWidth, int settingsHeight, int &targetWidth,
                           int &targetHeight);

private:
    struct QueuedFrame
    {
        std::vector<uint8_t> bytes;
        int32_t width = 0; // the frame's size when it was queued
        int32_t height = 0;
    };

    explicit CSampleGrabberCB(int32_t stillFlag);

    void SavePhoto(const uint8_t *buffer, long length, int width, int height);
    void QueueTimedShot(const uint8_t *buffer, long length);
    void AppendMovieFrame(const uint8_t *buffer, long length);
    bool PopQueuedFrame(QueuedFrame &frame);
    void PostToOwner(int message) const;
    static void SavingThreadProc(CSampleGrabberOwner *owner);

    std::atomic<int32_t> m_frameWidth{0};
    std::atomic<int32_t> m_frameHeight{0};
    std::atomic<CSampleGrabberOwner *> m_owner{nullptr};
    std::atomic<int32_t> m_largestWidth{1600};
    std::atomic<int32_t> m_largestHeight{1200};
    std::atomic<int64_t> m_lastShotTime{0}; // 0: no shot yet in this series
    std::atomic<int64_t> m_seriesStartTime{0};
    std::atomic<int32_t> m_shotsTaken{0};
    const int32_t m_stillFlag;

    mutable std::mutex m_queueLock; // guards m_savingQueue; never held while encoding
    std::deque<QueuedFrame> m_savingQueue;
    std::condition_variable m_queueChanged;
};

// Writes one frame of the sink's size (or of the given size) as a JPEG of quality 100 at
// path, scaled to the target size of TargetSize for the capture size of the using
// settings of services, with the annotation the sink's owner holds (none without owner).
// False on failure, after the "ui_alert_savefile" message with the status text in messages
// (no message when no encoder exists).
bool SaveFrameAsJpeg(const CSampleGrabberCB &sink, const uint8_t *buffer, long length,
                     const std::string &path, const AppServices &services,
                     const varnolet::MessageBox &messages);
bool SaveFrameAsJpeg(const CSampleGrabberCB &sink, const uint8_t *buffer, long length,
                     int frameWidth, int frameHeight, const std::string &path,
                     const AppServices &services, const varnolet::MessageBox &messages);
