#pragma once

#include <optional>
#include <string>

// The parts of a freshly saved file's path that place it in the folder tree, split from
// the end at "/": with per-day folders category/date/number/file (at least four "/"),
// without them category/file (at least one "/").
struct ResourcePathParts
{
    std::string category;
    std::string date;   // per-day folders only
    std::string number; // per-day folders only
    std::string file;

    static std::optional<ResourcePathParts> Split(const std::string &path, bool perDayFolders);
};
