#include "V4l2ControlNode.h"

#include <cerrno>

#include <fcntl.h>

#include "platform/system/SystemCall.h"

std::unique_ptr<V4l2ControlDevice> V4l2ControlDevice::open(const std::string &nodePath,
                                                           int32_t &error)
{
    varnolet::UniqueFd fd(::open(nodePath.c_str(), O_RDWR | O_NONBLOCK | O_CLOEXEC));
    if (!fd) {
        error = -errno;
        return nullptr;
    }
    error = 0;
    return std::unique_ptr<V4l2ControlDevice>(new V4l2ControlDevice(std::move(fd)));
}

int32_t V4l2ControlDevice::call(unsigned long request, void *argument)
{
    return varnolet::SystemCall::ioctl(m_fd.get(), request, argument);
}

int32_t V4l2ControlDevice::queryControl(v4l2_queryctrl &query)
{
    return call(VIDIOC_QUERYCTRL, &query);
}

int32_t V4l2ControlDevice::getControl(uint32_t id, int32_t &value)
{
    v4l2_control control{};
    control.id = id;
    const int32_t result = call(VIDIOC_G_CTRL, &control);
    if (result == 0)
        value = control.value;
    return result;
}

int32_t V4l2ControlDevice::setControl(uint32_t id, int32_t value)
{
    v4l2_control control{};
    control.id = id;
    control.value = value;
    return call(VIDIOC_S_CTRL, &control);
}
