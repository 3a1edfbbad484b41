#pragma once

#include <string>

// Finds a file shipped with the program the way Windows would open it: the path as given
// when it exists, otherwise each component matched without regard to ASCII case (so
// "Resource/image/log.bmp" finds "Resource/Image/log.bmp"). Answers the path as given
// when nothing matches.
std::string FindShippedFile(const std::string &path);
