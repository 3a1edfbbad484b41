// Parses any name as a flat file name of each kind and checks the parts it answers.
#include "win/common/ResourceNaming.h"

#include <cstdint>
#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const std::string name(reinterpret_cast<const char *>(data), size);
    for (ResourceKind kind : {ResourceKindMovie, ResourceKindSingleShot, ResourceKindTimedShot}) {
        const auto parsed = ParseFlatName(name, kind);
        if (!parsed)
            continue;
        if (parsed->number < 0 || parsed->series < 0 || parsed->date.size() >= name.size())
            std::abort();
        for (char c : parsed->date) {
            if (c < '0' || c > '9')
                std::abort();
        }
        if (kind != ResourceKindTimedShot && parsed->series != 0)
            std::abort();
    }
    return 0;
}
