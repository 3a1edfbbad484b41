#pragma once

#include <string>
#include <vector>

// Listings of a folder as the browser needs them, read straight with readdir. Both answer
// an empty list when the folder cannot be listed, and sort ordinally (byte-wise): the
// Linux file systems list in hash order, which would scatter a day's photos.
class FolderListing
{
public:
    // Names of the entries that are not folders and contain ".jpg" or ".avi" anywhere
    // (case-sensitive).
    static std::vector<std::string> ResourceNames(const std::string &folder);

    struct Subfolder
    {
        std::string name;
        bool symbolicLink = false; // a link to a folder; the tree does not descend into it
    };
    // Folders (and links to folders) other than "." and "..".
    static std::vector<Subfolder> Subfolders(const std::string &folder);

    // True when the name contains ".jpg" or ".avi".
    static bool IsResourceName(const std::string &name);
};
