// The application controller's recording: starting, the recording thread, stopping, and what
// the user is told when a movie could not be written whole.
#include "AppController.h"

#include <algorithm>
#include <cerrno>

#include <sys/stat.h>
#include <unistd.h>

#include "mac/controller/MovieCapturer.h"
#include "mac/controller/ResourceTree.h"
#include "mac/core/SystemLog.h"
#include "platform/media/FfmpegHandles.h"
#include "platform/system/SystemError.h"
#include "platform/system/ThreadName.h"

namespace {

// Names taken meanwhile by another recording (another instance of the program) are skipped.
constexpr int kReservationAttempts = 8;

// Why nothing can be written into folder, in the system's words; empty when it can.
std::string folderProblem(const std::string &folder)
{
    struct stat info
    {
    };
    if (::stat(folder.c_str(), &info) != 0)
        return varnolet::SystemError::text(errno);
    if (!S_ISDIR(info.st_mode))
        return varnolet::SystemError::text(ENOTDIR);
    if (::access(folder.c_str(), W_OK | X_OK) != 0)
        return varnolet::SystemError::text(errno);
    return {};
}

} // namespace

CaptureResolution AppController::movieFrameSize(int32_t movieSizeEnum)
{
    return movieSizeEnum == 0 ? CaptureResolution(320, 240) : CaptureResolution(640, 480);
}

void AppController::takeVideoRecording()
{
    // Stopping needs neither the camera nor the saving location: whatever went away, Stop
    // ends the recording and keeps what it holds.
    if (m_videoRecording || m_recordingThreadRunning) {
        doStoppingRecordingByMainThread(false);
        SystemLog::writeLine(" video recording");
        return;
    }
    if (!readyToStartJob())
        return;
    std::string problem;
    bool started = false;
    for (int attempt = 0; attempt < kReservationAttempts && !started; ++attempt) {
        const std::optional<std::string> path =
            mSavingLocationManage.getSavingMoviePath(usingSettingParam());
        if (!path) {
            problem = folderProblem(usingSettingParam().getResourcesLocationOfRecordingMovie());
            if (problem.empty())
                problem = varnolet::SystemError::text(EIO);
            break;
        }
        int error = 0;
        started = startMovieRecording(*path, error);
        if (!started && error != AVERROR(EEXIST)) {
            problem = error < 0 ? varnolet::ffmpegErrorText(error) : messageForNotCaptureDevice();
            break;
        }
    }
    if (!started) {
        if (problem.empty())
            problem = varnolet::SystemError::text(EEXIST);
        SystemLog::write("recording not started: %s", problem.c_str());
        mySystemWarning(formatText(
            myNSLocationString("ui_alert_recording_not_started", "The recording cannot start: %@"),
            problem));
        return;
    }
    doTakingOrRecordJob(Control::Recording, false);
    // The limit is used within the range the settings allow, whatever a damaged store holds.
    const int megabytes = std::clamp(usingSettingParam().movieSavingSizeLimit(), 16, 4096);
    const uint64_t limit = static_cast<uint64_t>(megabytes) * 1048576u;
    stopRecordingThread();
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
    int error = 0;
    return startMovieRecording(path, error);
}

bool AppController::startMovieRecording(const std::string &path, int &error)
{
    error = 0;
    if (movieRecorder)
        return false;
    std::unique_ptr<MovieCapturer> recorder = m_services.makeMovieCapturer();
    if (!recorder)
        return false;
    recorder->setFilePath(path);
    if (!recorder->startRecording()) {
        error = recorder->lastError();
        return false;
    }
    const CaptureResolution size = movieFrameSize(usingSettingParam().movieSizeEnum());
    {
        std::lock_guard lock(m_lock);
        mFilterBeginFrameCount = size.isEqual(m_currentCaptureResolution) ? 4 : 0;
        mCurrentFrame.reset();
        mFrameIsUseable = false;
        movieRecorder = std::move(recorder);
    }
    if (!changeSampleResolution(size)) {
        std::unique_ptr<MovieCapturer> dropped;
        {
            std::lock_guard lock(m_lock);
            dropped = std::move(movieRecorder);
        }
        dropped->endRecording(); // no frame: the reserved name is given back
        return false;
    }
    return true;
}

void AppController::recordMovieThread(uint64_t generation, uint64_t sizeLimit)
{
    varnolet::ThreadName::set("MovieRecording");
    bool stoppedByThread = false;
    while (true) {
        PixelBufferRef frame;
        varnolet::Clock::WallTime captureTime;
        {
            std::unique_lock lock(m_lock);
            m_recordingWake.wait(lock, [this] { return !m_videoRecording || mFrameIsUseable; });
            if (!m_videoRecording)
                break;
            frame = mCurrentFrame;
            captureTime = mCurrentFrameTime;
            mFrameIsUseable = false;
        }
        if (movieRecorder->savingFileSize() >= sizeLimit ||
            !addFrameToRecordMovie(frame, captureTime)) {
            // The size limit, or a frame that cannot be written (a full disk, a removed
            // folder): the recording ends here and keeps what it holds.
            m_videoRecording = false;
            stoppedByThread = true;
            break;
        }
    }
    // Queued, never waited for: the main thread may itself be waiting for this thread.
    if (stoppedByThread)
        m_mainThreadCall->post(
            [this, generation] { reportedStoppingRecordingByRecordingThread(generation); });
    m_recordingThreadRunning = false;
}

int AppController::framesRecorded() const
{
    std::lock_guard lock(m_lock);
    return movieRecorder ? movieRecorder->framesCaptured() : 0;
}

bool AppController::addFrameToRecordMovie(const PixelBufferRef &frame)
{
    return addFrameToRecordMovie(frame, m_services.clock->wallNow());
}

bool AppController::addFrameToRecordMovie(const PixelBufferRef &frame,
                                          varnolet::Clock::WallTime captureTime)
{
    if (!frame)
        return false;
    const int before = movieRecorder->framesCaptured();
    movieRecorder->addImageToMovie(frame.get(), captureTime);
    return movieRecorder->framesCaptured() > before;
}

void AppController::stopRecordingThread()
{
    {
        std::lock_guard lock(m_lock);
        m_videoRecording = false;
    }
    m_recordingWake.notify_all();
    joinRecordingThread();
}

void AppController::joinRecordingThread()
{
    if (m_recordingThread.joinable())
        m_recordingThread.join();
}

void AppController::doStoppingRecordingByMainThread(bool exiting)
{
    stopRecordingThread();
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
        endMovieRecorder(false);
        return;
    }
    const std::optional<std::string> path = endMovieRecorder(true);
    if (path && m_services.resourceTree)
        m_services.resourceTree->addResource(*path);
    recoveryPreviewMode();
    doTakingOrRecordJob(std::nullopt, true);
    emit toolTipsChanged();
    showRecordingWarning();
}

void AppController::showRecordingWarning()
{
    if (m_recordingWarning.empty())
        return;
    const std::string text = std::move(m_recordingWarning);
    m_recordingWarning.clear();
    mySystemWarning(text);
}

std::optional<std::string> AppController::endMovieRecorder()
{
    return endMovieRecorder(true);
}

std::optional<std::string> AppController::endMovieRecorder(bool tellUser)
{
    // The recorder is taken out under the lock and finished after it: the frame routine
    // never waits for the disk.
    std::unique_ptr<MovieCapturer> recorder;
    {
        std::lock_guard lock(m_lock);
        recorder = std::move(movieRecorder);
        mCurrentFrame.reset();
        mFrameIsUseable = false;
    }
    if (!recorder)
        return std::nullopt;
    // A recording into which no frame was added leaves no file; ending it gives the
    // reserved name back.
    const bool hasFrames = recorder->savingFileSize() != 0;
    const bool finished = recorder->endRecording() && hasFrames;
    const std::string kept = recorder->keptPath();
    const int error = recorder->lastError();
    if (error != 0 && error != AVERROR(ENODATA)) {
        const std::string reason = recorder->lastErrorText();
        SystemLog::write("recording of %s stopped: %s; kept: %s", recorder->moviePath().c_str(),
                         reason.c_str(), kept.empty() ? "nothing" : kept.c_str());
        if (tellUser) {
            std::string text = formatText(
                myNSLocationString("ui_alert_recording_stopped", "The recording stopped: %@"),
                reason);
            text += "\n";
            text += kept.empty() ? myNSLocationString("ui_alert_movie_not_kept",
                                                      "Nothing of it could be kept.")
                                 : formatText(myNSLocationString("ui_alert_movie_kept_at",
                                                                 "What was recorded is kept in %@"),
                                              kept);
            // Shown once the buttons are back (showRecordingWarning), so the window behind
            // the alert already tells the truth.
            m_recordingWarning = text;
        }
    }
    if (finished)
        return recorder->moviePath();
    // Kept at its name despite a failure (a full disk, a removed folder): still announced.
    if (!kept.empty() && kept == recorder->moviePath())
        return kept;
    return std::nullopt;
}

void AppController::recoveryPreviewMode()
{
    changeSampleResolution(
        m_resolutionSelection.value_or(CaptureResolution::getDefaultResolution()));
}

void AppController::recoverUnfinishedMovies()
{
    const std::vector<std::string> recovered = MovieCapturer::recoverUnfinishedMovies(
        usingSettingParam().getResourcesLocationOfRecordingMovie());
    if (recovered.empty())
        return;
    std::string names;
    for (const std::string &path : recovered)
        names += (names.empty() ? "" : ", ") + path;
    m_promptNotice = formatText(
        myNSLocationString("ui_prompt_movie_recovered", "An unfinished movie was finished: %@"),
        names);
    m_promptNoticeTicks = kPromptNoticeTicks;
    setPrompt(m_promptNotice);
}
