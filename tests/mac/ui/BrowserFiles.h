#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include <QColor>
#include <QImage>

class QModelIndex;
class QTreeView;

namespace browsertest {

// A photo whose top-left quarter is red and the rest blue, as a JPEG (quality 100).
std::vector<uint8_t> makeJpeg(int width, int height);
// The same picture as a PNG.
std::vector<uint8_t> makePng(int width, int height);
// Any picture as a JPEG (quality 100).
std::vector<uint8_t> encodeJpeg(const QImage &picture);
void writeBytes(const std::string &path, const std::vector<uint8_t> &bytes);
// A QuickTime movie of `frames` frames of the quartered picture.
void writeMovie(const std::string &path, int width, int height, int frames);
void writeMovie(const std::string &path, const QImage &picture, int frames);

// A left click (press and release) in the middle of the row.
void clickRow(QTreeView *view, const QModelIndex &index);

// True when the colour is mostly red / mostly blue.
bool isRed(QRgb pixel);
bool isBlue(QRgb pixel);

} // namespace browsertest
