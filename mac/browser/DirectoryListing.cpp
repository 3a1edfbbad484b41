#include "DirectoryListing.h"

#include <algorithm>
#include <cstring>

#include <dirent.h>
#include <sys/stat.h>

namespace {

bool isDigit(char c)
{
    return c >= '0' && c <= '9';
}

// <0, 0 or >0 as a is before, level with or after b, digit runs by value.
int compareNatural(const std::string &a, const std::string &b)
{
    size_t i = 0;
    size_t j = 0;
    int zeros = 0; // first difference in leading zeros, for equal values
    while (i < a.size() && j < b.size()) {
        if (isDigit(a[i]) && isDigit(b[j])) {
            size_t ai = i;
            size_t bj = j;
            while (ai < a.size() && a[ai] == '0')
                ++ai;
            while (bj < b.size() && b[bj] == '0')
                ++bj;
            size_t ae = ai;
            size_t be = bj;
            while (ae < a.size() && isDigit(a[ae]))
                ++ae;
            while (be < b.size() && isDigit(b[be]))
                ++be;
            const size_t aLength = ae - ai;
            const size_t bLength = be - bj;
            if (aLength != bLength)
                return aLength < bLength ? -1 : 1;
            if (const int c = a.compare(ai, aLength, b, bj, bLength); c != 0)
                return c;
            if (zeros == 0 && (ai - i) != (bj - j))
                zeros = (ai - i) < (bj - j) ? -1 : 1;
            i = ae;
            j = be;
            continue;
        }
        const auto ca = static_cast<unsigned char>(a[i]);
        const auto cb = static_cast<unsigned char>(b[j]);
        if (ca != cb)
            return ca < cb ? -1 : 1;
        ++i;
        ++j;
    }
    if (i < a.size() || j < b.size())
        return i < a.size() ? 1 : -1;
    return zeros;
}

} // namespace

bool DirectoryListing::namesInOrder(const std::string &a, const std::string &b)
{
    const int c = compareNatural(a, b);
    return c != 0 ? c < 0 : a < b;
}

std::optional<std::vector<std::string>>
DirectoryListing::contentsOfDirectory(const std::string &folder)
{
    DIR *dir = ::opendir(folder.c_str());
    if (!dir)
        return std::nullopt;
    std::vector<std::string> names;
    while (const dirent *entry = ::readdir(dir)) {
        if (std::strcmp(entry->d_name, ".") == 0 || std::strcmp(entry->d_name, "..") == 0)
            continue;
        names.emplace_back(entry->d_name);
    }
    ::closedir(dir);
    std::sort(names.begin(), names.end(), namesInOrder);
    return names;
}

bool DirectoryListing::isDirectory(const std::string &path, bool *link)
{
    struct stat st;
    if (link)
        *link = ::lstat(path.c_str(), &st) == 0 && S_ISLNK(st.st_mode);
    return ::stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}
