#pragma once

// The reference of the camera benchmarks: libv4lconvert called directly, without any of
// the project's code, converting one camera buffer into a top-down BGR24 picture.

#include <cerrno>
#include <cstdint>
#include <cstring>
#include <vector>

#include <libv4l-plugin.h>
#include <libv4lconvert.h>
#include <linux/videodev2.h>

namespace varnolet::bench {

class BareV4lConvert
{
public:
    BareV4lConvert(uint32_t pixelFormat, int width, int height)
        : m_output(static_cast<size_t>(width) * height * 3)
    {
        libv4l_dev_ops ops{};
        ops.ioctl = memoryIoctl;
        m_data = v4lconvert_create_with_dev_ops(-1, nullptr, &ops);
        m_source.type = V4L2_BUF_TYPE_VIDEO_CAPTURE;
        m_source.fmt.pix.width = static_cast<uint32_t>(width);
        m_source.fmt.pix.height = static_cast<uint32_t>(height);
        m_source.fmt.pix.pixelformat = pixelFormat;
        m_source.fmt.pix.field = V4L2_FIELD_NONE;
        m_source.fmt.pix.bytesperline =
            pixelFormat == V4L2_PIX_FMT_YUYV ? static_cast<uint32_t>(width) * 2 : 0;
        m_source.fmt.pix.sizeimage = static_cast<uint32_t>(width * height * 3);
        m_target = m_source;
        m_target.fmt.pix.pixelformat = V4L2_PIX_FMT_BGR24;
        m_target.fmt.pix.bytesperline = static_cast<uint32_t>(width) * 3;
    }
    ~BareV4lConvert()
    {
        if (m_data)
            v4lconvert_destroy(m_data);
    }
    BareV4lConvert(const BareV4lConvert &) = delete;
    BareV4lConvert &operator=(const BareV4lConvert &) = delete;

    bool isReady() const { return m_data != nullptr; }
    // Bytes written, or negative on failure.
    int convert(const uint8_t *buffer, size_t size)
    {
        return v4lconvert_convert(m_data, &m_source, &m_target, const_cast<uint8_t *>(buffer),
                                  static_cast<int>(size), m_output.data(),
                                  static_cast<int>(m_output.size()));
    }
    const uint8_t *output() const { return m_output.data(); }

private:
    // libv4lconvert asks what device it converts for; a capture device is all it needs.
    static int memoryIoctl(void *, int, unsigned long request, void *argument)
    {
        if (request == VIDIOC_QUERYCAP) {
            auto *capability = static_cast<v4l2_capability *>(argument);
            std::memset(capability, 0, sizeof *capability);
            capability->capabilities = V4L2_CAP_VIDEO_CAPTURE | V4L2_CAP_STREAMING;
            capability->device_caps = capability->capabilities;
            return 0;
        }
        errno = EINVAL;
        return -1;
    }

    v4lconvert_data *m_data = nullptr;
    v4l2_format m_source{};
    v4l2_format m_target{};
    std::vector<uint8_t> m_output;
};

} // namespace varnolet::bench
