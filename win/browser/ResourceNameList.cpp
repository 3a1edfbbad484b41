#include "ResourceNameList.h"

#include <algorithm>

void ResourceNameList::AppendName(const std::string &name)
{
    std::lock_guard guard(m_lock);
    m_names.push_back(name);
}

bool ResourceNameList::InsertNameSorted(const std::string &name)
{
    std::lock_guard guard(m_lock);
    for (auto it = m_names.begin(); it != m_names.end(); ++it) {
        const int order = it->compare(name);
        if (order == 0)
            return false;
        if (order > 0) {
            m_names.insert(it, name);
            return true;
        }
    }
    m_names.push_back(name);
    return true;
}

bool ResourceNameList::RemoveName(const std::string &name)
{
    std::lock_guard guard(m_lock);
    const auto it = std::find(m_names.begin(), m_names.end(), name);
    if (it == m_names.end())
        return false;
    m_names.erase(it);
    return true;
}

bool ResourceNameList::ContainsName(const std::string &name) const
{
    std::lock_guard guard(m_lock);
    for (auto it = m_names.rbegin(); it != m_names.rend(); ++it) {
        const int order = it->compare(name);
        if (order == 0)
            return true;
        if (order < 0)
            return false;
    }
    return false;
}

size_t ResourceNameList::Count() const
{
    std::lock_guard guard(m_lock);
    return m_names.size();
}

std::vector<std::string> ResourceNameList::Names() const
{
    std::lock_guard guard(m_lock);
    return m_names;
}

std::string ResourceNameList::Folder() const
{
    std::lock_guard guard(m_lock);
    return m_folder;
}

std::string ResourceNameList::PathOfIndex(size_t index) const
{
    std::string folder;
    std::string name;
    {
        std::lock_guard guard(m_lock);
        if (m_folder.empty() || index >= m_names.size())
            return {};
        folder = m_folder;
        name = m_names[index];
    }
    return folder + "/" + name;
}

bool ResourceNameList::SwitchFolder(const std::string &folder)
{
    std::lock_guard guard(m_lock);
    if (folder == m_folder)
        return false;
    m_names.clear();
    m_folder = folder;
    return true;
}

void ResourceNameList::Clear()
{
    std::lock_guard guard(m_lock);
    m_names.clear();
}

bool ResourceNameList::ReplaceNames(const std::string &folder, std::vector<std::string> names)
{
    std::lock_guard guard(m_lock);
    if (folder != m_folder)
        return false;
    m_names = std::move(names);
    return true;
}
