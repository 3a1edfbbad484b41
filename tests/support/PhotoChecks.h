#pragma once

#include <string>

#include <QImage>
#include <QJsonObject>

namespace varnolet::test {

// Whether exiftool (Debian's libimage-exiftool-perl) can be run.
bool haveExiftool();
// What exiftool reads from a file, numbers as numbers and tags named by group
// ("IFD0:XResolution", "JFIF:ResolutionUnit"); empty when it could not read it.
QJsonObject exiftoolTags(const std::string &path);
// The longest run of near-white pixels along row y of a picture, and where it ends.
int longestWhiteRun(const QImage &image, int y, int *runEnd = nullptr);

} // namespace varnolet::test
