#include "V4l2Camera.h"

#include "CameraFormatPolicy.h"

#include "platform/system/SystemCall.h"
#include "platform/system/ThreadName.h"

#include <algorithm>
#include <cerrno>
#include <cstring>

#include <fcntl.h>
#include <linux/videodev2.h>
#include <sys/mman.h>
#include <unistd.h>

namespace varnolet {

namespace {

constexpr unsigned kBufferCount = 4;

// Highest frame rate the device offers for a format at a size (0 when it does not say).
double bestFramesPerSecond(int fd, uint32_t pixelFormat, int width, int height)
{
    double best = 0.0;
    v4l2_frmivalenum interval{};
    interval.pixel_format = pixelFormat;
    interval.width = static_cast<uint32_t>(width);
    interval.height = static_cast<uint32_t>(height);
    for (interval.index = 0; SystemCall::ioctl(fd, VIDIOC_ENUM_FRAMEINTERVALS, &interval) == 0;
         ++interval.index) {
        if (interval.type == V4L2_FRMIVAL_TYPE_DISCRETE) {
            best = std::max(best, CameraFormatPolicy::framesPerSecond(
                                      interval.discrete.numerator, interval.discrete.denominator));
        } else {
            // Stepwise or continuous: the shortest interval is the minimum.
            best = std::max(best,
                            CameraFormatPolicy::framesPerSecond(interval.stepwise.min.numerator,
                                                                interval.stepwise.min.denominator));
            break;
        }
    }
    return best;
}

// The standard automatic-mode controls: while on, they make the controls they govern
// inactive (uvcvideo does not flag them with V4L2_CTRL_FLAG_UPDATE).
bool isAutomaticMode(uint32_t id)
{
    switch (id) {
    case V4L2_CID_EXPOSURE_AUTO:
    case V4L2_CID_AUTO_WHITE_BALANCE:
    case V4L2_CID_AUTOGAIN:
    case V4L2_CID_FOCUS_AUTO:
    case V4L2_CID_HUE_AUTO:
        return true;
    default:
        return false;
    }
}

} // namespace

struct V4l2Camera::Buffer
{
    void *start = MAP_FAILED;
    size_t length = 0;
    ~Buffer()
    {
        if (start != MAP_FAILED)
            ::munmap(start, length);
    }
};

bool V4l2Camera::isStreamingCapture(int fd, std::string *card)
{
    v4l2_capability capability{};
    if (SystemCall::ioctl(fd, VIDIOC_QUERYCAP, &capability) < 0)
        return false;
    const uint32_t caps = (capability.capabilities & V4L2_CAP_DEVICE_CAPS)
                              ? capability.device_caps
                              : capability.capabilities;
    if (card)
        *card = std::string(
            reinterpret_cast<const char *>(capability.card),
            strnlen(reinterpret_cast<const char *>(capability.card), sizeof capability.card));
    return (caps & V4L2_CAP_VIDEO_CAPTURE) && (caps & V4L2_CAP_STREAMING);
}

std::unique_ptr<V4l2Camera> V4l2Camera::open(const CameraIdentity &identity, int &error)
{
    const std::string &node = identity.nodePath.empty() ? identity.devicePath : identity.nodePath;
    UniqueFd fd(::open(node.c_str(), O_RDWR | O_NONBLOCK | O_CLOEXEC));
    if (!fd) {
        error = -errno;
        return nullptr;
    }
    if (!isStreamingCapture(fd.get())) {
        error = -ENODEV;
        return nullptr;
    }
    error = 0;
    return std::unique_ptr<V4l2Camera>(new V4l2Camera(identity, std::move(fd)));
}

V4l2Camera::V4l2Camera(const CameraIdentity &identity, UniqueFd fd)
    : m_identity(identity)
    , m_fd(std::move(fd))
{
    readFormats();
    m_buttonNode = SnapshotButtonReader::findEventDevice(m_identity.usbSysfsPath);
}

V4l2Camera::~V4l2Camera()
{
    stop();
    setButtonCallback({});
}

void V4l2Camera::readFormats()
{
    const int fd = m_fd.get();
    v4l2_fmtdesc description{};
    description.type = V4L2_BUF_TYPE_VIDEO_CAPTURE;
    for (description.index = 0; SystemCall::ioctl(fd, VIDIOC_ENUM_FMT, &description) == 0;
         ++description.index) {
        const uint32_t pixelFormat = description.pixelformat;
        v4l2_frmsizeenum size{};
        size.pixel_format = pixelFormat;
        for (size.index = 0; SystemCall::ioctl(fd, VIDIOC_ENUM_FRAMESIZES, &size) == 0;
             ++size.index) {
            if (size.type == V4L2_FRMSIZE_TYPE_DISCRETE) {
                const int w = static_cast<int>(size.discrete.width);
                const int h = static_cast<int>(size.discrete.height);
                m_formats.push_back(
                    {pixelFormat, w, h, bestFramesPerSecond(fd, pixelFormat, w, h)});
                continue;
            }
            const auto &s = size.stepwise;
            for (const auto &[w, h] : CameraFormatPolicy::sizesInRange(
                     static_cast<int>(s.min_width), static_cast<int>(s.max_width),
                     static_cast<int>(s.step_width), static_cast<int>(s.min_height),
                     static_cast<int>(s.max_height), static_cast<int>(s.step_height)))
                m_formats.push_back(
                    {pixelFormat, w, h, bestFramesPerSecond(fd, pixelFormat, w, h)});
            break; // a stepwise range is the only entry
        }
    }
}

CameraFormat V4l2Camera::currentFormat() const
{
    v4l2_format format{};
    format.type = V4L2_BUF_TYPE_VIDEO_CAPTURE;
    if (SystemCall::ioctl(m_fd.get(), VIDIOC_G_FMT, &format) < 0)
        return {};
    CameraFormat current{format.fmt.pix.pixelformat, static_cast<int>(format.fmt.pix.width),
                         static_cast<int>(format.fmt.pix.height), 0.0};
    v4l2_streamparm parameters{};
    parameters.type = V4L2_BUF_TYPE_VIDEO_CAPTURE;
    if (SystemCall::ioctl(m_fd.get(), VIDIOC_G_PARM, &parameters) == 0)
        current.framesPerSecond =
            CameraFormatPolicy::framesPerSecond(parameters.parm.capture.timeperframe.numerator,
                                                parameters.parm.capture.timeperframe.denominator);
    return current;
}

int V4l2Camera::setFormat(int width, int height)
{
    if (isStreaming())
        return -EBUSY;
    if (width <= 0 || height <= 0)
        return -EINVAL;
    v4l2_format format{};
    format.type = V4L2_BUF_TYPE_VIDEO_CAPTURE;
    if (const int error = SystemCall::ioctl(m_fd.get(), VIDIOC_G_FMT, &format); error < 0)
        return error;

    const auto chosen = CameraFormatPolicy::chooseFormat(m_formats, width, height);
    if (chosen)
        format.fmt.pix.pixelformat = chosen->pixelFormat;
    format.fmt.pix.width = static_cast<uint32_t>(width);
    format.fmt.pix.height = static_cast<uint32_t>(height);
    format.fmt.pix.field = V4L2_FIELD_ANY;
    format.fmt.pix.bytesperline = 0;
    format.fmt.pix.sizeimage = 0;
    if (const int error = SystemCall::ioctl(m_fd.get(), VIDIOC_S_FMT, &format); error < 0)
        return error;

    // Ask for the highest frame rate of that format; drivers without it keep theirs.
    if (chosen && chosen->framesPerSecond > 0) {
        v4l2_streamparm parameters{};
        parameters.type = V4L2_BUF_TYPE_VIDEO_CAPTURE;
        parameters.parm.capture.timeperframe.numerator = 1000;
        parameters.parm.capture.timeperframe.denominator =
            static_cast<uint32_t>(chosen->framesPerSecond * 1000.0 + 0.5);
        SystemCall::ioctl(m_fd.get(), VIDIOC_S_PARM, &parameters);
    }
    return 0;
}

int V4l2Camera::releaseBuffers()
{
    m_buffers.clear();
    v4l2_requestbuffers request{};
    request.type = V4L2_BUF_TYPE_VIDEO_CAPTURE;
    request.memory = V4L2_MEMORY_MMAP;
    request.count = 0;
    return SystemCall::ioctl(m_fd.get(), VIDIOC_REQBUFS, &request);
}

int V4l2Camera::start(FrameCallback onFrame, StreamEndCallback onEnd)
{
    if (isStreaming())
        return -EBUSY;
    const int fd = m_fd.get();

    v4l2_format format{};
    format.type = V4L2_BUF_TYPE_VIDEO_CAPTURE;
    if (const int error = SystemCall::ioctl(fd, VIDIOC_G_FMT, &format); error < 0)
        return error;
    auto converter = std::make_unique<FrameConverter>(fd);
    if (const int error =
            converter->configure(format.fmt.pix.pixelformat, static_cast<int>(format.fmt.pix.width),
                                 static_cast<int>(format.fmt.pix.height),
                                 format.fmt.pix.bytesperline, format.fmt.pix.sizeimage);
        error < 0)
        return error;

    v4l2_requestbuffers request{};
    request.type = V4L2_BUF_TYPE_VIDEO_CAPTURE;
    request.memory = V4L2_MEMORY_MMAP;
    request.count = kBufferCount;
    if (const int error = SystemCall::ioctl(fd, VIDIOC_REQBUFS, &request); error < 0)
        return error; // EBUSY: another program streams from the camera
    if (request.count < 2) {
        releaseBuffers();
        return -ENOMEM;
    }
    for (unsigned i = 0; i < request.count; ++i) {
        v4l2_buffer buffer{};
        buffer.type = V4L2_BUF_TYPE_VIDEO_CAPTURE;
        buffer.memory = V4L2_MEMORY_MMAP;
        buffer.index = i;
        int error = SystemCall::ioctl(fd, VIDIOC_QUERYBUF, &buffer);
        auto mapped = std::make_unique<Buffer>();
        if (error == 0) {
            mapped->length = buffer.length;
            mapped->start = ::mmap(nullptr, buffer.length, PROT_READ | PROT_WRITE, MAP_SHARED, fd,
                                   buffer.m.offset);
            if (mapped->start == MAP_FAILED)
                error = -errno;
        }
        if (error == 0)
            error = SystemCall::ioctl(fd, VIDIOC_QBUF, &buffer);
        if (error < 0) {
            releaseBuffers();
            return error;
        }
        m_buffers.push_back(std::move(mapped));
    }

    auto waiter = std::make_unique<WakeablePoll>();
    if (!waiter->valid()) {
        const int error = -errno;
        releaseBuffers();
        return error;
    }
    v4l2_buf_type type = V4L2_BUF_TYPE_VIDEO_CAPTURE;
    if (const int error = SystemCall::ioctl(fd, VIDIOC_STREAMON, &type); error < 0) {
        releaseBuffers();
        return error;
    }
    m_converter = std::move(converter);
    m_waiter = std::move(waiter);
    m_thread = std::thread(&V4l2Camera::run, this, std::move(onFrame), std::move(onEnd));
    return 0;
}

void V4l2Camera::stop()
{
    if (!m_thread.joinable())
        return;
    m_waiter->wake();
    m_thread.join();
    v4l2_buf_type type = V4L2_BUF_TYPE_VIDEO_CAPTURE;
    SystemCall::ioctl(m_fd.get(), VIDIOC_STREAMOFF, &type);
    releaseBuffers();
    m_converter.reset();
    m_waiter.reset();
}

void V4l2Camera::run(FrameCallback onFrame, StreamEndCallback onEnd)
{
    ThreadName::set("V4l2Capture");
    const int fd = m_fd.get();
    double firstTimestamp = -1.0;
    uint64_t sequence = 0;
    int endError = 0;
    while (true) {
        int waitError = 0;
        const WakeablePoll::Result result = m_waiter->wait(fd, 2000, &waitError);
        if (result == WakeablePoll::Result::Woken)
            return; // stop() asked
        if (result == WakeablePoll::Result::Failed) {
            endError = -waitError; // ENODEV for a descriptor in error
            break;
        }
        if (result == WakeablePoll::Result::TimedOut)
            continue;

        v4l2_buffer buffer{};
        buffer.type = V4L2_BUF_TYPE_VIDEO_CAPTURE;
        buffer.memory = V4L2_MEMORY_MMAP;
        const int error = SystemCall::ioctl(fd, VIDIOC_DQBUF, &buffer);
        if (error == -EAGAIN)
            continue;
        if (error < 0) {
            endError = error; // ENODEV when the camera was unplugged
            break;
        }
        if (buffer.index < m_buffers.size() && !(buffer.flags & V4L2_BUF_FLAG_ERROR)) {
            const double timestamp = buffer.timestamp.tv_sec + buffer.timestamp.tv_usec / 1e6;
            if (firstTimestamp < 0)
                firstTimestamp = timestamp;
            const auto *bytes = static_cast<const uint8_t *>(m_buffers[buffer.index]->start);
            if (m_previewDemand) {
                const PreviewDemand demand = m_previewDemand();
                m_converter->setReducedSize(demand.fullFrames ? 0 : demand.shownWidth,
                                            demand.fullFrames ? 0 : demand.shownHeight);
            }
            if (m_converter->convert(bytes, buffer.bytesused) == 0 && onFrame) {
                CameraFrame frame;
                frame.data = m_converter->output();
                frame.length = m_converter->outputSize();
                frame.width = m_converter->width();
                frame.height = m_converter->height();
                frame.reduced = m_converter->isReduced();
                frame.sampleTime = timestamp - firstTimestamp;
                frame.sequence = sequence;
                onFrame(frame);
            }
            ++sequence;
        }
        if (const int requeue = SystemCall::ioctl(fd, VIDIOC_QBUF, &buffer); requeue < 0) {
            endError = requeue;
            break;
        }
    }
    if (onEnd)
        onEnd(endError < 0 ? endError : -EIO);
}

std::vector<int32_t> V4l2Camera::menuIndices(int32_t minimum, int32_t maximum)
{
    std::vector<int32_t> indices;
    // In 64 bits: counting up to INT32_MAX must not wrap.
    const int64_t last = std::min<int64_t>(maximum, int64_t(minimum) + kMaxMenuItems - 1);
    for (int64_t index = minimum; index <= last; ++index)
        indices.push_back(static_cast<int32_t>(index));
    return indices;
}

std::vector<CameraControl> V4l2Camera::controls() const
{
    std::vector<CameraControl> list;
    const int fd = m_fd.get();
    v4l2_queryctrl query{};
    query.id = V4L2_CTRL_FLAG_NEXT_CTRL;
    while (SystemCall::ioctl(fd, VIDIOC_QUERYCTRL, &query) == 0) {
        const uint32_t id = query.id;
        query.id |= V4L2_CTRL_FLAG_NEXT_CTRL;
        if (query.flags & V4L2_CTRL_FLAG_DISABLED)
            continue;
        CameraControl control;
        switch (query.type) {
        case V4L2_CTRL_TYPE_INTEGER:
            control.type = CameraControl::Type::Integer;
            break;
        case V4L2_CTRL_TYPE_BOOLEAN:
            control.type = CameraControl::Type::Boolean;
            break;
        case V4L2_CTRL_TYPE_MENU:
            control.type = CameraControl::Type::Menu;
            break;
        case V4L2_CTRL_TYPE_INTEGER_MENU:
            control.type = CameraControl::Type::IntegerMenu;
            break;
        case V4L2_CTRL_TYPE_BUTTON:
            control.type = CameraControl::Type::Button;
            break;
        default:
            continue; // control classes, strings, 64-bit and compound controls
        }
        control.id = id;
        control.name =
            std::string(reinterpret_cast<const char *>(query.name),
                        strnlen(reinterpret_cast<const char *>(query.name), sizeof query.name));
        control.minimum = query.minimum;
        control.maximum = query.maximum;
        control.step = static_cast<int32_t>(query.step);
        control.defaultValue = query.default_value;
        control.readOnly = query.flags & (V4L2_CTRL_FLAG_READ_ONLY | V4L2_CTRL_FLAG_GRABBED);
        control.inactive = query.flags & V4L2_CTRL_FLAG_INACTIVE;
        control.updatesOthers = (query.flags & V4L2_CTRL_FLAG_UPDATE) || isAutomaticMode(id);
        if (control.type == CameraControl::Type::Menu ||
            control.type == CameraControl::Type::IntegerMenu) {
            for (const int32_t index : menuIndices(query.minimum, query.maximum)) {
                v4l2_querymenu item{};
                item.id = id;
                item.index = static_cast<uint32_t>(index);
                if (SystemCall::ioctl(fd, VIDIOC_QUERYMENU, &item) < 0)
                    continue;
                if (control.type == CameraControl::Type::Menu)
                    control.menuItems.emplace_back(
                        index, std::string(reinterpret_cast<const char *>(item.name),
                                           strnlen(reinterpret_cast<const char *>(item.name),
                                                   sizeof item.name)));
                else
                    control.menuItems.emplace_back(index, std::to_string(item.value));
            }
        }
        if (control.type != CameraControl::Type::Button) {
            v4l2_control value{};
            value.id = id;
            if (SystemCall::ioctl(fd, VIDIOC_G_CTRL, &value) == 0)
                control.value = value.value;
        }
        list.push_back(std::move(control));
    }
    return list;
}

int V4l2Camera::control(uint32_t id, int32_t &value) const
{
    v4l2_control request{};
    request.id = id;
    const int error = SystemCall::ioctl(m_fd.get(), VIDIOC_G_CTRL, &request);
    if (error == 0)
        value = request.value;
    return error;
}

int V4l2Camera::setControl(uint32_t id, int32_t value)
{
    v4l2_control request{};
    request.id = id;
    request.value = value;
    return SystemCall::ioctl(m_fd.get(), VIDIOC_S_CTRL, &request);
}

void V4l2Camera::setButtonCallback(ButtonCallback callback)
{
    std::lock_guard guard(m_buttonLock);
    m_button.reset();
    m_buttonProblem.clear();
    if (!callback || m_buttonNode.empty())
        return;
    auto reader = std::make_unique<SnapshotButtonReader>(m_buttonNode);
    if (const int error = reader->start(std::move(callback)); error < 0) {
        // Usually the input device is root:input 0660 and no rule gave it to the user.
        m_buttonProblem = m_buttonNode + ": " + std::strerror(-error);
        return;
    }
    m_button = std::move(reader);
}

std::string V4l2Camera::snapshotButtonProblem() const
{
    std::lock_guard guard(m_buttonLock);
    return m_buttonProblem;
}

} // namespace varnolet
