#include "ThumbnailDecoder.h"

#include "ThumbnailLayout.h"

#include "platform/media/JpegDecoder.h"

#include <fstream>
#include <vector>

namespace {

bool ReadWholeFile(const std::string &path, std::vector<uint8_t> &bytes)
{
    std::ifstream in(path, std::ios::binary | std::ios::ate);
    if (!in)
        return false;
    const std::streamoff size = in.tellg();
    if (size <= 0 || static_cast<uint64_t>(size) > varnolet::JpegDecoder::kMaxFileBytes)
        return false;
    bytes.resize(static_cast<size_t>(size));
    in.seekg(0);
    return static_cast<bool>(in.read(reinterpret_cast<char *>(bytes.data()), size));
}

// The decoded picture scaled to its place in the box, in the format painting is fastest with.
Thumbnail Fitted(const QImage &image, int boxWidth, QSize sourceSize, bool movie)
{
    Thumbnail thumbnail;
    const QSize size =
        ThumbnailLayout::PictureSize(sourceSize.width(), sourceSize.height(), boxWidth);
    if (image.isNull() || size.isEmpty())
        return thumbnail;
    QImage picture = image.convertToFormat(QImage::Format_RGB32);
    if (picture.size() != size)
        picture = picture.scaled(size, Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
    thumbnail.decoded = true;
    thumbnail.movie = movie;
    thumbnail.sourceSize = sourceSize;
    thumbnail.picture = std::move(picture);
    return thumbnail;
}

} // namespace

ThumbnailDecoder::ThumbnailDecoder(varnolet::ThumbnailHelperClient::Options helper)
    : m_jpeg(std::make_unique<varnolet::JpegDecoder>())
    , m_helper(std::move(helper))
{
}

ThumbnailDecoder::~ThumbnailDecoder() = default;

QImage ThumbnailDecoder::MovieFirstFrame(const std::string &path)
{
    varnolet::ThumbnailHelperClient helper;
    const auto result =
        helper.firstFrame(path, varnolet::FrameFit{varnolet::ThumbnailProtocol::kMaxBoxSide,
                                                   varnolet::ThumbnailProtocol::kMaxBoxSide});
    if (result.status < 0 || result.picture.isEmpty())
        return {};
    return result.picture.toQImage();
}

Thumbnail ThumbnailDecoder::Decode(const std::string &path, int boxWidth)
{
    if (path.find(".jpg") != std::string::npos) {
        std::vector<uint8_t> bytes;
        if (!ReadWholeFile(path, bytes))
            return {};
        int width = 0;
        int height = 0;
        if (!m_jpeg->readSize(bytes.data(), bytes.size(), width, height).ok())
            return {};
        const QSize target = ThumbnailLayout::PictureSize(width, height, boxWidth);
        if (target.isEmpty())
            return {};
        QImage image;
        if (!m_jpeg->decode(bytes.data(), bytes.size(), image, target.width(), target.height())
                 .ok())
            return {};
        return Fitted(image, boxWidth, QSize(width, height), false);
    }
    if (path.find(".avi") != std::string::npos) {
        const auto result =
            m_helper.firstFrame(path, varnolet::FrameFit{boxWidth, ThumbnailLayout::kBoxHeight});
        if (result.status < 0 || result.picture.isEmpty())
            return {};
        return Fitted(result.picture.toQImage(), boxWidth,
                      QSize(result.sourceWidth, result.sourceHeight), true);
    }
    return {};
}
