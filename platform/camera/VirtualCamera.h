#pragma once

#include "CameraSource.h"
#include "VirtualCameraHub.h"

#include <atomic>
#include <condition_variable>
#include <memory>
#include <mutex>
#include <thread>

namespace varnolet {

// A source on a virtual camera: the moving test picture at 30 frames per second from its
// own thread, five picture controls and a snapshot button pressed through the hub.
class VirtualCamera final : public CameraSource
{
public:
    static constexpr double kFramesPerSecond = 30.0;
    // The sizes the camera offers, smallest first.
    static const std::vector<std::pair<int, int>> &sizes();

    // Throws std::invalid_argument without a device or without the device's clock.
    explicit VirtualCamera(std::shared_ptr<VirtualCameraHub::Device> device);
    ~VirtualCamera() override;

    CameraIdentity identity() const override;
    std::vector<CameraFormat> formats() const override;
    CameraFormat currentFormat() const override;
    int setFormat(int width, int height) override;
    int start(FrameCallback onFrame, StreamEndCallback onEnd) override;
    void stop() override;
    bool isStreaming() const override;
    std::vector<CameraControl> controls() const override;
    int control(uint32_t id, int32_t &value) const override;
    int setControl(uint32_t id, int32_t value) override;
    bool hasSnapshotButton() const override;
    void setButtonCallback(ButtonCallback callback) override;

private:
    void run(FrameCallback onFrame, StreamEndCallback onEnd);

    std::shared_ptr<VirtualCameraHub::Device> m_device;
    CameraFormat m_format;
    std::thread m_thread;

    std::mutex m_stopLock; // guards m_stopRequested for the condition variable
    std::condition_variable m_wake;
    bool m_stopRequested = false;
    std::atomic<bool> m_streaming{false};
};

} // namespace varnolet
