#include "BrowserFiles.h"

#include <cstdlib>
#include <fstream>

#include <gtest/gtest.h>

#include <QApplication>
#include <QBuffer>
#include <QMouseEvent>
#include <QTreeView>

#include "platform/media/JpegEncoder.h"
#include "platform/media/QuickTimeMovieWriter.h"

namespace browsertest {

namespace {

// Bottom-up BGR rows of a picture.
std::vector<uint8_t> bottomUpBgr(const QImage &picture)
{
    const QImage rgb = picture.convertToFormat(QImage::Format_RGB888);
    std::vector<uint8_t> bgr(static_cast<size_t>(rgb.width()) * rgb.height() * 3);
    for (int y = 0; y < rgb.height(); ++y) {
        const uint8_t *from = rgb.constScanLine(y);
        uint8_t *to = bgr.data() + static_cast<size_t>(rgb.height() - 1 - y) * rgb.width() * 3;
        for (int x = 0; x < rgb.width(); ++x) {
            to[3 * x + 0] = from[3 * x + 2];
            to[3 * x + 1] = from[3 * x + 1];
            to[3 * x + 2] = from[3 * x + 0];
        }
    }
    return bgr;
}

// Bottom-up BGR rows of the quartered picture.
std::vector<uint8_t> quartered(int width, int height)
{
    std::vector<uint8_t> bgr(static_cast<size_t>(width) * height * 3);
    for (int y = 0; y < height; ++y) {
        uint8_t *row = bgr.data() + static_cast<size_t>(height - 1 - y) * width * 3;
        for (int x = 0; x < width; ++x) {
            const bool red = x < width / 2 && y < height / 2;
            row[3 * x + 0] = red ? 30 : 220;
            row[3 * x + 1] = 30;
            row[3 * x + 2] = red ? 220 : 30;
        }
    }
    return bgr;
}

} // namespace

std::vector<uint8_t> makeJpeg(int width, int height)
{
    const std::vector<uint8_t> bgr = quartered(width, height);
    varnolet::JpegEncoder encoder;
    EXPECT_TRUE(encoder.encode(bgr.data(), width, height).ok());
    return std::vector<uint8_t>(encoder.data(), encoder.data() + encoder.size());
}

std::vector<uint8_t> encodeJpeg(const QImage &picture)
{
    const std::vector<uint8_t> bgr = bottomUpBgr(picture);
    varnolet::JpegEncoder encoder;
    EXPECT_TRUE(encoder.encode(bgr.data(), picture.width(), picture.height()).ok());
    return std::vector<uint8_t>(encoder.data(), encoder.data() + encoder.size());
}

std::vector<uint8_t> makePng(int width, int height)
{
    QImage image(width, height, QImage::Format_RGB32);
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x)
            image.setPixel(x, y,
                           x < width / 2 && y < height / 2 ? qRgb(220, 30, 30) : qRgb(30, 30, 220));
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    EXPECT_TRUE(image.save(&buffer, "PNG"));
    return std::vector<uint8_t>(bytes.begin(), bytes.end());
}

void writeBytes(const std::string &path, const std::vector<uint8_t> &bytes)
{
    std::ofstream out(path, std::ios::binary);
    out.write(reinterpret_cast<const char *>(bytes.data()),
              static_cast<std::streamsize>(bytes.size()));
    ASSERT_TRUE(out.good()) << path;
}

void writeMovie(const std::string &path, int width, int height, int frames)
{
    const std::vector<uint8_t> bgr = quartered(width, height);
    varnolet::QuickTimeMovieWriter writer;
    ASSERT_EQ(writer.start(path), 0) << path;
    for (int i = 0; i < frames; ++i)
        ASSERT_EQ(writer.addFrame(bgr.data(), width, height, true), 0);
    ASSERT_EQ(writer.finish(-1), 0) << path;
}

void writeMovie(const std::string &path, const QImage &picture, int frames)
{
    const std::vector<uint8_t> bgr = bottomUpBgr(picture);
    varnolet::QuickTimeMovieWriter writer;
    ASSERT_EQ(writer.start(path), 0) << path;
    for (int i = 0; i < frames; ++i)
        ASSERT_EQ(writer.addFrame(bgr.data(), picture.width(), picture.height(), true), 0);
    ASSERT_EQ(writer.finish(-1), 0) << path;
}

void clickRow(QTreeView *view, const QModelIndex &index)
{
    const QPoint at = view->visualRect(index).center();
    QMouseEvent press(QEvent::MouseButtonPress, at, view->viewport()->mapToGlobal(at),
                      Qt::LeftButton, Qt::LeftButton, Qt::NoModifier);
    QMouseEvent release(QEvent::MouseButtonRelease, at, view->viewport()->mapToGlobal(at),
                        Qt::LeftButton, Qt::NoButton, Qt::NoModifier);
    QApplication::sendEvent(view->viewport(), &press);
    QApplication::sendEvent(view->viewport(), &release);
}

bool isRed(QRgb pixel)
{
    return qRed(pixel) > 150 && qBlue(pixel) < 110;
}

bool isBlue(QRgb pixel)
{
    return qBlue(pixel) > 150 && qRed(pixel) < 110;
}

} // namespace browsertest
