#pragma once

#include <string>

#include <QImage>

namespace varnolet {
class SystemPaths;
}

// The 32 × 32 film symbol drawn on the pictures of movies: the program's "Film.png" from
// its "Resource/Image" folder, or one drawn here when that file is missing.
class FilmSymbol
{
public:
    static constexpr int kSize = 32;
    static constexpr const char *kFileName = "Resource/Image/Film.png";

    // The symbol of the program folder of paths (or the drawn one).
    static QImage Shipped(const varnolet::SystemPaths &paths);
    // The symbol from a file scaled to 32 × 32, else the drawn one.
    static QImage Load(const std::string &path);
    static QImage Drawn();
};
