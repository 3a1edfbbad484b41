#pragma once

#include <memory>
#include <mutex>
#include <string>

#include "mac/controller/PixelBuffer.h"

namespace varnolet {
class JpegEncoder;
}

// Writes a frame as a JPEG photo at quality 100 (best). The final path holds either the
// whole file or nothing: a failed write never leaves a partial or empty photo behind, and
// an existing file is never replaced. Callable from any thread.
class PhotoWriter
{
public:
    PhotoWriter();
    virtual ~PhotoWriter();
    PhotoWriter(const PhotoWriter &) = delete;
    PhotoWriter &operator=(const PhotoWriter &) = delete;

    // 0 or an errno (EINVAL for an empty frame, EIO when encoding failed).
    virtual int writeJpeg(const varnolet::BgrImage &frame, const std::string &path);

private:
    std::mutex m_lock; // guards m_encoder
    std::unique_ptr<varnolet::JpegEncoder> m_encoder;
};
