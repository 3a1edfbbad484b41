#include "CCaptureVideo.h"

#include "win/common/AppServices.h"
#include "win/common/TextFormat.h"

#include "platform/system/SystemError.h"

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <stdexcept>

using varnolet::CameraFormat;
using varnolet::CameraFrame;
using varnolet::SystemError;

CCaptureVideo::CCaptureVideo(const AppServices &services, varnolet::MessageBox messages,
                             std::shared_ptr<varnolet::CameraEnumerator> enumerator)
    : m_services(services)
    , m_messages(std::move(messages))
    , m_enumerator(std::move(enumerator))
{
    if (!m_enumerator)
        throw std::invalid_argument("CCaptureVideo needs a camera enumerator");
}

CCaptureVideo::~CCaptureVideo()
{
    CloseDevice();
    if (m_stopSavingThread)
        m_stopSavingThread();
    if (m_savingThread.joinable())
        m_savingThread.join();
}

void CCaptureVideo::SetFrameSinks(IFrameSink *previewSink, IFrameSink *stillSink)
{
    m_previewSink = previewSink;
    m_stillSink = stillSink;
}

void CCaptureVideo::SetResolutionListHook(std::function<void(const std::vector<uint32_t> &)> hook)
{
    m_resolutionListHook = std::move(hook);
}

void CCaptureVideo::SetDevicePropertiesHook(std::function<void(varnolet::CameraSource &)> hook)
{
    m_propertiesHook = std::move(hook);
}

void CCaptureVideo::SetStreamEndedHook(std::function<void(int)> hook)
{
    m_streamEndedHook = std::move(hook);
}

void CCaptureVideo::AdoptSavingThread(std::thread thread, std::function<void()> requestStop)
{
    m_savingThread = std::move(thread);
    m_stopSavingThread = std::move(requestStop);
}

void CCaptureVideo::ShowErrorMessage(int error) const
{
    m_messages.warning(SystemError::text(error < 0 ? -error : error));
}

int CCaptureVideo::EnumerateDevices()
{
    m_devices.clear();
    const std::vector<varnolet::CameraIdentity> cameras = m_enumerator->list();
    if (cameras.empty())
        return -1;
    for (const varnolet::CameraIdentity &camera : cameras) {
        // Only cameras with both a name and a path; each path once.
        if (camera.devicePath.empty() || camera.friendlyName.empty())
            continue;
        m_devices.emplace(camera.devicePath, camera.friendlyName);
    }
    return static_cast<int>(m_devices.size());
}

std::string CCaptureVideo::DevicePathAt(int index) const
{
    if (index < 0 || index >= static_cast<int>(m_devices.size()))
        return {};
    return std::next(m_devices.begin(), index)->first;
}

int CCaptureVideo::IndexOfDevicePath(const std::string &devicePath) const
{
    const auto it = m_devices.find(devicePath);
    return it == m_devices.end() ? -1 : static_cast<int>(std::distance(m_devices.begin(), it));
}

int CCaptureVideo::OpenDevice(int index, IVideoWindow *ownerWindow, CaptureSize &size)
{
    CloseDevice();

    // The graph itself: nothing here can fail on this platform.
    m_graphBuilt = true;

    // Find the device of that index: its path, looked up again among the present cameras.
    const std::string path = DevicePathAt(index);
    if (index < 0 || path.empty())
        return 1;
    bool present = false;
    for (const varnolet::CameraIdentity &camera : m_enumerator->list())
        present = present || camera.devicePath == path;
    if (!present)
        return 1;

    // The device filter. A camera that is listed but cannot be opened (no permission,
    // gone in between) is told to the user rather than left silent.
    int error = 0;
    m_device = m_enumerator->open(path, error);
    if (!m_device) {
        if (error == -ENODEV || error == -ENOENT)
            return 1;
        error = error < 0 ? error : -EIO;
        ShowErrorMessage(error);
        return error;
    }
    m_filterNames.push_back("Capture Filter");

    // The frame grabber (the converter to bottom-up BGR24 sits in the camera source).
    m_filterNames.push_back("Grabber");

    ApplyPinFormat(PinCategory::Preview, size);

    error = RenderStream(PinCategory::Preview);
    if (error < 0)
        error = RenderStream(PinCategory::Capture);
    if (error < 0) {
        ShowErrorMessage(error);
        return error;
    }

    const CameraFormat connected = m_device->currentFormat();
    if (connected.width <= 0 || connected.height <= 0) {
        ShowErrorMessage(-EINVAL);
        return -EINVAL;
    }
    if (IFrameSink *sink = m_previewSink.load())
        sink->SetFrameSize(connected.width, connected.height);
    size.width = connected.width;
    size.height = connected.height;

    m_ownerWindow = ownerWindow;
    SetupVideoWindow();

    AttachStillPin(size);

    // While only the live picture needs the frames, a compressed camera may decode them at
    // the size shown; a photo, a timed shot, a movie or a snapshot-button still gets whole ones.
    m_device->setPreviewDemand([this] {
        varnolet::CameraSource::PreviewDemand demand;
        IFrameSink *sink = m_previewSink.load();
        demand.fullFrames = (sink && sink->WantsFullFrames()) || m_stillPending.load();
        if (m_ownerWindow)
            m_ownerWindow->GetShownSize(demand.shownWidth, demand.shownHeight);
        return demand;
    });

    auto ended = m_streamEndedHook;
    error = m_device->start([this](const CameraFrame &frame) { OnFrame(frame); },
                            [this, ended](int code) {
                                m_streamEnded = true;
                                if (ended)
                                    ended(code);
                            });
    if (error < 0) {
        m_messages.warning(
            m_services.GetLanguageString("ui_alert_not_preview_device",
                                         "Couldn't preview this device,because this device "
                                         "may been using by other applicaiton",
                                         m_messages));
        return error;
    }
    m_running = true;
    return 0;
}

int CCaptureVideo::RenderStream(PinCategory category)
{
    // Preview and capture output are the one V4L2 stream; the stream connects when its
    // current format has a size the converter accepts.
    if (!m_device || category == PinCategory::Still)
        return -EINVAL;
    const CameraFormat current = m_device->currentFormat();
    if (current.width <= 0 || current.height <= 0)
        return -EINVAL;
    m_grabberConnected = true;
    return 0;
}

void CCaptureVideo::ApplyPinFormat(PinCategory category, CaptureSize &size)
{
    if (!m_device)
        return;
    // Every capability of the output, in the camera's order.
    const std::vector<CameraFormat> capabilities = m_device->formats();

    int largestWidth = 0;
    int largestHeight = 0;
    bool considered = false;
    std::vector<uint32_t> keys;
    for (const CameraFormat &capability : capabilities) {
        if (capability.width <= 0 || capability.height <= 0 || capability.width > 0xFFFF ||
            capability.height > 0xFFFF)
            continue;
        considered = true;
        if (capability.width >= largestWidth && capability.height >= largestHeight) {
            largestWidth = capability.width;
            largestHeight = capability.height;
        }
        const uint32_t key = ResolutionKey(capability.width, capability.height);
        if (std::find(keys.begin(), keys.end(), key) == keys.end())
            keys.push_back(key);
    }

    std::sort(keys.begin(), keys.end());
    m_resolutionList = keys;
    if (m_resolutionListHook)
        m_resolutionListHook(m_resolutionList);

    if (!considered)
        return;
    if (size.width > largestWidth || size.height > largestHeight) {
        size.width = largestWidth;
        size.height = largestHeight;
    }
    if (category != PinCategory::Still) {
        if (IFrameSink *sink = m_previewSink.load())
            sink->SetLargestSize(largestWidth, largestHeight);
    }

    // The still output shares the preview's stream, so only the preview pass sets a size;
    // a request of 0 x 0 keeps the camera's own format. The result is not examined: the
    // connected format tells what the camera really delivers.
    if (category != PinCategory::Still && size.width > 0 && size.height > 0)
        m_device->setFormat(size.width, size.height);
}

void CCaptureVideo::SetupVideoWindow()
{
    if (!m_ownerWindow)
        return;
    FitVideoWindow();
    m_ownerWindow->SetVideoVisible(true);
}

void CCaptureVideo::AttachStillPin(CaptureSize &size)
{
    // The snapshot button stands for the still output; a camera without one has none.
    if (!m_device || !m_device->hasSnapshotButton())
        return;
    m_filterNames.push_back("SampleGrab");
    m_filterNames.push_back("NullRender");

    ApplyPinFormat(PinCategory::Still, size);

    m_stillPending = false;
    m_device->setButtonCallback([this](bool pressed) { OnButton(pressed); });
    const std::string problem = m_device->snapshotButtonProblem();
    if (!problem.empty()) {
        ReportSnapshotButtonProblem(m_device->identity().devicePath, problem);
        return; // no still output: the button cannot be heard
    }
    if (IFrameSink *sink = m_stillSink.load())
        sink->SetFrameSize(size.width, size.height);
    m_stillConnected = true;
}

void CCaptureVideo::ReportSnapshotButtonProblem(const std::string &devicePath,
                                                const std::string &problem)
{
    std::fprintf(stderr, "Varnolet: the snapshot button of %s cannot be read: %s\n",
                 devicePath.c_str(), problem.c_str());
    // Told once per camera and run: the camera is reopened at every size change.
    if (!m_buttonProblemsShown.insert(devicePath).second)
        return;
    m_messages.warning(
        FormatText(m_services.GetLanguageString(
                       "ui_alert_snapshot_button_no_access",
                       "The snapshot button of this camera cannot be used (%s). Install the "
                       "udev rule that comes with Varnolet (70-varnolet-camera-button.rules), "
                       "or ask your administrator to add you to the \"input\" group, then plug "
                       "the camera in again.",
                       m_messages),
                   {problem}));
}

void CCaptureVideo::OnButton(bool pressed)
{
    // A release takes the next frame as the still image.
    if (!pressed)
        m_stillPending = true;
}

void CCaptureVideo::OnFrame(const CameraFrame &frame)
{
    const long length = static_cast<long>(frame.length);
    // A reduced frame is only for the screen; a request that came meanwhile gets the next,
    // whole one.
    if (IFrameSink *sink = m_previewSink.load(); sink && !frame.reduced)
        sink->BufferCB(frame.sampleTime, frame.data, length);
    if (m_stillConnected && !frame.reduced && m_stillPending.exchange(false)) {
        if (IFrameSink *sink = m_stillSink.load())
            sink->BufferCB(frame.sampleTime, frame.data, length);
    }
    if (m_ownerWindow)
        m_ownerWindow->PresentFrame(frame.data, frame.width, frame.height, length);
}

void CCaptureVideo::CloseDevice()
{
    if (m_device) {
        m_device->stop(); // joins the streaming thread: no frame arrives after this
        m_device->setButtonCallback({});
    }
    m_running = false;
    m_streamEnded = false; // the stream's thread is joined: no end can be reported any more
    if (m_ownerWindow) {
        m_ownerWindow->SetVideoVisible(false);
        m_ownerWindow = nullptr;
    }
    m_stillConnected = false;
    m_stillPending = false;
    m_grabberConnected = false;
    m_device.reset();
    m_filterNames.clear();
    m_graphBuilt = false;
}

double CCaptureVideo::FrameRate() const
{
    return m_device ? m_device->currentFormat().framesPerSecond : 0.0;
}

void CCaptureVideo::FitVideoWindow()
{
    if (!m_ownerWindow || !m_device)
        return;
    int width = 0;
    int height = 0;
    m_ownerWindow->GetClientSize(width, height);
    m_ownerWindow->SetVideoPosition(0, 0, width, height);
}

void CCaptureVideo::ShowDeviceProperties()
{
    // A graph without a device (an open that failed) counts as no camera too.
    if (!m_graphBuilt || !m_device) {
        m_messages.warning(
            m_services.GetLanguageString("ui_alert_no_camera", "没有监听到摄像头硬件", m_messages));
        return;
    }
    if (m_propertiesHook)
        m_propertiesHook(*m_device);
}
