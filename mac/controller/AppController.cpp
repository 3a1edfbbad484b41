#include "AppController.h"

#include <algorithm>
#include <stdexcept>

#include <QThread>

#include "mac/controller/CaptureSession.h"
#include "mac/controller/DeviceNotifier.h"
#include "mac/controller/MovieCapturer.h"
#include "mac/controller/PhotoWriter.h"
#include "mac/controller/ResourceTree.h"
#include "mac/core/SystemLog.h"
#include "mac/core/UserDefaults.h"
#include "platform/camera/CameraEnumerator.h"
#include "platform/camera/VirtualCameraHub.h"
#include "platform/system/Clock.h"
#include "platform/system/MessageBox.h"

namespace {

// The services with every empty member made the real thing.
AppController::Services withDefaults(AppController::Services services)
{
    if (!services.settingsStore)
        throw std::invalid_argument("AppController needs the user's settings store");
    if (!services.messagePresenter)
        throw std::invalid_argument("AppController needs a message presenter");
    if (!services.paths)
        throw std::invalid_argument("AppController needs the program's folders");
    if (!services.virtualCameras)
        throw std::invalid_argument("AppController needs the virtual camera hub");
    if (!services.cameraEnumerator)
        services.cameraEnumerator =
            std::make_shared<varnolet::CameraEnumerator>(*services.virtualCameras);
    if (!services.clock)
        throw std::invalid_argument("AppController needs a clock");
    if (!services.photoWriter)
        services.photoWriter = std::make_shared<PhotoWriter>();
    if (!services.makeMovieCapturer) {
        std::shared_ptr<varnolet::Clock> clock = services.clock;
        services.makeMovieCapturer = [clock] { return std::make_unique<MovieCapturer>(*clock); };
    }
    return services;
}

} // namespace

AppController::AppController(Services services, QObject *parent)
    : QObject(parent)
    , m_services(withDefaults(std::move(services)))
    , m_settings(*m_services.paths)
    , mSavingLocationManage(m_services.clock)
    , m_mainThreadCall(new varnolet::MainThreadCall(this))
{
    m_cameraControl = m_services.cameraControl;

    if (m_services.configPlistPath.empty())
        m_services.configPlistPath = m_settings.bundleResourcesPath() + "/config.plist";
    m_settings.startUp(mSavingLocationManage, m_services.configPlistPath, userStore());
    m_settings.refillLanguageArray();
    setLocationID(kNoCameraLocation);
    for (Control control : {Control::ResolutionList, Control::TakePhoto, Control::TimedShot,
                            Control::Recording, Control::About, Control::Settings})
        m_enabled[control] = true;
}

UserDefaults &AppController::userStore() const
{
    return *m_services.settingsStore;
}

AppController::~AppController()
{
    if (m_videoRecording || m_recordingThreadRunning)
        doStoppingRecordingByMainThread(true);
    joinRecordingThread();
    m_mainThreadCall->abortWaits();
    captureSession.reset();
}

varnolet::PhotoAnnotationSlot &AppController::photoAnnotations() const
{
    return m_services.photoWriter->annotations();
}

void AppController::awakeFromNib()
{
    m_settings.refillLanguageArray();
    emit toolTipsChanged();
    {
        std::lock_guard lock(m_lock);
        deviceArray = CaptureDevice::inputDevicesWithMediaTypeVideo(*m_services.cameraEnumerator);
    }
    captureSession = std::make_unique<CaptureSession>(m_services.cameraEnumerator);
    if (m_services.watchDeviceNotifications) {
        m_deviceNotifier = new DeviceNotifier(*m_services.virtualCameras, this);
        connect(m_deviceNotifier, &DeviceNotifier::deviceWasConnected, this,
                &AppController::deviceWasConnected);
        connect(m_deviceNotifier, &DeviceNotifier::deviceWasDisconnected, this,
                &AppController::deviceWasDisconnected);
    }
    recoverUnfinishedMovies();
    if (m_services.resourceTree)
        m_services.resourceTree->showResourcesTree(
            usingSettingParam().getResourcesLocationWithVarnolet());
    emit deviceListChanged();
}

void AppController::applicationDidFinishLaunching()
{
    if (countDevices() == 0) {
        mySystemWarning(myNSLocationString("ui_alert_no_camera", "Error,No Camera is Detected"));
        setApplicationStateWhenFailureToCapture();
        return;
    }
    captureMyView(countDevices() - 1);
}

// ---- devices ----

int AppController::countDevices() const
{
    std::lock_guard lock(m_lock);
    return static_cast<int>(deviceArray.size());
}

std::optional<CaptureDevice> AppController::getDeviceByIndex(int index) const
{
    std::lock_guard lock(m_lock);
    if (index < 0 || index >= static_cast<int>(deviceArray.size()))
        return std::nullopt;
    return deviceArray[static_cast<size_t>(index)];
}

std::string AppController::getDeviceNameByIndex(int index) const
{
    const std::optional<CaptureDevice> device = getDeviceByIndex(index);
    return device ? device->localizedDisplayName() : std::string();
}

uint32_t AppController::locationID() const
{
    std::lock_guard lock(m_lock);
    return m_locationID;
}

void AppController::setLocationID(uint32_t location)
{
    std::lock_guard lock(m_lock);
    m_locationID = location;
}

CaptureResolution AppController::mCurrentCaptureResolution() const
{
    std::lock_guard lock(m_lock);
    return m_currentCaptureResolution;
}

bool AppController::isPreviewRunning() const
{
    return captureSession && captureSession->isRunning();
}

// ---- the camera ----

void AppController::captureMyView(int index)
{
    const CaptureResolution resolution = CaptureResolution::getDefaultResolution();
    if (captureOneVideo(index, resolution)) {
        m_resolutionSelection = resolution;
        m_resolutionListText = resolution.getPixelFormatString();
        emit deviceListChanged();
    } else {
        setApplicationStateWhenFailureToCapture();
    }
}

bool AppController::captureOneVideo(int index, const CaptureResolution &resolution)
{
    const std::optional<CaptureDevice> device = getDeviceByIndex(index);
    if (!device)
        return false;
    videoDevice = device;
    m_deviceListText = device->localizedDisplayName();
    emit deviceListChanged();
    if (!captureSession)
        return false;

    int error = captureSession->openDevice(*device);
    if (error < 0) {
        SystemLog::write("open video failure %s", CaptureSession::errorDescription(error).c_str());
        return false;
    }
    m_videoInput = true;
    captureSession->setPixelBufferSize(resolution.nResolutionWidth, resolution.nResolutionHeight);
    captureSession->setDelegate([this](const PixelBufferRef &frame) { captureOutput(frame); });
    captureSession->setPreviewDemand(
        [this] { return previewDemand(); },
        [this](const PixelBufferRef &frame) { publishPreview(frame); });
    error = captureSession->startRunning();
    if (error < 0) {
        // The camera refuses to stream (another program holds it): as a failed open.
        SystemLog::write("open video failure %s", CaptureSession::errorDescription(error).c_str());
        captureSession->closeDevice();
        m_videoInput = false;
        return false;
    }
    m_currentPreviewDeviceIndex = index;
    {
        std::lock_guard lock(m_lock);
        m_currentCaptureResolution = resolution;
    }
    emit previewGeometryChanged();

    const uint32_t location =
        CaptureDevice::locationOfUniqueID(device->uniqueID()).value_or(kUnknownLocation);
    if (location != locationID())
        reconnectCameraControl(location);
    setLocationID(location);
    emit controlsChanged();
    return true;
}

void AppController::reconnectCameraControl(uint32_t location)
{
    m_resolutionArray.clear();
    if (m_cameraControl) {
        m_cameraControl->releaseControl();
        m_cameraControl->clearDefaultValue();
        m_cameraControl->initWithLocationID(location);
        m_cameraControl->getDefaultValue();
        m_resolutionArray = m_cameraControl->getPixelsArray();
        m_cameraControl->setAppController(this);
        m_cameraControl->initReadingInterruptThread();
    }
    // A camera whose descriptors give no sizes (not USB, or no control reached) still
    // offers the sizes its driver lists.
    if (m_resolutionArray.empty() && captureSession)
        m_resolutionArray = captureSession->deviceResolutions();
    emit deviceListChanged();
}

void AppController::releaseMyView()
{
    if (!captureSession)
        return;
    // The frame routine may be waiting for this thread; it must not while it is joined.
    m_mainThreadCall->abortWaits();
    captureSession->closeDevice();
    m_mainThreadCall->allowWaits();
    m_videoInput = false;
    {
        std::lock_guard lock(m_previewLock);
        m_previewFrame.reset();
    }
}

void AppController::setApplicationStateWhenFailureToCapture()
{
    setLocationID(kNoCameraLocation);
    emit adjustPanelShouldHide();
    emit controlsChanged();
}

std::string AppController::messageForNotCaptureDevice() const
{
    if (countDevices() > 0)
        return myNSLocationString("ui_alert_not_preview_device",
                                  "摄像头被其他应用程序占用,不能预览");
    return myNSLocationString("ui_alert_no_camera", "Error,No Camera is Detected");
}

bool AppController::changeSampleResolution(const CaptureResolution &resolution)
{
    if (resolution.isEqual(mCurrentCaptureResolution()) && isPreviewRunning())
        return true;
    releaseMyView();
    if (!captureOneVideo(m_currentPreviewDeviceIndex, resolution)) {
        setApplicationStateWhenFailureToCapture();
        return false;
    }
    return true;
}

std::optional<uint32_t> AppController::listedLocation(const CaptureDevice &device) const
{
    return CaptureDevice::locationOfUniqueID(device.uniqueID());
}

void AppController::changedDevices()
{
    std::vector<CaptureDevice> devices =
        CaptureDevice::inputDevicesWithMediaTypeVideo(*m_services.cameraEnumerator);
    bool stillThere = false;
    {
        std::lock_guard lock(m_lock);
        deviceArray = std::move(devices);
        for (const CaptureDevice &device : deviceArray) {
            if (listedLocation(device).value_or(0) == m_locationID)
                stillThere = true;
            // A camera without a USB location is recognised by its identifier.
            if (m_locationID != kNoCameraLocation && videoDevice &&
                device.uniqueID() == videoDevice->uniqueID())
                stillThere = true;
        }
    }
    emit deviceListChanged();
    if (countDevices() == 0) {
        reportNoDevices();
        return;
    }
    if (!stillThere)
        reportSwithDevice();
}

void AppController::reportNoDevices()
{
    mySystemWarning(myNSLocationString("ui_alert_no_camera", "Error,No Camera is Detected"));
    m_deviceListText.clear();
    m_resolutionListText.clear();
    m_resolutionArray.clear();
    m_resolutionSelection.reset();
    emit deviceListChanged();
    setApplicationStateWhenFailureToCapture();
    stopAllJobs(StopReason::CameraChange);
    releaseMyView();
}

void AppController::reportSwithDevice()
{
    stopAllJobs(StopReason::CameraChange);
    releaseMyView();
    captureMyView(countDevices() - 1);
}

void AppController::deviceSelectionDidChange(int index)
{
    if (index == -1 || index == m_currentPreviewDeviceIndex)
        return;
    releaseMyView();
    captureMyView(index);
}

void AppController::resolutionSelectionDidChange(int index)
{
    if (index < 0 || index >= static_cast<int>(m_resolutionArray.size()))
        return;
    const CaptureResolution resolution = m_resolutionArray[static_cast<size_t>(index)];
    m_resolutionSelection = resolution;
    m_resolutionListText = resolution.getPixelFormatString();
    changeSampleResolution(resolution);
    emit deviceListChanged();
}

void AppController::languageSelectionDidChange(int index)
{
    usingSettingParam().setLanuageSelector(index);
}

// ---- buttons ----

void AppController::doTakingOrRecordJob(std::optional<Control> button, bool enable)
{
    for (auto &[control, enabled] : m_enabled)
        enabled = enable;
    if (button)
        m_enabled[*button] = true;
    emit controlsChanged();
}

bool AppController::isEnabled(Control control) const
{
    const auto it = m_enabled.find(control);
    return it == m_enabled.end() || it->second;
}

bool AppController::isDoRecordingOrTakingJob() const
{
    return m_takePhoto || m_takePhotoEachTime || m_videoRecording;
}

void AppController::stopAllJobs(StopReason reason)
{
    if (m_takePhoto)
        reportedEndTakingAThoto();
    if (m_takePhotoEachTime)
        reportedEndTakingTimeShot();
    if (m_videoRecording || m_recordingThreadRunning || movieRecorder) {
        if (reason == StopReason::Exit) {
            doStoppingRecordingByMainThread(true);
        } else {
            // Finished, announced and the buttons given back; the preview size is not
            // restored, as the camera is about to be closed anyway.
            stopRecordingThread();
            const std::optional<std::string> path = endMovieRecorder(true);
            if (path && m_services.resourceTree)
                m_services.resourceTree->addResource(*path);
            doTakingOrRecordJob(std::nullopt, true);
            emit toolTipsChanged();
            showRecordingWarning();
        }
    }
}

// ---- preview ----

QRectF AppController::previewRectInPane(QSizeF pane) const
{
    const CaptureResolution resolution = mCurrentCaptureResolution();
    return SettingParams::getDrawingRect(
        QSizeF(resolution.nResolutionWidth, resolution.nResolutionHeight), pane);
}

void AppController::publishPreview(const PixelBufferRef &frame)
{
    if (!frame)
        return;
    {
        std::lock_guard lock(m_previewLock);
        m_previewFrame = frame;
    }
    if (!m_previewPending.exchange(true))
        m_mainThreadCall->post([this] {
            m_previewPending = false;
            emit previewFrameReady();
        });
}

void AppController::setPreviewShownSize(int width, int height)
{
    m_previewShownWidth = width;
    m_previewShownHeight = height;
}

varnolet::CameraSource::PreviewDemand AppController::previewDemand() const
{
    varnolet::CameraSource::PreviewDemand demand;
    demand.fullFrames =
        m_takePhoto || m_isHandwareTrigger || m_takePhotoEachTime || m_videoRecording;
    demand.shownWidth = m_previewShownWidth;
    demand.shownHeight = m_previewShownHeight;
    return demand;
}

PixelBufferRef AppController::latestPreviewFrame() const
{
    std::lock_guard lock(m_previewLock);
    return m_previewFrame;
}

void AppController::startFullScreen()
{
    if (m_isFullScreen)
        return;
    m_isFullScreen = true;
    emit fullScreenChanged(true);
}

void AppController::stopFullScreen()
{
    if (!m_isFullScreen)
        return;
    m_isFullScreen = false;
    emit fullScreenChanged(false);
}

// ---- exit ----

bool AppController::questExitSystem()
{
    std::string question =
        myNSLocationString("ui_alert_exit_system", "Are you sure exiting system?");
    if (m_videoRecording)
        question = myNSLocationString("ui_alert_exit_system_doing_recording",
                                      "正在录像中，确定退出系统吗？");
    else if (m_takePhotoEachTime)
        question = myNSLocationString("ui_alert_exit_system_doing_timedshot",
                                      "正在定时拍摄中，确定退出系统吗?");
    const varnolet::MessageRequest request{question, "Varnolet", varnolet::MessageIcon::Question,
                                           varnolet::MessageButtons::OkCancel};
    return m_services.messagePresenter->present(request) == varnolet::MessageResult::Ok;
}

void AppController::doExitSystem()
{
    if (m_isExitSystem)
        return;
    SystemLog::writeLine("exit system");
    stopAllJobs(StopReason::Exit);
    releaseMyView();
    if (m_cameraControl) {
        m_cameraControl->releaseControl();
        m_cameraControl.reset();
    }
    m_isExitSystem = true;
    emit terminateRequested();
}

void AppController::exitSystem()
{
    if (questExitSystem())
        doExitSystem();
}

bool AppController::windowShouldClose()
{
    if (m_isExitSystem)
        return true;
    if (!questExitSystem())
        return false;
    doExitSystem();
    return true;
}

bool AppController::applicationShouldTerminate()
{
    // Every way out runs the same shutdown: a recording is finished, the control released.
    return windowShouldClose();
}

void AppController::mySystemWarning(const std::string &text)
{
    if (QThread::currentThread() != thread()) {
        m_mainThreadCall->post([this, text] { mySystemWarning(text); });
        return;
    }
    const varnolet::MessageRequest request{text, "Varnolet", varnolet::MessageIcon::Warning,
                                           varnolet::MessageButtons::Ok};
    m_services.messagePresenter->present(request);
}
