#pragma once

#include "BgrImage.h"
#include "ImageStatus.h"

#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include <QImage>

namespace varnolet {

// JPEG decoding with libturbojpeg for thumbnails and checks. When a target size is given,
// the decoder lets the library scale while decoding (DCT scaling, 1/8 to 1) and picks the
// smallest scale whose result still covers the target fitted into the picture's aspect, so
// the caller's final smooth scaling only ever shrinks. Target 0 × 0 decodes at full size.
// Not thread-safe: one decoder per thread.
class JpegDecoder
{
public:
    JpegDecoder();
    ~JpegDecoder();
    JpegDecoder(const JpegDecoder &) = delete;
    JpegDecoder &operator=(const JpegDecoder &) = delete;

    // Picture size from the header only.
    ImageResult readSize(const uint8_t *data, size_t size, int &width, int &height);

    // Upright RGB picture (QImage::Format_RGB888).
    ImageResult decode(const uint8_t *data, size_t size, QImage &image, int targetWidth = 0,
                       int targetHeight = 0);
    // BGR picture in the requested row order.
    ImageResult decode(const uint8_t *data, size_t size, BgrImage &image, bool bottomUp,
                       int targetWidth = 0, int targetHeight = 0);

    ImageResult decodeFile(const std::string &path, QImage &image, int targetWidth = 0,
                           int targetHeight = 0);
    // The whole file (at most kMaxFileBytes; larger files are refused).
    static ImageResult readFile(const std::string &path, std::vector<uint8_t> &bytes);

    // The scaled size the decoder would produce for a picture and a target.
    static void scaledSize(int width, int height, int targetWidth, int targetHeight,
                           int &scaledWidth, int &scaledHeight);

    // Files larger than this are not read (a broken or hostile file must not exhaust memory).
    static constexpr size_t kMaxFileBytes = 256u * 1024u * 1024u;
    // Pictures with more pixels than this are refused before any allocation.
    static constexpr long long kMaxPixels = 100LL * 1000 * 1000;

private:
    // allocate(width, height, pitch) answers the destination and may change the row pitch
    // (3 × width bytes on entry).
    ImageResult decodeInto(const uint8_t *data, size_t size, int targetWidth, int targetHeight,
                           int pixelFormat, int flags,
                           const std::function<uint8_t *(int, int, int &)> &allocate);

    void *m_handle = nullptr; // tjhandle
};

} // namespace varnolet
