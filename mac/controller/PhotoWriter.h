#pragma once

#include <memory>
#include <mutex>
#include <string>

#include "mac/controller/PixelBuffer.h"
#include "platform/measure/PhotoAnnotationSlot.h"

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

    // 0 or an errno (EINVAL for an empty frame, EIO when encoding failed). The photo carries
    // the annotation current in annotations().
    virtual int writeJpeg(const varnolet::BgrImage &frame, const std::string &path);

    // Where the live picture's measuring state publishes the scale of the photos.
    varnolet::PhotoAnnotationSlot &annotations() { return m_annotations; }

private:
    varnolet::PhotoAnnotationSlot m_annotations;
    std::mutex m_lock; // guards m_encoder
    std::unique_ptr<varnolet::JpegEncoder> m_encoder;
};
