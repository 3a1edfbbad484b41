#pragma once

#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "mac/controller/CaptureDevice.h"
#include "mac/core/CaptureResolution.h"
#include "mac/controller/PixelBuffer.h"
#include "mac/controller/PixelBufferPool.h"
#include "platform/camera/CameraSource.h"
#include "platform/media/FrameScaler.h"

namespace varnolet {
class CameraEnumerator;
} // namespace varnolet

// The capture pipeline: one opened device whose frames are scaled to the pixel-buffer size
// asked for and handed, one call per frame, to the delegate on the camera's capture thread.
// All calls except the delegate come from one controlling thread (the main thread).
class CaptureSession
{
public:
    using FrameDelegate = std::function<void(const PixelBufferRef &frame)>;
    // Bytes every pixel buffer has allocated beyond its last row.
    static constexpr size_t kScalerPadding = 256;

    // enumerator: where the devices are opened; throws std::invalid_argument when null.
    explicit CaptureSession(std::shared_ptr<varnolet::CameraEnumerator> enumerator);
    ~CaptureSession();
    CaptureSession(const CaptureSession &) = delete;
    CaptureSession &operator=(const CaptureSession &) = delete;

    // Opens the device; 0 or a negative errno (see errorDescription).
    int openDevice(const CaptureDevice &device);
    // Stops the pipeline when it runs and closes the device.
    void closeDevice();
    bool isDeviceOpen() const { return m_source != nullptr; }

    // Every delivered frame is scaled to this size; 640 x 480 until set.
    void setPixelBufferSize(int width, int height);
    CaptureResolution pixelBufferSize() const;
    void setDelegate(FrameDelegate delegate);
    // Before startRunning(): what the frames are needed for, asked on the capture thread
    // (see CameraSource::setPreviewDemand). A frame the camera then decodes reduced, for the
    // live picture only, goes at its own size to previewDelegate, never to the delegate; so
    // does a whole frame the session halves because the live picture alone needs it.
    using PreviewDemand = varnolet::CameraSource::PreviewDemand;
    void setPreviewDemand(std::function<PreviewDemand()> demand, FrameDelegate previewDelegate);

    // Starts the frames; 0 or a negative errno (-EBUSY while another program holds the
    // camera). The device is asked for the pixel-buffer size; what it gives is scaled.
    int startRunning();
    // Stops and joins the capture thread: no delegate call runs after it returns.
    void stopRunning();
    bool isRunning() const;

    // The frame sizes the open device offers, each once, in the device's order.
    std::vector<CaptureResolution> deviceResolutions() const;

    // Turns one camera frame into a pixel buffer of the asked size (capture thread).
    PixelBufferRef makePixelBuffer(const varnolet::CameraFrame &frame);

    // "device busy" for -EBUSY, "device not found" for -ENODEV, else the system's text.
    static std::string errorDescription(int error);

private:
    void deliver(const varnolet::CameraFrame &frame);
    // How often a whole frame that only the live picture needs can be halved and still
    // cover the shown size; 0 when the frames are needed whole (capture thread).
    int previewHalvings(const varnolet::CameraFrame &frame) const;
    // The frame halved that often, in pooled buffers (capture thread).
    PixelBufferRef halvedFrame(const varnolet::CameraFrame &frame, int halvings);
    // A pooled buffer holding the frame as it is (capture thread).
    std::shared_ptr<varnolet::BgrImage> copyOfFrame(const varnolet::CameraFrame &frame,
                                                    size_t reserve);

    std::shared_ptr<varnolet::CameraEnumerator> m_enumerator;
    std::unique_ptr<varnolet::CameraSource> m_source;

    mutable std::mutex m_lock; // guards m_width, m_height and m_delegate
    int m_width = 640;
    int m_height = 480;
    FrameDelegate m_delegate;
    std::function<PreviewDemand()> m_previewDemand; // set before the stream starts; read
                                                    // unlocked on the capture thread
    FrameDelegate m_previewDelegate;

    varnolet::FrameScaler m_scaler; // capture thread only
    std::shared_ptr<PixelBufferPool> m_pool = PixelBufferPool::create();
};
