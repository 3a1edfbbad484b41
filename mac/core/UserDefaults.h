#pragma once

#include <cstdint>
#include <mutex>
#include <optional>
#include <string>

#include "mac/core/PropertyList.h"

namespace varnolet {
class SystemPaths;
} // namespace varnolet

// The per-user preferences store: one property list at
// $XDG_CONFIG_HOME/VarnoletMac/preferences.plist, read on first use and kept in memory;
// synchronize() writes it back at once, atomically.
class UserDefaults
{
public:
    // Where the program keeps the user's store: under the configuration folder of paths.
    static std::string standardPath(const varnolet::SystemPaths &paths);

    explicit UserDefaults(std::string path);

    const std::string &path() const { return m_path; }

    // The text stored under the key, none when the key holds no string.
    std::optional<std::string> stringForKey(const std::string &key);
    // Number, boolean or numeric string; 0 when absent.
    int64_t integerForKey(const std::string &key);
    bool boolForKey(const std::string &key);
    bool hasKey(const std::string &key);
    // The value under the key as it is stored (see PropertyList::exactIntValue and
    // exactBoolValue), with a short account of it for the log.
    struct StoredValue
    {
        std::optional<std::string> text;
        std::optional<int64_t> integer;
        std::optional<bool> boolean;
        std::string description;
        bool present = false;
    };
    StoredValue storedValue(const std::string &key);
    // True when the store holds no value at all (nothing was ever saved).
    bool isEmpty();

    void setString(const std::string &key, const std::string &value);
    void setInteger(const std::string &key, int64_t value);
    void setBool(const std::string &key, bool value);
    void removeAllValues();

    // Writes the store to its file now; false when that failed.
    bool synchronize();

private:
    void loadLocked();

    const std::string m_path;
    std::mutex m_lock; // guards m_values and m_loaded
    PropertyList m_values;
    bool m_loaded = false;
};
