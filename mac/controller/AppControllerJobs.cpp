// The application controller's jobs: the frame routine, photos, timed shots and recording.
#include "AppController.h"

#include <chrono>
#include <sys/stat.h>

#include "mac/controller/MovieCapturer.h"
#include "mac/controller/PhotoWriter.h"
#include "mac/controller/ResourceTree.h"
#include "mac/core/SystemLog.h"
#include "platform/system/Clock.h"
#include "platform/system/ThreadName.h"

// ---- the frame routine ----

void AppController::captureOutput(const PixelBufferRef &frame)
{
    publishPreview(frame);
    if (!frame)
        return;
    // The flags are moved on under the lock; each photo is then named (under the lock, one
    // after the other, so two photos of one frame get two names) and encoded and written
    // after it is released, so the main thread and the recording never wait on a disk.
    std::vector<bool> singleShots; // the photos this frame gives, in order
    bool photoServed = false;
    bool runOver = false;
    bool timedShotFailed = false;
    {
        std::lock_guard lock(m_lock);
        if (m_takePhoto) {
            singleShots.push_back(true);
            photoServed = true;
        }
        if (m_isHandwareTrigger.exchange(false))
            singleShots.push_back(true);
        if (m_takePhotoEachTime) {
            bool shotDue = false;
            runOver = timedShotStep(shotDue);
            if (shotDue)
                singleShots.push_back(false);
        }
        if (m_videoRecording) {
            if (mFilterBeginFrameCount > 3) {
                mCurrentFrame = frame;
                mCurrentFrameTime = m_services.clock->wallNow();
                mFrameIsUseable = true;
                m_recordingWake.notify_all();
            } else {
                ++mFilterBeginFrameCount;
            }
        }
    }
    for (const bool singleShot : singleShots) {
        if (!grabingPhoto(*frame, singleShot) && !singleShot)
            timedShotFailed = true;
    }
    // A timed shot that cannot be saved ends the run with this frame.
    if (timedShotFailed)
        runOver = true;
    // The end handlers run on the main thread while this thread waits outside the lock, so
    // the next frame already sees the request cleared.
    if (photoServed)
        m_mainThreadCall->callAndWait([this] { reportedEndTakingAThoto(); });
    if (runOver)
        m_mainThreadCall->callAndWait([this] { reportedEndTakingTimeShot(); });
}

// ---- photos ----

bool AppController::savingLocationExists()
{
    const std::string location = usingSettingParam().resourcesSavingLocation();
    struct stat info
    {
    };
    if (::stat(location.c_str(), &info) == 0)
        return true;
    mySystemWarning(formatText(myNSLocationString("ui_alert_not_exist_resource_location",
                                                  "Don't location %@ existed in setting"),
                               location));
    return false;
}

bool AppController::readyToStartJob()
{
    if (!IsCaptureDevice()) {
        mySystemWarning(messageForNotCaptureDevice());
        return false;
    }
    return savingLocationExists();
}

void AppController::takePhotos()
{
    if (!readyToStartJob())
        return;
    doTakingOrRecordJob(std::nullopt, false);
    SystemLog::writeLine("take photos");
    std::lock_guard lock(m_lock);
    m_takePhoto = true;
}

void AppController::setMIsHandwareTrigger(bool pressed)
{
    m_isHandwareTrigger = pressed;
}

bool AppController::grabingPhoto(const varnolet::BgrImage &frame, bool singleShot)
{
    const std::optional<std::string> path = photoPath(singleShot);
    return path && writePhoto(frame, *path);
}

std::optional<std::string> AppController::photoPath(bool singleShot)
{
    std::lock_guard lock(m_lock);
    if (singleShot)
        return mSavingLocationManage.getSavingPhotoPath(usingSettingParam());
    std::optional<std::string> path =
        mSavingLocationManage.getSavingPhotosPath(usingSettingParam());
    if (!path)
        mySystemWarning("Failure to create save timed shot path");
    return path;
}

bool AppController::writePhoto(const varnolet::BgrImage &frame, const std::string &path)
{
    if (m_services.photoWriter->writeJpeg(frame, path) != 0) {
        mySystemWarning(formatText("Failure to save image data to file %@", path));
        return false;
    }
    if (m_services.resourceTree)
        m_services.resourceTree->addResource(path);
    return true;
}

void AppController::reportedEndTakingAThoto()
{
    if (!m_takePhoto)
        return; // already ended (the jobs were stopped meanwhile)
    {
        std::lock_guard lock(m_lock);
        m_takePhoto = false;
    }
    doTakingOrRecordJob(std::nullopt, true);
}

// ---- timed shots ----

double AppController::nowMilliseconds() const
{
    const auto sinceEpoch = m_services.clock->wallNow().time_since_epoch();
    return std::chrono::duration<double, std::milli>(sinceEpoch).count();
}

int32_t AppController::mCurrentTimedShotCount() const
{
    std::lock_guard lock(m_lock);
    return m_currentTimedShotCount;
}

void AppController::setTimedShotSettingCheck(std::function<bool()> check)
{
    m_timedShotSettingCheck = std::move(check);
}

bool AppController::defaultTimedShotSettingCheck() const
{
    const SettingParams &settings = m_settings.usingSettingParam();
    for (const ItemTimedShotSetting *item :
         {&settings.currentShotsTimedShotSetting(), &settings.currentTimesTimedShotSetting()}) {
        if (item->nCurrentValueForTimedShot < item->nMinValueForTimedShot ||
            item->nCurrentValueForTimedShot > item->nMaxValueForTimedShot)
            return false;
    }
    return true;
}

void AppController::takePhotosByTimes()
{
    // Ending a run needs neither the camera nor the saving location.
    if (m_takePhotoEachTime) {
        SystemLog::writeLine("take photos by times");
        reportedEndTakingTimeShot();
        return;
    }
    if (!readyToStartJob())
        return;
    SystemLog::writeLine("take photos by times");
    bool valid = false;
    {
        std::lock_guard lock(m_lock);
        valid =
            m_timedShotSettingCheck ? m_timedShotSettingCheck() : defaultTimedShotSettingCheck();
    }
    if (!valid) {
        // Shown with the lock released: the alert runs an event loop in which the camera may
        // go, and the capture thread must not wait for the alert meanwhile.
        SystemLog::writeLine("time set error");
        mySystemWarning(myNSLocationString("ui_alert_timed_shot_setting",
                                           "Error of time setting to take timed shot"));
        return;
    }
    {
        std::lock_guard lock(m_lock);
        if (!mSavingLocationManage.createNextSavingPhotosPath(usingSettingParam()))
            return;
        doTakingOrRecordJob(Control::TimedShot, false);
        m_currentTimedShotCount = 0;
        const int64_t perDay = std::max<int64_t>(1, usingSettingParam().shotsOfTakingPerDay());
        m_milliSecondsToTakingPhoto = static_cast<int32_t>(std::max<int64_t>(1, 86400000 / perDay));
        m_minutesOfTaking = usingSettingParam().minutesOfTaking();
        m_preTakingPhotosTime = 0.0;
        m_pressTakingPhotosButtonTime = nowMilliseconds();
        m_takePhotoEachTime = true;
    }
    emit toolTipsChanged();
}

bool AppController::timedShotStep(bool &shotDue)
{
    const double now = nowMilliseconds();
    const int64_t interval = m_milliSecondsToTakingPhoto;
    const int64_t scheduled = interval * static_cast<int64_t>(m_currentTimedShotCount);
    shotDue = now - m_preTakingPhotosTime > static_cast<double>(interval) ||
              now - m_pressTakingPhotosButtonTime > static_cast<double>(scheduled);
    if (shotDue) {
        ++m_currentTimedShotCount;
        m_preTakingPhotosTime = now;
    }
    return now - m_pressTakingPhotosButtonTime > static_cast<double>(m_minutesOfTaking * 60000);
}

void AppController::reportedEndTakingTimeShot()
{
    if (!m_takePhotoEachTime)
        return; // a late notice after the run was already ended
    m_takePhotoEachTime = false;
    emit toolTipsChanged();
    doTakingOrRecordJob(Control::TimedShot, true);
}
