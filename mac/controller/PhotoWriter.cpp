#include "PhotoWriter.h"

#include <cerrno>

#include "platform/media/JpegEncoder.h"
#include "platform/measure/PhotoAnnotation.h"

PhotoWriter::PhotoWriter()
    : m_encoder(std::make_unique<varnolet::JpegEncoder>(100))
{
}

PhotoWriter::~PhotoWriter() = default;

int PhotoWriter::writeJpeg(const varnolet::BgrImage &frame, const std::string &path)
{
    if (frame.isEmpty() || frame.pixels.size() < static_cast<size_t>(frame.stride()) * frame.height)
        return EINVAL;
    std::lock_guard lock(m_lock);
    varnolet::BgrImage upright;
    const varnolet::BgrImage *source = &frame;
    if (!frame.bottomUp) { // the encoder reads bottom-up rows
        upright = frame;
        upright.bottomUp = true;
        for (int y = 0; y < frame.height; ++y)
            std::copy(frame.row(y), frame.row(y) + frame.stride(),
                      upright.pixels.begin() +
                          static_cast<ptrdiff_t>(frame.height - 1 - y) * frame.stride());
        source = &upright;
    }
    // The scale of a calibrated picture in the metadata, and on request drawn in.
    const auto annotation = m_annotations.current();
    m_encoder->setScaleInfo(annotation ? annotation->scaleInfo(frame.width, frame.height)
                                       : std::nullopt);
    if (annotation && annotation->burnIn) {
        if (source != &upright)
            upright = frame;
        annotation->apply(upright.pixels.data(), upright.width, upright.height);
        source = &upright;
    }
    const varnolet::ImageResult result =
        m_encoder->save(path, source->pixels.data(), source->width, source->height);
    if (result.ok())
        return 0;
    if (result.status == varnolet::ImageStatus::SystemError && result.systemError != 0)
        return result.systemError;
    return result.status == varnolet::ImageStatus::InvalidParameter ? EINVAL : EIO;
}
