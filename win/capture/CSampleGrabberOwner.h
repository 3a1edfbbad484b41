#pragma once

#include "platform/measure/PhotoAnnotationSlot.h"
#include "platform/system/Clock.h"
#include "platform/system/MessageBox.h"
#include "win/common/TimedSeries.h"

#include <atomic>
#include <cstdint>
#include <memory>

class AppServices;
class IResourceAnnouncer;
class QObject;
struct SettingValues;

// The main window's side of the frame sinks: the requests the sinks read on every frame,
// the window that receives their posted messages, and the resource window that hears of
// every saved file. The main window writes the requests on the UI thread; the sinks read
// them on the capture and saving threads without a lock. Most are atomics with relaxed
// order, needing only freedom from torn reads. Starting a series or a recording publishes
// what the window set up before it (the series record, the movie writer), so those two
// flags are stored with release and read with acquire. The owner's clock dates the sinks'
// photos and times the series; its message box tells the sinks' failures; its services
// give the settings and texts the sinks save by.
class CSampleGrabberOwner
{
public:
    // Throws std::invalid_argument without a clock. services must outlive the owner.
    CSampleGrabberOwner(std::shared_ptr<const varnolet::Clock> clock, varnolet::MessageBox messages,
                        const AppServices &services);
    CSampleGrabberOwner(const CSampleGrabberOwner &) = delete;
    CSampleGrabberOwner &operator=(const CSampleGrabberOwner &) = delete;

    // Window messages the sinks post to the message window, both parameters 0.
    static constexpr int PhotoTakenMessage = 1025;
    static constexpr int TimedSeriesOverMessage = 1026;
    static constexpr int StopRecordingMessage = 1027;

    const varnolet::Clock &Clock() const { return *m_clock; }
    const std::shared_ptr<const varnolet::Clock> &SharedClock() const { return m_clock; }
    const varnolet::MessageBox &Messages() const { return m_messages; }
    const AppServices &Services() const { return m_services; }
    // What the measuring state of the live picture publishes for the sinks' photos.
    varnolet::PhotoAnnotationSlot &Annotations() { return m_annotations; }
    const varnolet::PhotoAnnotationSlot &Annotations() const { return m_annotations; }

    // The running series: set up by the window before SetTimedSeriesActive(true), then
    // advanced by the saving thread only.
    TimedSeries &TimedSeriesRecord() { return m_timedSeries; }

    // The next frame becomes a photo; the preview sink clears the request and posts
    // PhotoTakenMessage.
    void RequestPhoto() { m_photoRequested.store(1, std::memory_order_relaxed); }
    void SetPhotoRequested(bool requested)
    {
        m_photoRequested.store(requested ? 1 : 0, std::memory_order_relaxed);
    }
    int32_t PhotoRequested() const { return m_photoRequested.load(std::memory_order_relaxed); }

    void SetTimedSeriesActive(bool active)
    {
        m_timedSeriesActive.store(active ? 1 : 0, std::memory_order_release);
    }
    int32_t TimedSeriesActive() const
    {
        return m_timedSeriesActive.load(std::memory_order_acquire);
    }

    void SetRecordingActive(bool active)
    {
        m_recordingActive.store(active ? 1 : 0, std::memory_order_release);
    }
    int32_t RecordingActive() const { return m_recordingActive.load(std::memory_order_acquire); }

    // Milliseconds between timed shots, and the series duration in hours.
    void SetShotInterval(int32_t milliseconds)
    {
        m_shotInterval.store(milliseconds, std::memory_order_relaxed);
    }
    int32_t ShotInterval() const { return m_shotInterval.load(std::memory_order_relaxed); }
    void SetSeriesDuration(float hours)
    {
        m_seriesDuration.store(hours, std::memory_order_relaxed);
    }
    float SeriesDuration() const { return m_seriesDuration.load(std::memory_order_relaxed); }
    // Both from the timed-shot settings, as a series start computes them.
    void SetTimedShotTiming(const SettingValues &values);

    // Interval: 86,400,000 / shots per day (integer division); duration: minutes / 60.
    static int32_t ShotIntervalOf(const SettingValues &values);
    static float SeriesDurationOf(const SettingValues &values);

    // Receiver of PhotoTakenMessage, TimedSeriesOverMessage and StopRecordingMessage.
    void SetMessageWindow(QObject *window)
    {
        m_messageWindow.store(window, std::memory_order_release);
    }
    QObject *MessageWindow() const { return m_messageWindow.load(std::memory_order_acquire); }
    // Where saved files are announced; may be absent.
    void SetResourceWindow(IResourceAnnouncer *window)
    {
        m_resourceWindow.store(window, std::memory_order_release);
    }
    IResourceAnnouncer *ResourceWindow() const
    {
        return m_resourceWindow.load(std::memory_order_acquire);
    }

private:
    TimedSeries m_timedSeries;
    const std::shared_ptr<const varnolet::Clock> m_clock;
    const varnolet::MessageBox m_messages;
    const AppServices &m_services;
    varnolet::PhotoAnnotationSlot m_annotations;
    std::atomic<int32_t> m_photoRequested{0};
    std::atomic<int32_t> m_timedSeriesActive{0};
    std::atomic<int32_t> m_recordingActive{0};
    std::atomic<int32_t> m_shotInterval{0};
    std::atomic<float> m_seriesDuration{0.0f};
    std::atomic<QObject *> m_messageWindow{nullptr};
    std::atomic<IResourceAnnouncer *> m_resourceWindow{nullptr};
};
