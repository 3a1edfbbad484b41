#pragma once

#include "ThumbnailCache.h"

#include "platform/thumbnail/ThumbnailHelperClient.h"

#include <memory>
#include <string>

#include <QImage>

namespace varnolet {
class JpegDecoder;
}

// Turns a file of the column into its row picture: JPEGs are decoded with DCT scaling
// close to the size they are drawn at, movies give their first frame, made by the sandboxed
// thumbnail helper; either is then scaled smoothly to its size in the box. One decoder per
// thread (each has its own helper).
class ThumbnailDecoder
{
public:
    explicit ThumbnailDecoder(varnolet::ThumbnailHelperClient::Options helper = {});
    ~ThumbnailDecoder();
    ThumbnailDecoder(const ThumbnailDecoder &) = delete;
    ThumbnailDecoder &operator=(const ThumbnailDecoder &) = delete;

    // A path containing ".jpg" is read as a photo, otherwise one containing ".avi" as a
    // movie; anything else, or a file that does not decode, gives decoded = false.
    Thumbnail Decode(const std::string &path, int boxWidth);

    // The first frame of a movie, upright, from a helper of its own; a null image when
    // there is none.
    static QImage MovieFirstFrame(const std::string &path);

private:
    std::unique_ptr<varnolet::JpegDecoder> m_jpeg;
    varnolet::ThumbnailHelperClient m_helper;
};
