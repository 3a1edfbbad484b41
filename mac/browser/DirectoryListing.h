#pragma once

#include <optional>
#include <string>
#include <vector>

// Folder listings for the resource browser, read straight with readdir and put in the
// order the names were saved in: the Linux file systems list in hash order, and the names
// the program gives its files and numbered folders only sort in saving order when runs of
// digits compare by their value ("SingleShot999" before "SingleShot1000", "S20240305_999"
// before "S20240305_1000"). Everything else compares byte by byte, case-sensitively.
class DirectoryListing
{
public:
    // The names in the folder other than "." and ".."; none when it cannot be listed.
    static std::optional<std::vector<std::string>> contentsOfDirectory(const std::string &folder);

    // True when the path is a folder (a link to a folder counts); link says whether the
    // path itself is a symbolic link.
    static bool isDirectory(const std::string &path, bool *link = nullptr);

    // The listing order: digit runs by value (equal values: fewer leading zeros first),
    // other bytes by value, ties broken byte-wise so that the order is total.
    static bool namesInOrder(const std::string &a, const std::string &b);
};
