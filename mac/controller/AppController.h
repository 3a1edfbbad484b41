#pragma once

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include <QObject>
#include <QRectF>
#include <QSizeF>

#include "mac/core/AppControllerSettings.h"
#include "mac/controller/CaptureDevice.h"
#include "mac/core/CaptureResolution.h"
#include "platform/system/Clock.h"
#include "platform/system/MainThreadCall.h"
#include "mac/controller/PixelBuffer.h"
#include "platform/camera/CameraSource.h"
#include "mac/core/SavingLocationManage.h"
#include "mac/core/CameraControl.h"

namespace varnolet {
class CameraEnumerator;
class Clock;
class MessagePresenter;
class PhotoAnnotationSlot;
class VirtualCameraHub;
} // namespace varnolet

class CaptureSession;
class DeviceNotifier;
class MovieCapturer;
class PhotoWriter;
class ResourceTree;
class UserDefaults;

// The Mac program's one controller: settings records and saving locations, the camera
// (listing, choosing, opening, closing, sizes, cameras coming and going), the frame routine
// and the four jobs (photo, snapshot-button photo, timed-shot run, recording). It holds no
// widget: the windows show its state through the signals and accessors below and forward
// the user's actions to it. Everything runs on the main thread except captureOutput (the
// capture thread), the recording thread and setMIsHandwareTrigger (the snapshot reader).
class AppController final : public QObject, public HardwareTriggerListener
{
    Q_OBJECT

public:
    static constexpr uint32_t kNoCameraLocation = 0xFFFFFFFF;
    static constexpr uint32_t kUnknownLocation = 0x03200000;

    // The main window's controls whose state the controller sets.
    // Exit only ever has a hover hint; it is never disabled.
    enum class Control { ResolutionList, TakePhoto, TimedShot, Recording, About, Settings, Exit };

    // Why the running jobs are stopped: the exit finishes a recording silently; a camera
    // that left or was switched finishes it, announces it and gives the buttons back.
    enum class StopReason { Exit, CameraChange };

    // Everything the controller uses from outside; empty members get the real thing, except
    // the user's settings store, the message presenter, the folders, the clock and the
    // virtual cameras, which must be given (std::invalid_argument).
    struct Services
    {
        // The program's virtual cameras: listed by the default enumerator, heard of by the
        // device notifications; required.
        std::shared_ptr<varnolet::VirtualCameraHub> virtualCameras;
        std::shared_ptr<varnolet::CameraEnumerator> cameraEnumerator;
        std::shared_ptr<varnolet::Clock> clock;
        std::shared_ptr<varnolet::MessagePresenter> messagePresenter;
        UserDefaults *settingsStore = nullptr;
        // The program's folders (the bundle's files, the user's folders); required.
        std::shared_ptr<const varnolet::SystemPaths> paths;
        std::string configPlistPath;
        std::function<std::unique_ptr<MovieCapturer>()> makeMovieCapturer;
        std::shared_ptr<PhotoWriter> photoWriter;
        std::shared_ptr<CameraControl> cameraControl;
        ResourceTree *resourceTree = nullptr;
        bool watchDeviceNotifications = true;
    };

    explicit AppController(Services services, QObject *parent = nullptr);
    ~AppController() override;

    // Start-up once the windows exist, then once the event loop runs.
    void awakeFromNib();
    void applicationDidFinishLaunching();

    // Settings and texts.
    AppControllerSettings &settings() { return m_settings; }
    const AppControllerSettings &settings() const { return m_settings; }
    SettingParams &usingSettingParam() { return m_settings.usingSettingParam(); }
    SavingLocationManage &savingLocationManage() { return mSavingLocationManage; }
    // The user store Apply writes to, the resource tree and the camera control (none
    // after the exit released it), for the settings and adjust panels.
    UserDefaults &userStore() const;
    ResourceTree *resourceTree() const { return m_services.resourceTree; }
    // The program's alerts, for the windows that show their own (the measuring tools).
    const std::shared_ptr<varnolet::MessagePresenter> &messagePresenter() const
    {
        return m_services.messagePresenter;
    }
    // The tree of the window built after the controller; set before awakeFromNib, while
    // no capture or recording thread runs.
    void setResourceTree(ResourceTree *tree) { m_services.resourceTree = tree; }
    CameraControl *cameraControl() const { return m_cameraControl.get(); }
    // Where the live picture's measuring state publishes the scale of the photos.
    varnolet::PhotoAnnotationSlot &photoAnnotations() const;
    // The controller's lock. The settings in force are read under it on the capture thread
    // (photo names, snapshot-button photos in any state), so whoever changes them while a
    // camera runs (the settings panel's Apply) holds it meanwhile.
    std::recursive_mutex &controllerLock() const { return m_lock; }
    std::string myNSLocationString(const std::string &key, const std::string &fallback) const
    {
        return m_settings.myNSLocationString(key, fallback);
    }
    std::string toolTip(Control control) const;
    std::string exitToolTip() const;
    std::string fullScreenToolTip() const;
    std::string promptLabel() const;

    // Devices (under the controller's lock).
    int countDevices() const;
    std::optional<CaptureDevice> getDeviceByIndex(int index) const;
    std::string getDeviceNameByIndex(int index) const;
    uint32_t locationID() const;
    void setLocationID(uint32_t location);

    // The camera.
    void captureMyView(int index);
    bool captureOneVideo(int index, const CaptureResolution &resolution);
    void releaseMyView();
    void setApplicationStateWhenFailureToCapture();
    bool IsCaptureDevice() const { return locationID() != kNoCameraLocation; }
    std::string messageForNotCaptureDevice() const;
    bool changeSampleResolution(const CaptureResolution &resolution);
    void deviceWasConnected() { changedDevices(); }
    void deviceWasDisconnected() { changedDevices(); }
    void changedDevices();
    void reportNoDevices();
    void reportSwithDevice();
    int mCurrentPreviewDeviceIndex() const { return m_currentPreviewDeviceIndex; }
    // The calibration key of the camera previewed last (empty before the first one).
    std::string currentCalibrationKey() const
    {
        return videoDevice ? videoDevice->calibrationKey() : std::string();
    }
    CaptureResolution mCurrentCaptureResolution() const;
    bool isPreviewRunning() const;
    const std::vector<CaptureResolution> &resolutionArray() const { return m_resolutionArray; }
    std::string deviceListText() const { return m_deviceListText; }
    std::string resolutionListText() const { return m_resolutionListText; }

    // The device, resolution and language lists act at once (-1: no selection).
    void deviceSelectionDidChange(int index);
    void resolutionSelectionDidChange(int index);
    void languageSelectionDidChange(int index);

    // Jobs and buttons.
    void doTakingOrRecordJob(std::optional<Control> button, bool enable);
    bool isEnabled(Control control) const;
    bool isDoRecordingOrTakingJob() const;
    void stopAllJobs(StopReason reason = StopReason::Exit);
    bool bTakePhoto() const { return m_takePhoto; }
    bool bTakePhotoEachTime() const { return m_takePhotoEachTime; }
    bool bVideoRecording() const { return m_videoRecording; }
    bool mIsRecordingThreadRuning() const { return m_recordingThreadRunning; }
    // Frames written into the movie being recorded; 0 when none is.
    int framesRecorded() const;

    // Photos and timed shots.
    void takePhotos();
    void takePhotosByTimes();
    void setMIsHandwareTrigger(bool pressed) override;
    bool grabingPhoto(const varnolet::BgrImage &frame, bool singleShot);
    void reportedEndTakingAThoto();
    void reportedEndTakingTimeShot();
    int32_t milliSecondsToTakingPhoto() const { return m_milliSecondsToTakingPhoto; }
    int32_t mCurrentTimedShotCount() const;
    // Checks the timed-shot values before a run; by default the values in force against
    // their ranges. The settings panel installs the check of its fields as they stand.
    void setTimedShotSettingCheck(std::function<bool()> check);

    // Recording.
    void takeVideoRecording();
    bool startMovieRecording(const std::string &path);
    // The same, with the reason it failed (a negative AVERROR; 0 when the camera could not
    // be switched to the movie size).
    bool startMovieRecording(const std::string &path, int &error);
    bool addFrameToRecordMovie(const PixelBufferRef &frame);
    bool addFrameToRecordMovie(const PixelBufferRef &frame, varnolet::Clock::WallTime captureTime);
    void doStoppingRecordingByMainThread(bool exiting);
    void stopMovieRecordingEntry(bool exiting);
    std::optional<std::string> endMovieRecorder();
    // Finishes the movies a killed recording left behind and says so in the prompt line.
    void recoverUnfinishedMovies();
    void recoveryPreviewMode();
    static CaptureResolution movieFrameSize(int32_t movieSizeEnum);

    // The frame routine (capture thread; tests may call it from any thread).
    void captureOutput(const PixelBufferRef &frame);
    // The newest frame for the preview view.
    PixelBufferRef latestPreviewFrame() const;

    // Preview layout: where the preview goes inside a pane of the given size.
    QRectF previewRectInPane(QSizeF pane) const;
    // The size the preview view has on screen (main thread); a compressed camera decodes
    // the live picture no larger than needed for it while nothing else wants the frames.
    void setPreviewShownSize(int width, int height);
    // What the camera's frames are needed for now (capture thread).
    varnolet::CameraSource::PreviewDemand previewDemand() const;

    // Full screen.
    void startFullScreen();
    void stopFullScreen();
    bool mIsFullScreen() const { return m_isFullScreen; }

    // Prompt line: the once-a-second status and the hint for the control under the
    // pointer (none: answer false and leave the prompt).
    void doTimerByMainViewer();
    bool doMouseMovedOverControl(std::optional<Control> control);
    std::string promptText() const { return m_promptText; }

    // Exit.
    bool questExitSystem();
    void doExitSystem();
    void exitSystem();
    bool windowShouldClose();
    bool applicationShouldTerminate();
    bool isExitSystem() const { return m_isExitSystem; }

    // A modal alert with one button; from another thread it is queued to the main thread.
    void mySystemWarning(const std::string &text);

    // "%@" replaced by the text, then each "%d" by the next number.
    static std::string formatText(const std::string &format, const std::string &text,
                                  std::initializer_list<int64_t> numbers = {});

signals:
    void controlsChanged();
    void toolTipsChanged();
    void promptChanged();
    void deviceListChanged();
    // A new frame waits in latestPreviewFrame().
    void previewFrameReady();
    // The frame size in force changed: lay the preview out again.
    void previewGeometryChanged();
    void fullScreenChanged(bool fullScreen);
    void adjustPanelShouldHide();
    // doExitSystem ran: the application should now quit.
    void terminateRequested();

private:
    void reconnectCameraControl(uint32_t location);
    // Moves a running series on by one frame: whether a shot is due now, and whether the
    // run is over.
    bool timedShotStep(bool &shotDue);
    std::optional<std::string> photoPath(bool singleShot);
    bool writePhoto(const varnolet::BgrImage &frame, const std::string &path);
    std::optional<std::string> endMovieRecorder(bool tellUser);
    void stopRecordingThread();
    void showRecordingWarning();
    bool defaultTimedShotSettingCheck() const;
    double nowMilliseconds() const;
    void recordMovieThread(uint64_t generation, uint64_t sizeLimit);
    void reportedStoppingRecordingByRecordingThread(uint64_t generation);
    void joinRecordingThread();
    void publishPreview(const PixelBufferRef &frame);
    void setPrompt(const std::string &text);
    void setPromptWithCaptureResource(const std::string &format);
    bool savingLocationExists();
    // A camera and a saving location, or the warning that says which is missing.
    bool readyToStartJob();
    std::optional<uint32_t> listedLocation(const CaptureDevice &device) const;

    Services m_services;
    AppControllerSettings m_settings;
    SavingLocationManage mSavingLocationManage;
    std::shared_ptr<CameraControl> m_cameraControl;
    std::function<bool()> m_timedShotSettingCheck;

    // The controller's lock: the frame routine, the device accessors, locationID, the
    // photo request and a run's start, the recording hand-off and the end of a recording.
    mutable std::recursive_mutex m_lock;

    // Capture. deviceArray and m_locationID under m_lock; the rest main thread only.
    std::unique_ptr<CaptureSession> captureSession;
    DeviceNotifier *m_deviceNotifier = nullptr;
    std::vector<CaptureDevice> deviceArray;
    std::optional<CaptureDevice> videoDevice;
    bool m_videoInput = false;
    std::vector<CaptureResolution> m_resolutionArray;
    std::optional<CaptureResolution> m_resolutionSelection;
    std::string m_deviceListText;
    std::string m_resolutionListText;
    int m_currentPreviewDeviceIndex = -1;
    CaptureResolution m_currentCaptureResolution{640, 480}; // under m_lock
    uint32_t m_locationID = kNoCameraLocation;
    varnolet::MainThreadCall *m_mainThreadCall = nullptr; // a child: lives on the main thread

    // Job flags: written on the main thread (and the snapshot reader, the recording thread
    // for its own stop), read everywhere without the lock.
    std::atomic<bool> m_takePhoto{false};
    std::atomic<bool> m_isHandwareTrigger{false};
    std::atomic<bool> m_takePhotoEachTime{false};
    std::atomic<bool> m_videoRecording{false};
    std::atomic<bool> m_recordingThreadRunning{false};
    std::atomic<int> m_previewShownWidth{0};
    std::atomic<int> m_previewShownHeight{0};

    // Timed-shot run, under m_lock.
    int32_t m_milliSecondsToTakingPhoto = 0;
    double m_preTakingPhotosTime = 0.0;
    double m_pressTakingPhotosButtonTime = 0.0;
    int32_t m_currentTimedShotCount = 0;
    int64_t m_minutesOfTaking = 1;

    // Recording. movieRecorder is made and dropped on the main thread while no recording
    // thread runs, and used by the recording thread in between; the frame hand-off fields
    // under m_lock.
    std::unique_ptr<MovieCapturer> movieRecorder;
    PixelBufferRef mCurrentFrame;
    varnolet::Clock::WallTime mCurrentFrameTime; // when mCurrentFrame was captured
    bool mFrameIsUseable = false;
    // Wakes the recording thread for a new frame or the end of the recording (with m_lock).
    std::condition_variable_any m_recordingWake;
    int32_t mFilterBeginFrameCount = 0;
    std::thread m_recordingThread;
    uint64_t m_recordingGeneration = 0; // main thread only
    std::string m_recordingWarning;     // what went wrong with the last movie; main thread

    // Window state.
    std::map<Control, bool> m_enabled;
    bool m_isFullScreen = false;
    std::string m_promptText;
    // A notice (a movie finished after a crash) the idle prompt line shows for a while.
    static constexpr int kPromptNoticeTicks = 10;
    std::string m_promptNotice;
    int m_promptNoticeTicks = 0;
    bool m_isExitSystem = false;

    mutable std::mutex m_previewLock; // guards m_previewFrame
    PixelBufferRef m_previewFrame;
    std::atomic<bool> m_previewPending{false};
};
