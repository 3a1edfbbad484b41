#include "ShippedFile.h"

#include <dirent.h>
#include <sys/stat.h>

#include <memory>
#include <vector>

namespace {

bool exists(const std::string &path)
{
    struct stat st
    {
    };
    return ::stat(path.c_str(), &st) == 0;
}

bool sameIgnoringCase(const std::string &a, const std::string &b)
{
    if (a.size() != b.size())
        return false;
    for (size_t i = 0; i < a.size(); ++i) {
        const auto fold = [](char c) { return (c >= 'A' && c <= 'Z') ? char(c - 'A' + 'a') : c; };
        if (fold(a[i]) != fold(b[i]))
            return false;
    }
    return true;
}

struct DirCloser
{
    void operator()(DIR *dir) const { ::closedir(dir); }
};

// The entry of the folder whose name matches without regard to case, or empty.
std::string matchInFolder(const std::string &folder, const std::string &name)
{
    std::unique_ptr<DIR, DirCloser> dir(::opendir(folder.empty() ? "/" : folder.c_str()));
    if (!dir)
        return {};
    while (const dirent *entry = ::readdir(dir.get())) {
        if (sameIgnoringCase(entry->d_name, name))
            return entry->d_name;
    }
    return {};
}

} // namespace

std::string FindShippedFile(const std::string &path)
{
    if (path.empty() || exists(path))
        return path;
    std::vector<std::string> parts;
    size_t start = 0;
    while (start <= path.size()) {
        size_t end = path.find('/', start);
        if (end == std::string::npos)
            end = path.size();
        parts.push_back(path.substr(start, end - start));
        start = end + 1;
    }
    const bool absolute = path.front() == '/';
    std::string resolved = absolute ? "" : ".";
    for (size_t i = 0; i < parts.size(); ++i) {
        const std::string &part = parts[i];
        if (part.empty() || part == ".")
            continue;
        std::string next = resolved + "/" + part;
        if (part != ".." && !exists(next)) {
            const std::string match = matchInFolder(resolved, part);
            if (match.empty())
                return path;
            next = resolved + "/" + match;
        }
        resolved = next;
    }
    if (!absolute)
        resolved = resolved.substr(2); // drop the "./" start
    return resolved;
}
