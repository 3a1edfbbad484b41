#pragma once

#include <cstddef>
#include <mutex>
#include <string>
#include <vector>

// The file names of the folder the thumbnail pane shows, with that folder's path, under
// one lock (the names lock). The UI thread, the capture and saving threads (through the
// folder tree) and the change-processing thread all use it; the lock is held only for
// list operations, never while drawing, decoding or touching the disk.
// All comparisons are ordinal (byte-wise) and case-sensitive on the whole name.
class ResourceNameList
{
public:
    // Adds a name at the end without looking for duplicates.
    void AppendName(const std::string &name);
    // Adds a name before the first greater entry unless an equal entry comes first;
    // answers true when the name was added.
    bool InsertNameSorted(const std::string &name);
    // Removes the first equal entry; answers true when one was removed.
    bool RemoveName(const std::string &name);
    // Walks from the last entry back; stops at the first smaller entry.
    bool ContainsName(const std::string &name) const;

    size_t Count() const;
    std::vector<std::string> Names() const;
    std::string Folder() const;

    // folder + "/" + name of entry `index`; empty when the index is beyond the list or no
    // folder is shown. The lock is released before the path is built.
    std::string PathOfIndex(size_t index) const;

    // Makes `folder` current with an empty list; answers false (and changes nothing) when
    // it already is current.
    bool SwitchFolder(const std::string &folder);
    // Empties the list, keeping the folder.
    void Clear();
    // Replaces the list with `names` when `folder` is still the current folder (a listing
    // made without the lock must not land in a folder shown meanwhile).
    bool ReplaceNames(const std::string &folder, std::vector<std::string> names);

private:
    mutable std::mutex m_lock; // the names lock: guards m_names and m_folder
    std::vector<std::string> m_names;
    std::string m_folder;
};
