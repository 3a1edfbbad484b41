#pragma once

#include "CameraSource.h"
#include "FrameConverter.h"
#include "SnapshotButtonReader.h"
#include "platform/system/UniqueFd.h"

#include "platform/system/WakeablePoll.h"

#include <memory>
#include <mutex>
#include <thread>
#include <vector>

namespace varnolet {

// A V4L2 video-capture device: formats and sizes from the driver, mmap streaming on a
// named capture thread, every frame converted to bottom-up BGR24, the device's controls,
// and the snapshot button of the same USB device.
class V4l2Camera final : public CameraSource
{
public:
    // Opens identity.nodePath. Null with a negative errno when it cannot be opened or is
    // not a streaming capture device.
    static std::unique_ptr<V4l2Camera> open(const CameraIdentity &identity, int &error);
    ~V4l2Camera() override;

    CameraIdentity identity() const override { return m_identity; }
    std::vector<CameraFormat> formats() const override { return m_formats; }
    CameraFormat currentFormat() const override;
    int setFormat(int width, int height) override;
    int start(FrameCallback onFrame, StreamEndCallback onEnd) override;
    void setPreviewDemand(PreviewDemandCallback callback) override
    {
        m_previewDemand = std::move(callback);
    }
    void stop() override;
    bool isStreaming() const override { return m_thread.joinable(); }
    std::vector<CameraControl> controls() const override;
    int control(uint32_t id, int32_t &value) const override;
    int setControl(uint32_t id, int32_t value) override;
    bool hasSnapshotButton() const override { return !m_buttonNode.empty(); }
    void setButtonCallback(ButtonCallback callback) override;
    std::string snapshotButtonProblem() const override;

    // Whether an open descriptor is a capture device with streaming I/O; its card name.
    static bool isStreamingCapture(int fd, std::string *card = nullptr);

    // The indices of a menu control to ask the driver about: minimum .. maximum, at most
    // kMaxMenuItems of them (a driver may report INT32_MAX as its maximum).
    static constexpr int kMaxMenuItems = 256;
    static std::vector<int32_t> menuIndices(int32_t minimum, int32_t maximum);

private:
    struct Buffer;

    V4l2Camera(const CameraIdentity &identity, UniqueFd fd);
    void readFormats();
    int releaseBuffers();
    void run(FrameCallback onFrame, StreamEndCallback onEnd);

    CameraIdentity m_identity;
    UniqueFd m_fd;
    std::vector<CameraFormat> m_formats;
    std::string m_buttonNode;

    std::vector<std::unique_ptr<Buffer>> m_buffers;
    std::unique_ptr<FrameConverter> m_converter;
    PreviewDemandCallback m_previewDemand;  // read by the streaming thread, set before start
    std::unique_ptr<WakeablePoll> m_waiter; // its wake-up ends the capture thread
    std::thread m_thread;

    mutable std::mutex m_buttonLock; // guards m_button and m_buttonProblem
    std::unique_ptr<SnapshotButtonReader> m_button;
    std::string m_buttonProblem;
};

} // namespace varnolet
