#include "FrameConverter.h"

#include "CameraFormatPolicy.h"

#include <algorithm>
#include <cerrno>
#include <cstring>

#include <libv4l-plugin.h>
#include <libv4lconvert.h>
#include <linux/videodev2.h>
#include <turbojpeg.h>

namespace varnolet {

namespace {

// Device operations for a converter without a device: it answers the capability query
// libv4lconvert makes when it is created and refuses everything else.
int memoryIoctl(void *, int, unsigned long request, void *argument)
{
    if (request == VIDIOC_QUERYCAP) {
        auto *capability = static_cast<v4l2_capability *>(argument);
        std::memset(capability, 0, sizeof *capability);
        std::strncpy(reinterpret_cast<char *>(capability->driver), "varnolet",
                     sizeof capability->driver - 1);
        std::strncpy(reinterpret_cast<char *>(capability->card), "memory",
                     sizeof capability->card - 1);
        capability->capabilities = V4L2_CAP_VIDEO_CAPTURE | V4L2_CAP_STREAMING;
        capability->device_caps = capability->capabilities;
        return 0;
    }
    errno = EINVAL;
    return -1;
}

const libv4l_dev_ops *memoryOps()
{
    static const libv4l_dev_ops ops = [] {
        libv4l_dev_ops o{};
        o.ioctl = memoryIoctl;
        return o;
    }();
    return &ops;
}

uint32_t packedBytesPerLine(uint32_t pixelFormat, int width)
{
    switch (pixelFormat) {
    case V4L2_PIX_FMT_YUYV:
    case V4L2_PIX_FMT_YVYU:
    case V4L2_PIX_FMT_UYVY:
    case V4L2_PIX_FMT_RGB565:
        return static_cast<uint32_t>(width) * 2;
    case V4L2_PIX_FMT_RGB24:
    case V4L2_PIX_FMT_BGR24:
        return static_cast<uint32_t>(width) * 3;
    case V4L2_PIX_FMT_MJPEG:
    case V4L2_PIX_FMT_JPEG:
        return 0;
    default: // planar and 8-bit formats: one byte per pixel in the first plane
        return static_cast<uint32_t>(width);
    }
}

uint32_t imageSize(uint32_t pixelFormat, int width, int height, uint32_t bytesPerLine)
{
    const auto pixels = static_cast<uint32_t>(width) * static_cast<uint32_t>(height);
    switch (pixelFormat) {
    case V4L2_PIX_FMT_NV12:
    case V4L2_PIX_FMT_NV21:
    case V4L2_PIX_FMT_YUV420:
    case V4L2_PIX_FMT_YVU420:
        return pixels * 3 / 2;
    case V4L2_PIX_FMT_NV16:
    case V4L2_PIX_FMT_NV61:
        return pixels * 2;
    case V4L2_PIX_FMT_MJPEG:
    case V4L2_PIX_FMT_JPEG:
        return pixels * 3; // an upper bound; compressed frames are shorter
    default:
        return bytesPerLine * static_cast<uint32_t>(height);
    }
}

} // namespace

bool FrameConverter::rowsAreIndependent(uint32_t pixelFormat)
{
    switch (pixelFormat) {
    case V4L2_PIX_FMT_YUYV:
    case V4L2_PIX_FMT_YVYU:
    case V4L2_PIX_FMT_UYVY:
    case V4L2_PIX_FMT_RGB24:
    case V4L2_PIX_FMT_RGB565:
    case V4L2_PIX_FMT_GREY:
        return true;
    default:
        return false;
    }
}

void FrameConverter::Deleter::operator()(v4lconvert_data *data) const
{
    v4lconvert_destroy(data);
}

FrameConverter::FrameConverter(int deviceFd)
    : m_convert(deviceFd >= 0 ? v4lconvert_create(deviceFd)
                              : v4lconvert_create_with_dev_ops(-1, nullptr, memoryOps()))
{
}

FrameConverter::~FrameConverter()
{
    if (m_jpeg)
        tjDestroy(m_jpeg);
}

void FrameConverter::setReducedSize(int minimumWidth, int minimumHeight)
{
    m_minimumWidth = std::max(0, minimumWidth);
    m_minimumHeight = std::max(0, minimumHeight);
}

void FrameConverter::reducedSize(int width, int height, int minimumWidth, int minimumHeight,
                                 int &reducedWidth, int &reducedHeight)
{
    reducedWidth = width;
    reducedHeight = height;
    if (minimumWidth <= 0 || minimumHeight <= 0)
        return;
    // libjpeg's fast reduced inverse DCTs; a scaled side is rounded up, as the library does.
    for (const int divisor : {8, 4, 2}) {
        const int w = (width + divisor - 1) / divisor;
        const int h = (height + divisor - 1) / divisor;
        if (w >= minimumWidth && h >= minimumHeight) {
            reducedWidth = w;
            reducedHeight = h;
            return;
        }
    }
}

int FrameConverter::configure(uint32_t pixelFormat, int width, int height, uint32_t bytesPerLine,
                              uint32_t sizeImage)
{
    if (width <= 0 || height <= 0 || width > 16384 || height > 16384 ||
        !CameraFormatPolicy::isConvertible(pixelFormat))
        return -EINVAL;
    if (pixelFormat != V4L2_PIX_FMT_BGR24 && !m_convert)
        return -ENOMEM;
    m_pixelFormat = pixelFormat;
    m_width = width;
    m_height = height;
    m_outputWidth = width;
    m_outputHeight = height;
    m_directJpeg = DirectJpeg::Untried;
    m_directJpegChecks = 0;
    m_bytesPerLine = bytesPerLine ? bytesPerLine : packedBytesPerLine(pixelFormat, width);
    m_sizeImage = sizeImage ? sizeImage : imageSize(pixelFormat, width, height, m_bytesPerLine);
    const size_t frameBytes = static_cast<size_t>(width) * static_cast<size_t>(height) * 3;
    m_output.resize(frameBytes);
    const size_t stripBytes =
        static_cast<size_t>(width) * 3 * static_cast<size_t>(std::min(kStripRows, height));
    m_scratch.resize(pixelFormat == V4L2_PIX_FMT_BGR24 ? 0
                     : rowsAreIndependent(pixelFormat) ? stripBytes
                                                       : frameBytes);
    return 0;
}

void FrameConverter::flipInto(const uint8_t *topDown)
{
    const size_t row = static_cast<size_t>(m_width) * 3;
    uint8_t *target = m_output.data() + row * static_cast<size_t>(m_height - 1);
    for (int y = 0; y < m_height; ++y) {
        std::memcpy(target, topDown, row);
        topDown += row;
        target -= row;
    }
}

int FrameConverter::convert(const uint8_t *source, size_t length)
{
    if (m_width == 0)
        return -EINVAL;
    if (!source || length == 0)
        return -EINVAL;

    if (m_pixelFormat == V4L2_PIX_FMT_BGR24) {
        const size_t row = static_cast<size_t>(m_width) * 3;
        const size_t stride = m_bytesPerLine ? m_bytesPerLine : row;
        if (length < stride * static_cast<size_t>(m_height - 1) + row)
            return -EAGAIN;
        if (stride == row) {
            flipInto(source);
        } else {
            uint8_t *target = m_output.data() + row * static_cast<size_t>(m_height - 1);
            for (int y = 0; y < m_height; ++y, source += stride, target -= row)
                std::memcpy(target, source, row);
        }
        return 0;
    }

    m_outputWidth = m_width;
    m_outputHeight = m_height;
    if (m_pixelFormat == V4L2_PIX_FMT_MJPEG || m_pixelFormat == V4L2_PIX_FMT_JPEG)
        return convertJpeg(source, length);
    return convertWithLibv4lconvert(source, length);
}

int FrameConverter::convertJpeg(const uint8_t *source, size_t length)
{
    if (m_directJpeg == DirectJpeg::Same) {
        int width = m_width;
        int height = m_height;
        reducedSize(m_width, m_height, m_minimumWidth, m_minimumHeight, width, height);
        if (decodeJpegDirect(source, length, width, height) == 0)
            return 0;
        // A frame libturbojpeg finds fault with: libv4lconvert decides whether it is usable.
        m_outputWidth = m_width;
        m_outputHeight = m_height;
        return convertWithLibv4lconvert(source, length);
    }
    const int result = convertWithLibv4lconvert(source, length);
    if (result != 0 || m_directJpeg == DirectJpeg::Differs)
        return result;
    // A frame libturbojpeg only warns about (stray bytes some cameras add) proves nothing
    // either way; after a few such frames the stream keeps libv4lconvert.
    if (++m_directJpegChecks > kDirectJpegChecks) {
        m_directJpeg = DirectJpeg::Differs;
        return 0;
    }
    // The stream's first good frame: does libv4lconvert give exactly what the library gives
    // (no flip, rotation or colour processing for this device)? Decoded top-down, as
    // libv4lconvert's picture still is in the scratch buffer.
    std::vector<uint8_t> direct(m_scratch.size());
    const bool decoded = (m_jpeg || (m_jpeg = tjInitDecompress())) &&
                         tjDecompress2(m_jpeg, source, static_cast<unsigned long>(length),
                                       direct.data(), m_width, 0, m_height, TJPF_BGR, 0) == 0;
    if (decoded)
        m_directJpeg = direct == m_scratch ? DirectJpeg::Same : DirectJpeg::Differs;
    return 0;
}

int FrameConverter::decodeJpegDirect(const uint8_t *source, size_t length, int width, int height)
{
    if (!m_jpeg)
        return -1;
    int jpegWidth = 0;
    int jpegHeight = 0;
    int subsampling = 0;
    int colourspace = 0;
    if (tjDecompressHeader3(m_jpeg, source, static_cast<unsigned long>(length), &jpegWidth,
                            &jpegHeight, &subsampling, &colourspace) != 0 ||
        jpegWidth != m_width || jpegHeight != m_height)
        return -1;
    // Warnings (corrupt or cut data) count as failures here: libv4lconvert then judges.
    if (tjDecompress2(m_jpeg, source, static_cast<unsigned long>(length), m_output.data(), width, 0,
                      height, TJPF_BGR, TJFLAG_BOTTOMUP) != 0)
        return -1;
    m_outputWidth = width;
    m_outputHeight = height;
    return 0;
}

int FrameConverter::convertWithLibv4lconvert(const uint8_t *source, size_t length)
{
    v4l2_format sourceFormat{};
    sourceFormat.type = V4L2_BUF_TYPE_VIDEO_CAPTURE;
    sourceFormat.fmt.pix.width = static_cast<uint32_t>(m_width);
    sourceFormat.fmt.pix.height = static_cast<uint32_t>(m_height);
    sourceFormat.fmt.pix.pixelformat = m_pixelFormat;
    sourceFormat.fmt.pix.field = V4L2_FIELD_NONE;
    sourceFormat.fmt.pix.bytesperline = m_bytesPerLine;
    sourceFormat.fmt.pix.sizeimage = m_sizeImage;
    v4l2_format targetFormat = sourceFormat;
    targetFormat.fmt.pix.pixelformat = V4L2_PIX_FMT_BGR24;
    targetFormat.fmt.pix.bytesperline = static_cast<uint32_t>(m_width) * 3;

    if (rowsAreIndependent(m_pixelFormat))
        return convertInStrips(source, length, sourceFormat, targetFormat);

    targetFormat.fmt.pix.sizeimage = static_cast<uint32_t>(m_scratch.size());
    const int written = v4lconvert_convert(m_convert.get(), &sourceFormat, &targetFormat,
                                           const_cast<uint8_t *>(source), static_cast<int>(length),
                                           m_scratch.data(), static_cast<int>(m_scratch.size()));
    if (written < 0) {
        const int error = errno ? errno : EIO;
        m_lastError = v4lconvert_get_error_message(m_convert.get());
        return error == EAGAIN ? -EAGAIN : -error;
    }
    if (static_cast<size_t>(written) < m_scratch.size()) {
        m_lastError = "short frame";
        return -EAGAIN;
    }
    flipInto(m_scratch.data());
    return 0;
}

int FrameConverter::convertInStrips(const uint8_t *source, size_t length, v4l2_format &sourceFormat,
                                    v4l2_format &targetFormat)
{
    // Packed formats convert row by row, so a strip of rows at a time goes through a small
    // scratch buffer that stays in the cache while it is copied to its bottom-up place.
    const size_t sourceRow = m_bytesPerLine;
    if (sourceRow == 0 || length < sourceRow * static_cast<size_t>(m_height)) {
        m_lastError = "short frame";
        return -EAGAIN;
    }
    const size_t row = static_cast<size_t>(m_width) * 3;
    for (int top = 0; top < m_height; top += kStripRows) {
        const int rows = std::min(kStripRows, m_height - top);
        sourceFormat.fmt.pix.height = static_cast<uint32_t>(rows);
        sourceFormat.fmt.pix.sizeimage =
            static_cast<uint32_t>(sourceRow * static_cast<size_t>(rows));
        targetFormat.fmt.pix.height = static_cast<uint32_t>(rows);
        targetFormat.fmt.pix.sizeimage = static_cast<uint32_t>(row * static_cast<size_t>(rows));
        const int written =
            v4lconvert_convert(m_convert.get(), &sourceFormat, &targetFormat,
                               const_cast<uint8_t *>(source + sourceRow * static_cast<size_t>(top)),
                               static_cast<int>(sourceFormat.fmt.pix.sizeimage), m_scratch.data(),
                               static_cast<int>(targetFormat.fmt.pix.sizeimage));
        if (written < 0) {
            const int error = errno ? errno : EIO;
            m_lastError = v4lconvert_get_error_message(m_convert.get());
            return -error;
        }
        const uint8_t *strip = m_scratch.data();
        uint8_t *target = m_output.data() + row * static_cast<size_t>(m_height - 1 - top);
        for (int i = 0; i < rows; ++i, strip += row, target -= row)
            std::memcpy(target, strip, row);
    }
    return 0;
}

} // namespace varnolet
