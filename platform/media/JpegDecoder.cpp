#include "JpegDecoder.h"

#include <cerrno>
#include <algorithm>
#include <cstdio>
#include <vector>

#include <turbojpeg.h>

namespace varnolet {

JpegDecoder::JpegDecoder()
    : m_handle(tjInitDecompress())
{
}

JpegDecoder::~JpegDecoder()
{
    if (m_handle)
        tjDestroy(m_handle);
}

void JpegDecoder::scaledSize(int width, int height, int targetWidth, int targetHeight,
                             int &scaledWidth, int &scaledHeight)
{
    scaledWidth = width;
    scaledHeight = height;
    if (width <= 0 || height <= 0 || targetWidth <= 0 || targetHeight <= 0)
        return;
    // The picture fitted into the target keeps its aspect: the needed scale is the smaller
    // of the two ratios.
    const double needed = std::min(static_cast<double>(targetWidth) / width,
                                   static_cast<double>(targetHeight) / height);
    int count = 0;
    const tjscalingfactor *factors = tjGetScalingFactors(&count);
    double best = 1.0;
    for (int i = 0; i < count; ++i) {
        const double factor = static_cast<double>(factors[i].num) / factors[i].denom;
        if (factor >= needed && factor < best) {
            best = factor;
            scaledWidth = TJSCALED(width, factors[i]);
            scaledHeight = TJSCALED(height, factors[i]);
        }
    }
}

ImageResult JpegDecoder::readSize(const uint8_t *data, size_t size, int &width, int &height)
{
    width = height = 0;
    if (!data || size == 0 || size > kMaxFileBytes)
        return ImageResult::failure(ImageStatus::InvalidParameter, "empty data");
    if (!m_handle)
        return ImageResult::failure(ImageStatus::GenericError, tjGetErrorStr2(nullptr));
    int subsampling = 0;
    int colourspace = 0;
    if (tjDecompressHeader3(m_handle, data, static_cast<unsigned long>(size), &width, &height,
                            &subsampling, &colourspace) != 0 ||
        width <= 0 || height <= 0) {
        width = height = 0;
        return ImageResult::failure(ImageStatus::UnknownImageFormat, tjGetErrorStr2(m_handle));
    }
    return ImageResult::success();
}

ImageResult JpegDecoder::decodeInto(const uint8_t *data, size_t size, int targetWidth,
                                    int targetHeight, int pixelFormat, int flags,
                                    const std::function<uint8_t *(int, int, int &)> &allocate)
{
    int width = 0;
    int height = 0;
    ImageResult result = readSize(data, size, width, height);
    if (!result.ok())
        return result;
    if (static_cast<long long>(width) * height > kMaxPixels)
        return ImageResult::failure(ImageStatus::OutOfMemory, "picture too large");
    int scaledWidth = 0;
    int scaledHeight = 0;
    scaledSize(width, height, targetWidth, targetHeight, scaledWidth, scaledHeight);
    int pitch = scaledWidth * 3;
    uint8_t *target = allocate(scaledWidth, scaledHeight, pitch);
    if (!target)
        return ImageResult::failure(ImageStatus::OutOfMemory, "picture buffer");
    if (tjDecompress2(m_handle, data, static_cast<unsigned long>(size), target, scaledWidth, pitch,
                      scaledHeight, pixelFormat, flags) != 0) {
        // A warning (for example a truncated file) still leaves a usable picture.
        if (tjGetErrorCode(m_handle) != TJERR_WARNING)
            return ImageResult::failure(ImageStatus::UnknownImageFormat, tjGetErrorStr2(m_handle));
    }
    return ImageResult::success();
}

ImageResult JpegDecoder::decode(const uint8_t *data, size_t size, QImage &image, int targetWidth,
                                int targetHeight)
{
    image = QImage();
    QImage decoded;
    ImageResult result = decodeInto(data, size, targetWidth, targetHeight, TJPF_RGB, 0,
                                    [&decoded](int width, int height, int &pitch) -> uint8_t * {
                                        decoded = QImage(width, height, QImage::Format_RGB888);
                                        // Rows the library never writes (a fatal error after a
                                        // warning is reported as a warning) stay black, not
                                        // uninitialised memory.
                                        if (!decoded.isNull())
                                            decoded.fill(0);
                                        pitch = static_cast<int>(decoded.bytesPerLine());
                                        return decoded.isNull() ? nullptr : decoded.bits();
                                    });
    if (result.ok())
        image = decoded;
    return result;
}

ImageResult JpegDecoder::decode(const uint8_t *data, size_t size, BgrImage &image, bool bottomUp,
                                int targetWidth, int targetHeight)
{
    image = BgrImage();
    BgrImage decoded;
    decoded.bottomUp = bottomUp;
    ImageResult result =
        decodeInto(data, size, targetWidth, targetHeight, TJPF_BGR, bottomUp ? TJFLAG_BOTTOMUP : 0,
                   [&decoded](int width, int height, int &pitch) -> uint8_t * {
                       pitch = width * 3;
                       decoded.width = width;
                       decoded.height = height;
                       decoded.pixels.resize(static_cast<size_t>(width) * height * 3);
                       return decoded.pixels.data();
                   });
    if (result.ok())
        image = std::move(decoded);
    return result;
}

ImageResult JpegDecoder::readFile(const std::string &path, std::vector<uint8_t> &bytes)
{
    bytes.clear();
    FILE *file = std::fopen(path.c_str(), "rbe");
    if (!file)
        return ImageResult::failure(
            errno == ENOENT ? ImageStatus::FileNotFound : ImageStatus::SystemError, path, errno);
    uint8_t chunk[65536];
    size_t got = 0;
    bool tooLarge = false;
    while ((got = std::fread(chunk, 1, sizeof chunk, file)) > 0) {
        if (bytes.size() + got > kMaxFileBytes) {
            tooLarge = true;
            break;
        }
        bytes.insert(bytes.end(), chunk, chunk + got);
    }
    const bool readError = std::ferror(file) != 0;
    const int error = errno;
    std::fclose(file);
    if (tooLarge) {
        bytes.clear();
        return ImageResult::failure(ImageStatus::OutOfMemory, "file too large");
    }
    if (readError) {
        bytes.clear();
        return ImageResult::failure(ImageStatus::SystemError, path, error);
    }
    return ImageResult::success();
}

ImageResult JpegDecoder::decodeFile(const std::string &path, QImage &image, int targetWidth,
                                    int targetHeight)
{
    image = QImage();
    std::vector<uint8_t> bytes;
    const ImageResult read = readFile(path, bytes);
    if (!read.ok())
        return read;
    return decode(bytes.data(), bytes.size(), image, targetWidth, targetHeight);
}

} // namespace varnolet
