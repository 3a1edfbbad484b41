#pragma once

#include <string>

#include <QImage>
#include <QSize>

#include "platform/media/JpegDecoder.h"
#include "platform/thumbnail/ThumbnailHelperClient.h"

// Makes the thumbnails of the resource browser: at most kMaxSide pixels on the longer side,
// upright, always from the full picture. JPEG files (recognised by their content) are
// decoded by libturbojpeg scaled while decoding and turned by their Exif orientation; other
// pictures (PNG) go through Qt's image reader with the orientation they record applied.
// A movie gives its first frame, made by the sandboxed thumbnail helper (started at the
// first movie). Anything unreadable gives a null image. Photos stay in the program:
// libturbojpeg's scaled decode is the hot path of a folder of photos, and one copy of each
// picture through a socket would cost more than the decode itself.
// Not thread-safe: one maker per thread.
class ThumbnailMaker
{
public:
    static constexpr int kMaxSide = 100;

    explicit ThumbnailMaker(varnolet::ThumbnailHelperOptions helper = {});

    QImage imageThumbnail(const std::string &path);
    QImage movieThumbnail(const std::string &path);

    // The size of a picture of the given size with its longer side brought down to
    // kMaxSide (never enlarged; each side at least 1).
    static QSize thumbnailSize(QSize pictureSize);
    // The picture scaled smoothly to thumbnailSize.
    static QImage fitted(const QImage &picture);

private:
    varnolet::JpegDecoder m_jpeg;
    varnolet::ThumbnailHelperClient m_helper;
};
