#pragma once

#include "tests/support/FakeClock.h"
#include "tests/support/RecordingMessagePresenter.h"
#include "tests/support/TestSupport.h"
#include "win/capture/AviMovieWriter.h"
#include "win/capture/CSampleGrabberCB.h"
#include "win/capture/CSampleGrabberOwner.h"
#include "win/common/AppServices.h"
#include "win/common/IResourceAnnouncer.h"
#include "win/common/ResourceNaming.h"

#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QEvent>
#include <QObject>

namespace varnolet::test {

// The main window's stand-in: counts the posted messages 1025..1027 and the announced files.
class SinkOwnerWindow final : public QObject, public IResourceAnnouncer
{
public:
    bool event(QEvent *event) override
    {
        const int type = static_cast<int>(event->type());
        if (type >= CSampleGrabberOwner::PhotoTakenMessage &&
            type <= CSampleGrabberOwner::StopRecordingMessage) {
            ++m_messages[type];
            return true;
        }
        return QObject::event(event);
    }
    void AddResourceFile(const std::string &path) override
    {
        std::lock_guard<std::mutex> guard(m_lock);
        m_files.push_back(path);
    }
    // Delivers what was posted so far and answers the count of one message.
    int count(int message)
    {
        QCoreApplication::sendPostedEvents(this);
        return m_messages[message];
    }
    std::vector<std::string> files() const
    {
        std::lock_guard<std::mutex> guard(m_lock);
        return m_files;
    }

private:
    std::map<int, int> m_messages; // UI thread only
    mutable std::mutex m_lock;     // guards m_files
    std::vector<std::string> m_files;
};

// Settings with the saving location in a temporary folder, a fake clock, a recorded message
// box, and the preview and still sinks owned by a SinkOwnerWindow.
class SinkTest : public ::testing::Test
{
protected:
    SinkTest() = default;
    // The sinks' owner on another clock than the fake one.
    explicit SinkTest(std::shared_ptr<const Clock> ownerClock)
        : owner(std::move(ownerClock), messages.box(), services)
    {
    }

    void SetUp() override
    {
        SettingValues values = services.Settings().GetUsingSettings();
        SetSavingLocation(values, folder.path());
        services.Settings().ApplySettings(values);
        services.Settings().SetUsingCaptureSize(640, 480);
        EnsureResourceFolders(values, messages.box());
        services.GetLanguageString("ui_alert_savefile", "",
                                   messages.box()); // the missing language file's box, once
        messages->clear();

        owner.SetMessageWindow(&window);
        owner.SetResourceWindow(&window);
        preview().SetOwner(&owner);
        still().SetOwner(&owner);
        preview().SetFrameSize(640, 480);
        preview().SetLargestSize(1600, 1200);
        still().SetFrameSize(0, 0);
        preview().ClearSavingQueue();
    }
    void TearDown() override
    {
        owner.SetPhotoRequested(false);
        owner.SetTimedSeriesActive(false);
        owner.SetRecordingActive(false);
        CloseMovieWriter();
        preview().ClearSavingQueue();
        preview().SetOwner(nullptr);
        still().SetOwner(nullptr);
        preview().SetLargestSize(1600, 1200);
    }

    static CSampleGrabberCB &preview() { return CSampleGrabberCB::PreviewSink(); }
    static CSampleGrabberCB &still() { return CSampleGrabberCB::StillSink(); }

    long feed(CSampleGrabberCB &sink, std::vector<uint8_t> &frame)
    {
        return sink.BufferCB(0.0, frame.data(), static_cast<long>(frame.size()));
    }

    void configureTimedShots(int shotsUnit, int shotsValue, int timesUnit, int timesValue)
    {
        SettingValues values = services.Settings().GetUsingSettings();
        values.timedShot.shotsUnit = shotsUnit;
        values.timedShot.shots[shotsUnit].current = shotsValue;
        values.timedShot.timesUnit = timesUnit;
        values.timedShot.times[timesUnit].current = timesValue;
        services.Settings().ApplySettings(values);
        owner.SetTimedShotTiming(values);
    }

    std::shared_ptr<FakeClock> clock = std::make_shared<FakeClock>(2024, 3, 5, 9, 0, 0);
    MessageRecorder messages;
    TempFolder folder;
    AppServices services{SystemPaths({.configHome = folder.file("config")})};
    SinkOwnerWindow window;
    // The sinks' clock, message box and settings.
    CSampleGrabberOwner owner{clock, messages.box(), services};
};

} // namespace varnolet::test
