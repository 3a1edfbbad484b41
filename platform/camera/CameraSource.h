#pragma once

#include "CameraTypes.h"

#include <functional>
#include <string>
#include <vector>

namespace varnolet {

// One opened camera: a V4L2 device or a virtual camera. Errors are negative errno codes.
// All calls come from one controlling thread (the UI thread); the callbacks run on the
// camera's own threads and must only hand work over.
class CameraSource
{
public:
    using FrameCallback = std::function<void(const CameraFrame &frame)>;
    // The stream ended by itself (the device vanished or failed); error is negative errno.
    using StreamEndCallback = std::function<void(int error)>;
    // Snapshot button pressed (true) or released (false).
    using ButtonCallback = std::function<void(bool pressed)>;
    // What the frames are needed for, asked on the camera's thread before each frame is
    // decoded: full frames (a photo, a timed shot or a movie wants this one), or only the
    // live picture, shown at shownWidth x shownHeight.
    struct PreviewDemand
    {
        bool fullFrames = true;
        int shownWidth = 0;
        int shownHeight = 0;
    };
    using PreviewDemandCallback = std::function<PreviewDemand()>;

    virtual ~CameraSource() = default;

    virtual CameraIdentity identity() const = 0;

    // Everything the camera can deliver, one entry per (pixel format, frame size), in the
    // camera's own order.
    virtual std::vector<CameraFormat> formats() const = 0;
    // The format in force (what start() will deliver, before conversion to BGR24).
    virtual CameraFormat currentFormat() const = 0;
    // Asks for a frame size; the camera picks the pixel format and may adjust the size
    // to the nearest one it offers (read currentFormat() afterwards). Not while streaming.
    virtual int setFormat(int width, int height) = 0;

    // Starts delivering frames on the camera's thread. -EBUSY when another program holds
    // the camera, -ENODEV when it is gone.
    virtual int start(FrameCallback onFrame, StreamEndCallback onEnd = {}) = 0;
    // Stops and joins the streaming thread; no callback runs after it returns.
    virtual void stop() = 0;
    // Set before start(). A camera that decodes compressed frames may then deliver frames
    // for the live picture only, reduced but still covering the shown size
    // (CameraFrame::reduced), whenever the callback answers that full frames are not
    // needed. Cameras that have nothing to gain ignore it; empty: full frames always.
    virtual void setPreviewDemand(PreviewDemandCallback callback) { (void)callback; }
    virtual bool isStreaming() const = 0;

    virtual std::vector<CameraControl> controls() const = 0;
    virtual int control(uint32_t id, int32_t &value) const = 0;
    virtual int setControl(uint32_t id, int32_t value) = 0;
    // Sets every writable control back to its default: the controls an automatic mode
    // governs before the modes (the driver refuses them once the mode is automatic);
    // controls inactive now are left alone. 0, or the first error.
    virtual int resetControls();

    // Whether the camera has a snapshot button, and who hears it (empty: nobody). The
    // callback runs on the button's reader thread; no call runs after it was replaced.
    virtual bool hasSnapshotButton() const = 0;
    virtual void setButtonCallback(ButtonCallback callback) = 0;
    // Why the snapshot button cannot be heard after setButtonCallback() ("/dev/input/event5:
    // Permission denied"); empty when it works or there is none.
    virtual std::string snapshotButtonProblem() const { return {}; }
};

} // namespace varnolet
