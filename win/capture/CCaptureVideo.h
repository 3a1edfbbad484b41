#pragma once

#include "IFrameSink.h"
#include "IVideoWindow.h"

#include "platform/camera/CameraEnumerator.h"
#include "platform/camera/CameraSource.h"
#include "platform/system/MessageBox.h"

#include <atomic>
#include <cstdint>
#include <functional>
#include <map>
#include <set>
#include <memory>
#include <string>
#include <thread>
#include <vector>

// Device list of the main window: device path -> friendly name, in ascending ordinal order
// of the path. A device index is a position in this order.
using CaptureDeviceList = std::map<std::string, std::string>;

// The size record of OpenDevice: in, the requested size (0 x 0: the camera's own); out,
// the size the camera delivers.
struct CaptureSize
{
    int width = 0;
    int height = 0;
};

// Everything between the camera and the two frame sinks: lists the cameras, opens one at a
// requested size, hands every frame as bottom-up BGR24 to the preview sink and the live
// picture, connects the snapshot button to the still sink, publishes the camera's sizes
// and opens the camera's control dialog. All calls on the UI thread.
class AppServices;

class CCaptureVideo
{
public:
    // services: the texts of the messages (outlives the object). messages: where a camera
    // that fails is told. enumerator: where cameras come from; throws
    // std::invalid_argument when null.
    CCaptureVideo(const AppServices &services, varnolet::MessageBox messages,
                  std::shared_ptr<varnolet::CameraEnumerator> enumerator);
    ~CCaptureVideo();
    CCaptureVideo(const CCaptureVideo &) = delete;
    CCaptureVideo &operator=(const CCaptureVideo &) = delete;

    // The preview and still frame sinks; set before the first OpenDevice.
    void SetFrameSinks(IFrameSink *previewSink, IFrameSink *stillSink);

    // Refills the device list; the number of devices listed, or -1 when there is no camera.
    int EnumerateDevices();
    const CaptureDeviceList &DeviceList() const { return m_devices; }
    // The device path at an index (empty outside the list) and the index of a path (-1).
    std::string DevicePathAt(int index) const;
    int IndexOfDevicePath(const std::string &devicePath) const;

    // 0 when the preview runs; a negative error code after a failure message; 1 when the
    // index is negative or the device cannot be found (nothing opened).
    int OpenDevice(int index, IVideoWindow *ownerWindow, CaptureSize &size);
    // Stops the stream, detaches the picture and releases the device; safe when closed.
    void CloseDevice();
    // Places the picture over the owner's whole client area; nothing when no device is open.
    void FitVideoWindow();
    // The camera's control dialog (through the hook), or the no-camera message.
    void ShowDeviceProperties();

    // Sizes the open camera offers: keys width << 16 | height, ascending, no duplicates.
    const std::vector<uint32_t> &ResolutionList() const { return m_resolutionList; }
    static uint32_t ResolutionKey(int width, int height)
    {
        return (static_cast<uint32_t>(width) << 16) | (static_cast<uint32_t>(height) & 0xFFFF);
    }

    // Called on the UI thread whenever the resolution list was replaced (the main window
    // hands it to an open settings dialog).
    void SetResolutionListHook(std::function<void(const std::vector<uint32_t> &)> hook);
    // Opens the control dialog of a camera; filled in by the main window.
    void SetDevicePropertiesHook(std::function<void(varnolet::CameraSource &)> hook);
    // Called on the camera's thread when the stream ends by itself (camera unplugged);
    // it must only hand over (post a message). The argument is a negative errno.
    void SetStreamEndedHook(std::function<void(int)> hook);

    // The timed-shot saving thread, created by the main window with this object: the
    // destructor calls requestStop and joins the thread.
    void AdoptSavingThread(std::thread thread, std::function<void()> requestStop);

    bool IsDeviceOpen() const { return m_device != nullptr; }
    // Whether the open camera's stream ended by itself (its stream-ended hook ran).
    bool StreamEnded() const { return m_device && m_streamEnded.load(); }
    // Frames per second the open camera says it delivers (0: no camera, or it does not say).
    double FrameRate() const;
    bool HasStillOutput() const { return m_stillConnected; }
    // Names of the graph's parts, in the order they were added ("Capture Filter", ...).
    const std::vector<std::string> &FilterNames() const { return m_filterNames; }
    // The open camera, or null.
    varnolet::CameraSource *Device() const { return m_device.get(); }

private:
    enum class PinCategory { Preview, Capture, Still };

    void ApplyPinFormat(PinCategory category, CaptureSize &size);
    int RenderStream(PinCategory category);
    void SetupVideoWindow();
    void AttachStillPin(CaptureSize &size);
    void OnFrame(const varnolet::CameraFrame &frame);
    void OnButton(bool pressed);
    void ReportSnapshotButtonProblem(const std::string &devicePath, const std::string &problem);
    void ShowErrorMessage(int error) const;

    const AppServices &m_services;
    const varnolet::MessageBox m_messages;
    std::shared_ptr<varnolet::CameraEnumerator> m_enumerator;
    CaptureDeviceList m_devices;
    std::vector<uint32_t> m_resolutionList;

    // The graph. Written on the UI thread only while no stream runs; the stream reads the
    // sinks and the owner window, which stay fixed while it runs.
    IVideoWindow *m_ownerWindow = nullptr;
    bool m_graphBuilt = false;
    std::unique_ptr<varnolet::CameraSource> m_device;
    bool m_grabberConnected = false;
    bool m_stillConnected = false;
    bool m_running = false;
    std::vector<std::string> m_filterNames;
    std::atomic<IFrameSink *> m_previewSink{nullptr};
    std::atomic<IFrameSink *> m_stillSink{nullptr};
    std::atomic<bool> m_stillPending{false}; // set by a button release, taken by the next frame
    std::atomic<bool> m_streamEnded{false};  // set on the camera's thread, reset at close

    std::function<void(const std::vector<uint32_t> &)> m_resolutionListHook;
    std::function<void(varnolet::CameraSource &)> m_propertiesHook;
    std::function<void(int)> m_streamEndedHook;

    std::set<std::string> m_buttonProblemsShown; // cameras whose button problem was told

    std::thread m_savingThread;
    std::function<void()> m_stopSavingThread;
};
