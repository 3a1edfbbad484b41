#include "JpegEncoder.h"

#include <climits>

#include <turbojpeg.h>

namespace varnolet {

JpegEncoder::JpegEncoder(int quality, Subsampling subsampling)
    : m_handle(tjInitCompress())
    , m_quality(quality < 1 ? 1 : (quality > 100 ? 100 : quality))
    , m_subsampling(subsampling)
{
}

JpegEncoder::~JpegEncoder()
{
    if (m_buffer)
        tjFree(m_buffer);
    if (m_handle)
        tjDestroy(m_handle);
}

int JpegEncoder::turboSubsampling() const
{
    return m_subsampling == Subsampling::Full444 ? TJSAMP_444 : TJSAMP_420;
}

int JpegEncoder::turboFlags()
{
    return TJFLAG_BOTTOMUP | TJFLAG_ACCURATEDCT | TJFLAG_NOREALLOC;
}

ImageResult JpegEncoder::encode(const uint8_t *bgrBottomUp, int width, int height)
{
    m_size = 0;
    m_scaled = false;
    if (!bgrBottomUp || width <= 0 || height <= 0)
        return ImageResult::failure(ImageStatus::InvalidParameter, "empty frame");
    if (!m_handle)
        return ImageResult::failure(ImageStatus::GenericError, tjGetErrorStr2(nullptr));

    const unsigned long needed = tjBufSize(width, height, turboSubsampling());
    if (needed == static_cast<unsigned long>(-1))
        return ImageResult::failure(ImageStatus::InvalidParameter, tjGetErrorStr2(nullptr));
    if (needed > static_cast<unsigned long>(INT_MAX))
        return ImageResult::failure(ImageStatus::OutOfMemory, "frame too large");
    if (needed > m_capacity) {
        if (m_buffer)
            tjFree(m_buffer);
        m_capacity = 0;
        m_buffer = tjAlloc(static_cast<int>(needed));
        if (!m_buffer)
            return ImageResult::failure(ImageStatus::OutOfMemory, "tjAlloc");
        m_capacity = needed;
    }

    unsigned long size = m_capacity;
    if (tjCompress2(m_handle, bgrBottomUp, width, width * 3, height, TJPF_BGR, &m_buffer, &size,
                    turboSubsampling(), m_quality, turboFlags()) != 0)
        return ImageResult::failure(ImageStatus::GenericError, tjGetErrorStr2(m_handle));
    m_size = size;
    if (m_scale) {
        std::optional<std::vector<uint8_t>> withScale =
            JpegScaleMetadata::apply(m_buffer, m_size, *m_scale);
        if (withScale) {
            m_withScale = std::move(*withScale);
            m_scaled = true;
        }
    }
    return ImageResult::success();
}

ImageResult JpegEncoder::save(const std::string &path, const uint8_t *bgrBottomUp, int width,
                              int height, AtomicFile::Mode mode)
{
    if (path.empty())
        return ImageResult::failure(ImageStatus::InvalidParameter, "empty path");
    ImageResult result = encode(bgrBottomUp, width, height);
    if (!result.ok())
        return result;
    const int error = AtomicFile::write(path, data(), size(), mode);
    if (error != 0)
        return ImageResult::failure(ImageStatus::SystemError, path, error);
    return result;
}

} // namespace varnolet
