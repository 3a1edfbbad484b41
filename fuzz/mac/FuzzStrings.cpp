// Any byte string as a Localizable.strings file.
#include <cstddef>
#include <cstdint>
#include <string_view>

#include "mac/core/StringsFile.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const auto table =
        StringsFile::parse(std::string_view(reinterpret_cast<const char *>(data), size));
    size_t total = 0;
    if (table)
        for (const auto &[key, value] : *table)
            total += key.size() + value.size();
    return total == static_cast<size_t>(-1) ? -1 : 0;
}
