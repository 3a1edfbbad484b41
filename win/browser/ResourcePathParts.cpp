#include "ResourcePathParts.h"

#include <vector>

std::optional<ResourcePathParts> ResourcePathParts::Split(const std::string &path,
                                                          bool perDayFolders)
{
    const size_t needed = perDayFolders ? 4 : 1;
    std::vector<size_t> slashes; // from the end
    for (size_t at = path.size(); at > 0 && slashes.size() < needed; --at) {
        if (path[at - 1] == '/')
            slashes.push_back(at - 1);
    }
    if (slashes.size() < needed)
        return std::nullopt;
    const auto between = [&path](size_t from, size_t to) {
        return path.substr(from + 1, to - from - 1);
    };
    ResourcePathParts parts;
    parts.file = path.substr(slashes[0] + 1);
    if (perDayFolders) {
        parts.number = between(slashes[1], slashes[0]);
        parts.date = between(slashes[2], slashes[1]);
        parts.category = between(slashes[3], slashes[2]);
    } else {
        const size_t start = path.rfind('/', slashes[0] == 0 ? 0 : slashes[0] - 1);
        parts.category = slashes[0] == 0 || start == std::string::npos ? path.substr(0, slashes[0])
                                                                       : between(start, slashes[0]);
    }
    return parts;
}
