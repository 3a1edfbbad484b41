// The application controller's jobs: the frame routine, photos, timed shots and recording.
#include "AppController.h"

#include <chrono>
#include <sys/stat.h>

#include "mac/app/MovieCapturer.h"
#include "mac/app/PhotoWriter.h"
#include "mac/app/ResourceTree.h"
#include "mac/app/SystemLog.h"
#include "platform/system/Clock.h"
#include "platform/system/ThreadName.h"

// ---- the frame routine ----

void AppController::captureOutput(const PixelBufferRef &frame)
{
    publishPreview(frame);
    if (!frame)
        return;
    bool photoServed = false;
    bool runOver = false;
    {
        std::lock_guard lock(m_lock);
        if (m_takePhoto) {
            grabingPhoto(*frame, true);
            photoServed = true;
        }
        if (m_isHandwareTrigger.exchange(false))
            grabingPhoto(*frame, true);
        if (m_takePhotoEachTime)
            runOver = timedShotStep(*frame);
        if (m_videoRecording) {
            if (mFilterBeginFrameCount > 3) {
                mCurrentFrame = frame;
                mFrameIsUseable = true;
            } else {
                ++mFilterBeginFrameCount;
            }
        }
    }
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

void AppController::takePhotos()
{
    if (!IsCaptureDevice()) {
        mySystemWarning(messageForNotCaptureDevice());
        return;
    }
    if (!savingLocationExists())
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
    std::lock_guard lock(m_lock);
    std::optional<std::string> path;
    if (singleShot) {
        path = mSavingLocationManage.getSavingPhotoPath(usingSettingParam());
        if (!path)
            return false;
    } else {
        path = mSavingLocationManage.getSavingPhotosPath(usingSettingParam());
        if (!path) {
            mySystemWarning("Failure to create save timed shot path");
            return false;
        }
    }
    if (m_services.photoWriter->writeJpeg(frame, *path) != 0) {
        mySystemWarning(formatText("Failure to save image data to file %@", *path));
        return false;
    }
    if (m_services.resourceTree)
        m_services.resourceTree->addResource(*path);
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
    if (!IsCaptureDevice()) {
        mySystemWarning(messageForNotCaptureDevice());
        return;
    }
    if (!savingLocationExists())
        return;
    SystemLog::writeLine("take photos by times");
    if (m_takePhotoEachTime) {
        reportedEndTakingTimeShot();
        return;
    }
    {
        std::lock_guard lock(m_lock);
        const bool valid =
            m_timedShotSettingCheck ? m_timedShotSettingCheck() : defaultTimedShotSettingCheck();
        if (!valid) {
            SystemLog::writeLine("time set error");
            mySystemWarning(myNSLocationString("ui_alert_timed_shot_setting",
                                               "Error of time setting to take timed shot"));
            return;
        }
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

bool AppController::timedShotStep(const varnolet::BgrImage &frame)
{
    double now = nowMilliseconds();
    const int64_t interval = m_milliSecondsToTakingPhoto;
    const int64_t scheduled = interval * static_cast<int64_t>(m_currentTimedShotCount);
    const bool due = now - m_preTakingPhotosTime > static_cast<double>(interval) ||
                     now - m_pressTakingPhotosButtonTime > static_cast<double>(scheduled);
    if (due) {
        ++m_currentTimedShotCount;
        m_preTakingPhotosTime = now;
        if (!grabingPhoto(frame, false))
            now = m_pressTakingPhotosButtonTime + static_cast<double>(m_minutesOfTaking * 60060);
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

// ---- recording ----

CaptureResolution AppController::movieFrameSize(int32_t movieSizeEnum)
{
    return movieSizeEnum == 0 ? CaptureResolution(320, 240) : CaptureResolution(640, 480);
}

void AppController::takeVideoRecording()
{
    if (!IsCaptureDevice()) {
        mySystemWarning(messageForNotCaptureDevice());
        return;
    }
    if (!savingLocationExists())
        return;
    if (m_videoRecording) {
        doStoppingRecordingByMainThread(false);
        SystemLog::writeLine(" video recording");
        return;
    }
    const std::optional<std::string> path =
        mSavingLocationManage.getSavingMoviePath(usingSettingParam());
    if (!path || !startMovieRecording(*path))
        return;
    doTakingOrRecordJob(Control::Recording, false);
    const uint64_t limit =
        static_cast<uint64_t>(std::max(0, usingSettingParam().movieSavingSizeLimit())) * 1048576u;
    joinRecordingThread();
    m_videoRecording = true;
    m_recordingThreadRunning = true;
    const uint64_t generation = ++m_recordingGeneration;
    m_recordingThread =
        std::thread([this, generation, limit] { recordMovieThread(generation, limit); });
    emit toolTipsChanged();
    SystemLog::writeLine(" video recording");
}

bool AppController::startMovieRecording(const std::string &path)
{
    if (movieRecorder)
        return false;
    std::unique_ptr<MovieCapturer> recorder = m_services.makeMovieCapturer();
    if (!recorder || !recorder->startRecording())
        return false;
    recorder->setFilePath(path);
    const CaptureResolution size = movieFrameSize(usingSettingParam().movieSizeEnum());
    {
        std::lock_guard lock(m_lock);
        mFilterBeginFrameCount = size.isEqual(m_currentCaptureResolution) ? 4 : 0;
        mCurrentFrame.reset();
        mFrameIsUseable = false;
        movieRecorder = std::move(recorder);
    }
    if (!changeSampleResolution(size)) {
        std::lock_guard lock(m_lock);
        movieRecorder.reset();
        return false;
    }
    return true;
}

void AppController::recordMovieThread(uint64_t generation, uint64_t sizeLimit)
{
    varnolet::ThreadName::set("MovieRecording");
    bool stoppedByThread = false;
    while (m_videoRecording) {
        PixelBufferRef frame;
        {
            std::lock_guard lock(m_lock);
            if (mFrameIsUseable) {
                frame = mCurrentFrame;
                mFrameIsUseable = false;
            }
        }
        if (frame) {
            if (movieRecorder->savingFileSize() < sizeLimit) {
                if (!addFrameToRecordMovie(frame)) {
                    m_videoRecording = false;
                    stoppedByThread = true;
                }
            } else {
                m_videoRecording = false;
                stoppedByThread = true;
            }
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    // Queued, never waited for: the main thread may itself be waiting for this thread.
    if (stoppedByThread)
        m_mainThreadCall->post(
            [this, generation] { reportedStoppingRecordingByRecordingThread(generation); });
    m_recordingThreadRunning = false;
}

bool AppController::addFrameToRecordMovie(const PixelBufferRef &frame)
{
    if (!frame)
        return false;
    const int before = movieRecorder->framesCaptured();
    movieRecorder->addImageToMovie(frame.get());
    return movieRecorder->framesCaptured() > before;
}

void AppController::joinRecordingThread()
{
    while (m_recordingThreadRunning)
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    if (m_recordingThread.joinable())
        m_recordingThread.join();
}

void AppController::doStoppingRecordingByMainThread(bool exiting)
{
    m_videoRecording = false;
    joinRecordingThread();
    ++m_recordingGeneration; // a stop notice still on its way does nothing now
    stopMovieRecordingEntry(exiting);
}

void AppController::reportedStoppingRecordingByRecordingThread(uint64_t generation)
{
    if (generation != m_recordingGeneration || !movieRecorder)
        return;
    joinRecordingThread();
    ++m_recordingGeneration;
    stopMovieRecordingEntry(false);
}

void AppController::stopMovieRecordingEntry(bool exiting)
{
    if (exiting) {
        endMovieRecorder();
        return;
    }
    const std::optional<std::string> path = endMovieRecorder();
    if (path && m_services.resourceTree)
        m_services.resourceTree->addResource(*path);
    recoveryPreviewMode();
    doTakingOrRecordJob(std::nullopt, true);
    emit toolTipsChanged();
}

std::optional<std::string> AppController::endMovieRecorder()
{
    std::lock_guard lock(m_lock);
    if (!movieRecorder)
        return std::nullopt;
    bool finished = false;
    if (movieRecorder->savingFileSize() != 0)
        finished = movieRecorder->endRecording();
    const std::string path = movieRecorder->moviePath();
    movieRecorder.reset();
    mCurrentFrame.reset();
    mFrameIsUseable = false;
    if (!finished)
        return std::nullopt;
    return path;
}

void AppController::recoveryPreviewMode()
{
    changeSampleResolution(
        m_resolutionSelection.value_or(CaptureResolution::getDefaultResolution()));
}
