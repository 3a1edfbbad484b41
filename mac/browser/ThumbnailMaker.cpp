#include "ThumbnailMaker.h"

#include <algorithm>
#include <cmath>
#include <vector>

#include <QBuffer>
#include <QByteArray>
#include <QImageReader>

#include "platform/media/ExifOrientation.h"

ThumbnailMaker::ThumbnailMaker(varnolet::ThumbnailHelperOptions helper)
    : m_helper(std::move(helper))
{
}

QSize ThumbnailMaker::thumbnailSize(QSize pictureSize)
{
    const int width = pictureSize.width();
    const int height = pictureSize.height();
    if (width <= 0 || height <= 0)
        return {};
    const int longer = std::max(width, height);
    if (longer <= kMaxSide)
        return pictureSize;
    const double scale = static_cast<double>(kMaxSide) / longer;
    return QSize(std::max(1, static_cast<int>(std::lround(width * scale))),
                 std::max(1, static_cast<int>(std::lround(height * scale))));
}

QImage ThumbnailMaker::fitted(const QImage &picture)
{
    if (picture.isNull())
        return {};
    const QSize size = thumbnailSize(picture.size());
    QImage image = picture.hasAlphaChannel()
                       ? picture.convertToFormat(QImage::Format_ARGB32_Premultiplied)
                       : picture.convertToFormat(QImage::Format_RGB32);
    if (image.size() != size)
        image = image.scaled(size, Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
    return image;
}

QImage ThumbnailMaker::imageThumbnail(const std::string &path)
{
    std::vector<uint8_t> bytes;
    if (!varnolet::JpegDecoder::readFile(path, bytes).ok() || bytes.empty())
        return {};
    if (bytes.size() >= 3 && bytes[0] == 0xFF && bytes[1] == 0xD8 && bytes[2] == 0xFF) {
        int width = 0;
        int height = 0;
        if (!m_jpeg.readSize(bytes.data(), bytes.size(), width, height).ok())
            return {};
        // Decoded scaled to just cover the thumbnail, then brought to it smoothly; the
        // orientation is applied to the small picture.
        const QSize target = thumbnailSize(QSize(width, height));
        QImage decoded;
        if (!m_jpeg.decode(bytes.data(), bytes.size(), decoded, target.width(), target.height())
                 .ok())
            return {};
        QImage thumbnail = decoded.convertToFormat(QImage::Format_RGB32);
        if (thumbnail.size() != target)
            thumbnail = thumbnail.scaled(target, Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
        return varnolet::ExifOrientation::applied(
            thumbnail, varnolet::ExifOrientation::fromJpeg(bytes.data(), bytes.size()));
    }
    QByteArray data = QByteArray::fromRawData(reinterpret_cast<const char *>(bytes.data()),
                                              static_cast<qsizetype>(bytes.size()));
    QBuffer buffer(&data);
    buffer.open(QIODevice::ReadOnly);
    QImageReader reader(&buffer);
    reader.setAutoTransform(true);
    QImage picture;
    if (!reader.read(&picture))
        return {};
    return fitted(picture);
}

QImage ThumbnailMaker::movieThumbnail(const std::string &path)
{
    const auto result = m_helper.firstFrame(path, varnolet::FrameFit{kMaxSide, kMaxSide});
    if (result.status < 0 || result.picture.isEmpty())
        return {};
    return fitted(result.picture.toQImage());
}
