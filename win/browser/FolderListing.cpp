#include "FolderListing.h"

#include <algorithm>
#include <memory>

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>

namespace {

struct DirCloser
{
    void operator()(DIR *dir) const { closedir(dir); }
};
using UniqueDir = std::unique_ptr<DIR, DirCloser>;

bool IsDotEntry(const char *name)
{
    return name[0] == '.' && (name[1] == '\0' || (name[1] == '.' && name[2] == '\0'));
}

// Whether the entry is a folder; links are followed, as a Windows listing reports a
// junction as a folder.
bool EntryIsFolder(DIR *dir, const dirent *entry, bool *isLink)
{
    *isLink = entry->d_type == DT_LNK;
    if (entry->d_type == DT_DIR)
        return true;
    if (entry->d_type != DT_LNK && entry->d_type != DT_UNKNOWN)
        return false;
    struct stat info
    {
    };
    if (fstatat(dirfd(dir), entry->d_name, &info, 0) != 0)
        return false;
    if (entry->d_type == DT_UNKNOWN) {
        struct stat own
        {
        };
        if (fstatat(dirfd(dir), entry->d_name, &own, AT_SYMLINK_NOFOLLOW) == 0)
            *isLink = S_ISLNK(own.st_mode);
    }
    return S_ISDIR(info.st_mode);
}

} // namespace

bool FolderListing::IsResourceName(const std::string &name)
{
    return name.find(".jpg") != std::string::npos || name.find(".avi") != std::string::npos;
}

std::vector<std::string> FolderListing::ResourceNames(const std::string &folder)
{
    std::vector<std::string> names;
    if (folder.empty())
        return names;
    UniqueDir dir(opendir(folder.c_str()));
    if (!dir)
        return names;
    while (const dirent *entry = readdir(dir.get())) {
        if (IsDotEntry(entry->d_name))
            continue;
        const std::string name = entry->d_name;
        if (!IsResourceName(name))
            continue;
        bool isLink = false;
        if (EntryIsFolder(dir.get(), entry, &isLink))
            continue;
        names.push_back(name);
    }
    std::sort(names.begin(), names.end());
    return names;
}

std::vector<FolderListing::Subfolder> FolderListing::Subfolders(const std::string &folder)
{
    std::vector<Subfolder> folders;
    if (folder.empty())
        return folders;
    UniqueDir dir(opendir(folder.c_str()));
    if (!dir)
        return folders;
    while (const dirent *entry = readdir(dir.get())) {
        if (IsDotEntry(entry->d_name))
            continue;
        bool isLink = false;
        if (EntryIsFolder(dir.get(), entry, &isLink))
            folders.push_back({entry->d_name, isLink});
    }
    std::sort(folders.begin(), folders.end(),
              [](const Subfolder &a, const Subfolder &b) { return a.name < b.name; });
    return folders;
}
