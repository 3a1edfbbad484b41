#pragma once

#include <cstdint>
#include <optional>
#include <string>

namespace varnolet {

// A small store of named 32-bit values grouped under keys ("Software/GNU/XviD"), kept in
// the runtime folder so that, like a volatile registry key, it is gone at logout.
// One file per key holding "name=value" lines.
class VolatileKeyStore
{
public:
    explicit VolatileKeyStore(std::string folder);

    // Creates the key if needed and writes the value. Answers 0 or an errno value.
    int setDword(const std::string &keyPath, const std::string &name, uint32_t value);
    std::optional<uint32_t> dword(const std::string &keyPath, const std::string &name) const;

    std::string fileOfKey(const std::string &keyPath) const;

private:
    std::string m_folder;
};

} // namespace varnolet
