#include "VirtualCamera.h"

#include "platform/system/Clock.h"
#include "platform/system/ThreadName.h"

#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <stdexcept>

#include <linux/videodev2.h>

namespace varnolet {

namespace {

struct ControlRange
{
    uint32_t id;
    const char *name;
    int32_t minimum, maximum, defaultValue;
    int PictureAdjustments::*field;
};

const ControlRange kControls[] = {
    {V4L2_CID_BRIGHTNESS, "Brightness", -64, 64, 0, &PictureAdjustments::brightness},
    {V4L2_CID_CONTRAST, "Contrast", 0, 64, 32, &PictureAdjustments::contrast},
    {V4L2_CID_SATURATION, "Saturation", 0, 128, 64, &PictureAdjustments::saturation},
    {V4L2_CID_HUE, "Hue", -180, 180, 0, &PictureAdjustments::hue},
    {V4L2_CID_SHARPNESS, "Sharpness", 0, 7, 3, &PictureAdjustments::sharpness},
};

const ControlRange *findControl(uint32_t id)
{
    for (const ControlRange &control : kControls) {
        if (control.id == id)
            return &control;
    }
    return nullptr;
}

std::string clockText(const Clock &clock)
{
    const LocalDateTime now = clock.localNow();
    char text[32];
    std::snprintf(text, sizeof text, "%02d:%02d:%02d.%03d", now.hour, now.minute, now.second,
                  now.millisecond);
    return text;
}

} // namespace

const std::vector<std::pair<int, int>> &VirtualCamera::sizes()
{
    static const std::vector<std::pair<int, int>> list = {
        {640, 480}, {800, 600}, {1280, 720}, {1600, 1200}, {2048, 1536}};
    return list;
}

VirtualCamera::VirtualCamera(std::shared_ptr<VirtualCameraHub::Device> device)
    : m_device(std::move(device))
{
    if (!m_device || !m_device->clock)
        throw std::invalid_argument("a virtual camera needs a device with a clock");
    m_format = CameraFormat{V4L2_PIX_FMT_BGR24, 640, 480, kFramesPerSecond};
}

VirtualCamera::~VirtualCamera()
{
    stop();
    setButtonCallback({});
}

CameraIdentity VirtualCamera::identity() const
{
    return m_device->identity;
}

std::vector<CameraFormat> VirtualCamera::formats() const
{
    std::vector<CameraFormat> list;
    for (const auto &[w, h] : sizes())
        list.push_back(CameraFormat{V4L2_PIX_FMT_BGR24, w, h, kFramesPerSecond});
    return list;
}

CameraFormat VirtualCamera::currentFormat() const
{
    return m_format;
}

int VirtualCamera::setFormat(int width, int height)
{
    {
        std::lock_guard guard(m_device->lock);
        if (!m_device->present)
            return -ENODEV;
    }
    if (m_streaming)
        return -EBUSY;
    if (width <= 0 || height <= 0)
        return -EINVAL;
    // Like a driver: the offered size nearest to the request.
    auto best = sizes().front();
    long bestDistance = -1;
    for (const auto &size : sizes()) {
        const long distance = std::labs(size.first - width) + std::labs(size.second - height);
        if (bestDistance < 0 || distance < bestDistance) {
            best = size;
            bestDistance = distance;
        }
    }
    m_format.width = best.first;
    m_format.height = best.second;
    return 0;
}

int VirtualCamera::start(FrameCallback onFrame, StreamEndCallback onEnd)
{
    if (m_streaming)
        return -EBUSY;
    {
        std::lock_guard guard(m_device->lock);
        if (!m_device->present)
            return -ENODEV;
        if (m_device->busy || m_device->streaming)
            return -EBUSY;
        m_device->streaming = true;
    }
    {
        std::lock_guard guard(m_stopLock);
        m_stopRequested = false;
    }
    m_streaming = true;
    m_thread = std::thread(&VirtualCamera::run, this, std::move(onFrame), std::move(onEnd));
    return 0;
}

void VirtualCamera::stop()
{
    if (!m_thread.joinable())
        return;
    {
        std::lock_guard guard(m_stopLock);
        m_stopRequested = true;
    }
    m_wake.notify_all();
    m_thread.join();
    m_streaming = false;
    std::lock_guard guard(m_device->lock);
    m_device->streaming = false;
}

bool VirtualCamera::isStreaming() const
{
    return m_streaming;
}

void VirtualCamera::run(FrameCallback onFrame, StreamEndCallback onEnd)
{
    ThreadName::set("VirtualCamera");
    using Clock = std::chrono::steady_clock;
    const auto period = std::chrono::duration_cast<Clock::duration>(
        std::chrono::duration<double>(1.0 / kFramesPerSecond));

    TestPatternRenderer renderer;
    renderer.setSize(m_format.width, m_format.height);

    const auto started = Clock::now();
    auto deadline = started;
    uint64_t sequence = 0;
    while (true) {
        {
            std::unique_lock guard(m_stopLock);
            if (m_wake.wait_until(guard, deadline, [this] { return m_stopRequested; }))
                return;
        }
        PictureAdjustments adjustments;
        {
            std::lock_guard guard(m_device->lock);
            if (!m_device->present)
                break;
            adjustments = m_device->adjustments;
        }
        renderer.setAdjustments(adjustments);
        // The picture is the renderer's own memory, read by the consumer during the call.
        CameraFrame delivered;
        delivered.data = renderer.frame(sequence, clockText(*m_device->clock));
        delivered.length = static_cast<size_t>(m_format.width) * m_format.height * 3;
        delivered.width = m_format.width;
        delivered.height = m_format.height;
        delivered.sequence = sequence;
        delivered.sampleTime = std::chrono::duration<double>(deadline - started).count();
        if (onFrame)
            onFrame(delivered);

        ++sequence;
        deadline += period;
        // A consumer that fell far behind does not get a burst of late frames.
        const auto now = Clock::now();
        if (now - deadline > period * 3)
            deadline = now;
    }
    if (onEnd)
        onEnd(-ENODEV);
}

std::vector<CameraControl> VirtualCamera::controls() const
{
    PictureAdjustments adjustments;
    {
        std::lock_guard guard(m_device->lock);
        adjustments = m_device->adjustments;
    }
    std::vector<CameraControl> list;
    for (const ControlRange &range : kControls) {
        CameraControl control;
        control.id = range.id;
        control.name = range.name;
        control.type = CameraControl::Type::Integer;
        control.minimum = range.minimum;
        control.maximum = range.maximum;
        control.step = 1;
        control.defaultValue = range.defaultValue;
        control.value = adjustments.*range.field;
        list.push_back(control);
    }
    return list;
}

int VirtualCamera::control(uint32_t id, int32_t &value) const
{
    const ControlRange *range = findControl(id);
    if (!range)
        return -EINVAL;
    std::lock_guard guard(m_device->lock);
    if (!m_device->present)
        return -ENODEV;
    value = m_device->adjustments.*range->field;
    return 0;
}

int VirtualCamera::setControl(uint32_t id, int32_t value)
{
    const ControlRange *range = findControl(id);
    if (!range)
        return -EINVAL;
    if (value < range->minimum || value > range->maximum)
        return -ERANGE;
    std::lock_guard guard(m_device->lock);
    if (!m_device->present)
        return -ENODEV;
    m_device->adjustments.*range->field = value;
    return 0;
}

bool VirtualCamera::hasSnapshotButton() const
{
    return m_device->snapshotButton;
}

void VirtualCamera::setButtonCallback(ButtonCallback callback)
{
    std::lock_guard guard(m_device->buttonLock);
    if (callback) {
        m_device->buttonCallback = std::move(callback);
        m_device->buttonOwner = this;
    } else if (m_device->buttonOwner == this) {
        m_device->buttonCallback = nullptr;
        m_device->buttonOwner = nullptr;
    }
}

} // namespace varnolet
