#include "CSampleGrabberCB.h"

#include "AviMovieWriter.h"
#include "CSampleGrabberOwner.h"
#include "SaveStatusText.h"

#include "platform/media/FrameScaler.h"
#include "platform/media/JpegEncoder.h"
#include "platform/measure/PhotoAnnotation.h"
#include "platform/system/Clock.h"
#include "platform/system/ThreadName.h"
#include "platform/system/WindowMessage.h"
#include "win/common/AppServices.h"
#include "win/common/IResourceAnnouncer.h"
#include "win/common/ResourceNaming.h"
#include "win/common/TextFormat.h"
#include "win/common/TimedSeries.h"

#include <chrono>

namespace {

std::atomic<bool> g_savingThreadRun{true}; // the saving thread's run flag

void Announce(CSampleGrabberOwner *owner, const std::string &path)
{
    if (!owner)
        return;
    if (IResourceAnnouncer *window = owner->ResourceWindow())
        window->AddResourceFile(path);
}

} // namespace

CSampleGrabberCB::CSampleGrabberCB(int32_t stillFlag)
    : m_stillFlag(stillFlag)
{
}

// Both sinks exist for the whole process and are never freed, so the streaming and saving
// threads can never meet a destroyed sink at exit.
CSampleGrabberCB &CSampleGrabberCB::PreviewSink()
{
    static CSampleGrabberCB *sink = new CSampleGrabberCB(0);
    return *sink;
}

CSampleGrabberCB &CSampleGrabberCB::StillSink()
{
    static CSampleGrabberCB *sink = new CSampleGrabberCB(1);
    return *sink;
}

void CSampleGrabberCB::SetFrameSize(int width, int height)
{
    m_frameWidth.store(width, std::memory_order_relaxed);
    m_frameHeight.store(height, std::memory_order_relaxed);
}

void CSampleGrabberCB::SetLargestSize(int width, int height)
{
    m_largestWidth.store(width, std::memory_order_relaxed);
    m_largestHeight.store(height, std::memory_order_relaxed);
}

int64_t CSampleGrabberCB::WallMilliseconds(const varnolet::Clock &clock)
{
    const auto sinceEpoch = clock.wallNow().time_since_epoch();
    return std::chrono::duration_cast<std::chrono::milliseconds>(sinceEpoch).count();
}

void CSampleGrabberCB::StartTimedShots()
{
    // Without an owner no series can run (BufferCB ignores every frame).
    const CSampleGrabberOwner *owner = Owner();
    m_seriesStartTime.store(owner ? WallMilliseconds(owner->Clock()) : 0,
                            std::memory_order_relaxed);
    m_lastShotTime.store(0, std::memory_order_relaxed);
    m_shotsTaken.store(0, std::memory_order_relaxed);
}

void CSampleGrabberCB::PostToOwner(int message) const
{
    if (CSampleGrabberOwner *owner = Owner())
        varnolet::WindowMessage::post(owner->MessageWindow(), message);
}

void CSampleGrabberCB::TargetSize(const CSampleGrabberCB &sink, int frameWidth, int frameHeight,
                                  int settingsWidth, int settingsHeight, int &targetWidth,
                                  int &targetHeight)
{
    targetWidth = settingsWidth;
    targetHeight = settingsHeight;
    const int largestWidth = sink.LargestWidth();
    if ((settingsWidth > largestWidth || settingsHeight > sink.LargestHeight()) && frameWidth > 0) {
        const float ratio = static_cast<float>(frameHeight) / static_cast<float>(frameWidth);
        targetWidth = largestWidth;
        targetHeight = static_cast<int>(static_cast<float>(largestWidth) * ratio);
    }
}

bool SaveFrameAsJpeg(const CSampleGrabberCB &sink, const uint8_t *buffer, long length,
                     const std::string &path, const AppServices &services,
                     const varnolet::MessageBox &messages)
{
    return SaveFrameAsJpeg(sink, buffer, length, sink.FrameWidth(), sink.FrameHeight(), path,
                           services, messages);
}

bool SaveFrameAsJpeg(const CSampleGrabberCB &sink, const uint8_t *buffer, long length,
                     int frameWidth, int frameHeight, const std::string &path,
                     const AppServices &services, const varnolet::MessageBox &messages)
{
    if (!buffer || length < 1)
        return false;
    // One encoder and scaler per thread (capture, still and saving threads), kept between
    // photos so their buffers are reused.
    thread_local varnolet::JpegEncoder encoder(100);
    thread_local varnolet::FrameScaler scaler;
    if (!encoder.isAvailable())
        return false; // no encoder: fails without a message

    auto fail = [&path, &services, &messages](const varnolet::ImageResult &result) {
        messages.warning(FormatText(services.GetLanguageString("ui_alert_savefile",
                                                               "Save file %s failure", messages),
                                    {path}) +
                         SaveStatusText(result));
        return false;
    };
    const int64_t frameBytes = static_cast<int64_t>(frameWidth) * frameHeight * 3;
    if (frameWidth <= 0 || frameHeight <= 0 || length < frameBytes)
        return fail(varnolet::ImageResult::failure(varnolet::ImageStatus::InvalidParameter));

    const SettingValues settings = services.Settings().GetUsingSettings();
    int targetWidth = 0;
    int targetHeight = 0;
    CSampleGrabberCB::TargetSize(sink, frameWidth, frameHeight, settings.captureWidth,
                                 settings.captureHeight, targetWidth, targetHeight);
    if (targetWidth <= 0 || targetHeight <= 0)
        return fail(varnolet::ImageResult::failure(varnolet::ImageStatus::InvalidParameter));

    const uint8_t *pixels = buffer;
    std::vector<uint8_t> scaled;
    if (targetWidth != frameWidth || targetHeight != frameHeight) {
        scaled.resize(static_cast<size_t>(targetWidth) * targetHeight * 3);
        if (!scaler.scale(buffer, frameWidth, frameHeight, scaled.data(), targetWidth,
                          targetHeight))
            return fail(varnolet::ImageResult::failure(varnolet::ImageStatus::GenericError));
        pixels = scaled.data();
    }
    // The scale of a calibrated picture in the metadata, and on request drawn in.
    const CSampleGrabberOwner *owner = sink.Owner();
    const auto annotation = owner ? owner->Annotations().current() : nullptr;
    encoder.setScaleInfo(annotation ? annotation->scaleInfo(targetWidth, targetHeight)
                                    : std::nullopt);
    if (annotation && annotation->burnIn) {
        if (scaled.empty())
            scaled.assign(buffer, buffer + static_cast<size_t>(frameBytes));
        annotation->apply(scaled.data(), targetWidth, targetHeight);
        pixels = scaled.data();
    }
    const varnolet::ImageResult result = encoder.save(path, pixels, targetWidth, targetHeight);
    if (!result.ok())
        return fail(result);
    return true;
}

void CSampleGrabberCB::SavePhoto(const uint8_t *buffer, long length, int width, int height)
{
    // The owner's clock dates the photo's name: without an owner nothing is saved.
    CSampleGrabberOwner *owner = Owner();
    if (!owner)
        return;
    const SettingValues settings = owner->Services().Settings().GetUsingSettings();
    const std::string path = NextSingleShotPath(SingleShotsFolder(settings), settings,
                                                owner->Clock(), owner->Messages());
    if (path.empty())
        return;
    if (SaveFrameAsJpeg(*this, buffer, length, width, height, path, owner->Services(),
                        owner->Messages()))
        Announce(owner, path);
}

void CSampleGrabberCB::QueueTimedShot(const uint8_t *buffer, long length)
{
    QueuedFrame frame;
    frame.bytes.assign(buffer, buffer + length);
    frame.width = FrameWidth();
    frame.height = FrameHeight();
    {
        std::lock_guard<std::mutex> guard(m_queueLock);
        m_savingQueue.push_back(std::move(frame));
    }
    m_queueChanged.notify_one();
}

void CSampleGrabberCB::AppendMovieFrame(const uint8_t *buffer, long length)
{
    const CSampleGrabberOwner *owner = Owner();
    if (!owner)
        return;
    std::lock_guard<std::mutex> guard(MovieWriterLock());
    AviMovieWriter *writer = OpenMovieWriter();
    if (!writer)
        return;
    const uint64_t bytes = writer->CurrentMovieBytes();
    // In 64 bits: the largest setting, 4096 MB, is 4,294,967,296 bytes.
    const uint64_t limit = static_cast<uint64_t>(static_cast<int64_t>(
                               owner->Services().Settings().GetUsingSettings().movieSizeMax)) *
                           1'048'576ull;
    if (limit <= bytes) {
        PostToOwner(CSampleGrabberOwner::StopRecordingMessage);
        return;
    }
    if (writer->AppendMovieFrame(FrameWidth(), FrameHeight(), buffer,
                                 static_cast<size_t>(length)) != 0) {
        // Frames keep coming until the stop message is handled: one failure, one box.
        if (writer->TakeFailureToReport())
            writer->FailureMessages().warning(writer->LastErrorText());
        PostToOwner(CSampleGrabberOwner::StopRecordingMessage);
    }
}

bool CSampleGrabberCB::WantsFullFrames() const
{
    if (m_stillFlag)
        return true;
    const CSampleGrabberOwner *owner = Owner();
    return owner && (owner->PhotoRequested() == 1 || owner->TimedSeriesActive() == 1 ||
                     owner->RecordingActive() == 1);
}

long CSampleGrabberCB::BufferCB(double sampleTime, unsigned char *buffer, long bufferLength)
{
    (void)sampleTime;
    if (m_stillFlag) {
        // Snapshot button: every still image is a photo; no flag, no message.
        if (buffer && bufferLength > 0)
            SavePhoto(buffer, bufferLength, FrameWidth(), FrameHeight());
        return 0;
    }

    CSampleGrabberOwner *owner = Owner();
    if (!owner)
        return 0;
    const bool photo = owner->PhotoRequested() == 1;
    const bool timed = owner->TimedSeriesActive() == 1;
    const bool recording = owner->RecordingActive() == 1;
    if (!photo && !timed && !recording)
        return 0;
    if (!buffer)
        return kInvalidPointer;

    if (photo) {
        // Saved or not, the request is answered.
        if (bufferLength > 0)
            SavePhoto(buffer, bufferLength, FrameWidth(), FrameHeight());
        owner->SetPhotoRequested(false);
        PostToOwner(CSampleGrabberOwner::PhotoTakenMessage);
    }

    if (timed) {
        const int64_t now = WallMilliseconds(owner->Clock());
        const int64_t interval = owner->ShotInterval();
        const int64_t last = m_lastShotTime.load(std::memory_order_relaxed);
        const int64_t start = m_seriesStartTime.load(std::memory_order_relaxed);
        const int64_t taken = m_shotsTaken.load(std::memory_order_relaxed);
        // Anchored to the series start, so shots do not drift with the frame timing.
        const bool due = now - last >= interval || now - start > taken * interval || last == 0;
        if (due && bufferLength > 0) {
            QueueTimedShot(buffer, bufferLength);
            m_shotsTaken.fetch_add(1, std::memory_order_relaxed);
            m_lastShotTime.store(now, std::memory_order_relaxed);
        }
        if (static_cast<double>(now - start) >
            static_cast<double>(owner->SeriesDuration()) * 3600.0 * 1000.0)
            PostToOwner(CSampleGrabberOwner::TimedSeriesOverMessage);
    }

    if (recording)
        AppendMovieFrame(buffer, bufferLength);
    return 0;
}

size_t CSampleGrabberCB::SavingQueueLength() const
{
    std::lock_guard<std::mutex> guard(m_queueLock);
    return m_savingQueue.size();
}

void CSampleGrabberCB::ClearSavingQueue()
{
    std::deque<QueuedFrame> dropped;
    {
        std::lock_guard<std::mutex> guard(m_queueLock);
        dropped.swap(m_savingQueue);
    }
}

bool CSampleGrabberCB::PopQueuedFrame(QueuedFrame &frame)
{
    std::lock_guard<std::mutex> guard(m_queueLock);
    if (m_savingQueue.empty())
        return false;
    frame = std::move(m_savingQueue.front());
    m_savingQueue.pop_front();
    return true;
}

void CSampleGrabberCB::SavingThreadProc(CSampleGrabberOwner *owner)
{
    varnolet::ThreadName::set("varnolet-saving");
    CSampleGrabberCB &sink = PreviewSink();
    while (g_savingThreadRun.load()) {
        QueuedFrame frame;
        while (g_savingThreadRun.load() && sink.PopQueuedFrame(frame)) {
            const SettingValues settings = owner->Services().Settings().GetUsingSettings();
            const std::string path =
                NextTimedShotPath(TimedShotsFolder(settings), settings, owner->TimedSeriesRecord(),
                                  owner->Clock(), owner->Messages());
            const bool saved =
                !path.empty() &&
                SaveFrameAsJpeg(sink, frame.bytes.data(), static_cast<long>(frame.bytes.size()),
                                frame.width, frame.height, path, owner->Services(),
                                owner->Messages());
            if (saved) {
                Announce(owner, path);
            } else {
                // The series cannot go on: tell the owner and drop what is still queued.
                varnolet::WindowMessage::post(owner->MessageWindow(),
                                              CSampleGrabberOwner::TimedSeriesOverMessage);
                sink.ClearSavingQueue();
            }
            frame = QueuedFrame();
        }
        // Queue empty: sleep until a new frame or a stop comes (both notify under the lock).
        std::unique_lock<std::mutex> lock(sink.m_queueLock);
        sink.m_queueChanged.wait(
            lock, [&sink] { return !sink.m_savingQueue.empty() || !g_savingThreadRun.load(); });
    }
}

std::thread CSampleGrabberCB::StartSavingThread(CSampleGrabberOwner &owner)
{
    g_savingThreadRun.store(true);
    return std::thread(&CSampleGrabberCB::SavingThreadProc, &owner);
}

void CSampleGrabberCB::StopSavingThread()
{
    CSampleGrabberCB &sink = PreviewSink();
    {
        // Under the queue lock, so a waiting thread cannot miss the change.
        std::lock_guard<std::mutex> guard(sink.m_queueLock);
        g_savingThreadRun.store(false);
    }
    sink.m_queueChanged.notify_all();
}

bool CSampleGrabberCB::SavingThreadRunning()
{
    return g_savingThreadRun.load();
}
