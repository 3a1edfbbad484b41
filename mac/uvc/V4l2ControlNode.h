#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include <linux/videodev2.h>

#include "platform/system/UniqueFd.h"

// The three control calls of a V4L2 video node, so that tests put a fake node in place of
// the driver. Each answers 0 or a negative errno.
class V4l2ControlNode
{
public:
    virtual ~V4l2ControlNode() = default;
    virtual int32_t queryControl(v4l2_queryctrl &query) = 0;     // VIDIOC_QUERYCTRL
    virtual int32_t getControl(uint32_t id, int32_t &value) = 0; // VIDIOC_G_CTRL
    virtual int32_t setControl(uint32_t id, int32_t value) = 0;  // VIDIOC_S_CTRL
};

// A real video node, opened for control calls only (it does not disturb a running stream).
class V4l2ControlDevice final : public V4l2ControlNode
{
public:
    // Null with a negative errno when the node cannot be opened.
    static std::unique_ptr<V4l2ControlDevice> open(const std::string &nodePath, int32_t &error);

    int32_t queryControl(v4l2_queryctrl &query) override;
    int32_t getControl(uint32_t id, int32_t &value) override;
    int32_t setControl(uint32_t id, int32_t value) override;

private:
    explicit V4l2ControlDevice(varnolet::UniqueFd fd)
        : m_fd(std::move(fd))
    {
    }
    int32_t call(unsigned long request, void *argument);

    varnolet::UniqueFd m_fd;
};
