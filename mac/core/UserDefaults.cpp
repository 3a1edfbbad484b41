#include "UserDefaults.h"

#include <memory>

#include "platform/system/SystemPaths.h"

std::string UserDefaults::standardPath(const varnolet::SystemPaths &paths)
{
    return paths.configHome() + "/VarnoletMac/preferences.plist";
}

UserDefaults::UserDefaults(std::string path)
    : m_path(std::move(path))
{
}

void UserDefaults::loadLocked()
{
    if (m_loaded)
        return;
    m_loaded = true;
    m_values = PropertyList::readFile(m_path);
    if (!m_values.isDictionary())
        m_values = PropertyList::newDictionary();
}

std::optional<std::string> UserDefaults::stringForKey(const std::string &key)
{
    std::lock_guard lock(m_lock);
    loadLocked();
    return PropertyList::stringValue(m_values.item(key));
}

int64_t UserDefaults::integerForKey(const std::string &key)
{
    std::lock_guard lock(m_lock);
    loadLocked();
    plist_t node = m_values.item(key);
    if (node && plist_get_node_type(node) == PLIST_UINT) {
        uint64_t value = 0;
        plist_get_uint_val(node, &value);
        return static_cast<int64_t>(value);
    }
    return PropertyList::intValue(node);
}

bool UserDefaults::boolForKey(const std::string &key)
{
    std::lock_guard lock(m_lock);
    loadLocked();
    return PropertyList::boolValue(m_values.item(key));
}

bool UserDefaults::hasKey(const std::string &key)
{
    std::lock_guard lock(m_lock);
    loadLocked();
    return m_values.hasKey(key);
}

UserDefaults::StoredValue UserDefaults::storedValue(const std::string &key)
{
    std::lock_guard lock(m_lock);
    loadLocked();
    plist_t node = m_values.item(key);
    return {PropertyList::stringValue(node), PropertyList::exactIntValue(node),
            PropertyList::exactBoolValue(node), PropertyList::describe(node), node != nullptr};
}

bool UserDefaults::isEmpty()
{
    std::lock_guard lock(m_lock);
    loadLocked();
    return plist_dict_get_size(m_values.node()) == 0;
}

void UserDefaults::setString(const std::string &key, const std::string &value)
{
    std::lock_guard lock(m_lock);
    loadLocked();
    m_values.setString(key, value);
}

void UserDefaults::setInteger(const std::string &key, int64_t value)
{
    std::lock_guard lock(m_lock);
    loadLocked();
    m_values.setInteger(key, value);
}

void UserDefaults::setBool(const std::string &key, bool value)
{
    std::lock_guard lock(m_lock);
    loadLocked();
    m_values.setBool(key, value);
}

void UserDefaults::removeAllValues()
{
    std::lock_guard lock(m_lock);
    m_loaded = true;
    m_values = PropertyList::newDictionary();
}

bool UserDefaults::synchronize()
{
    std::lock_guard lock(m_lock);
    loadLocked();
    return m_values.writeAtomically(m_path);
}
