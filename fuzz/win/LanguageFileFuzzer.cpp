// Parses any bytes as a language file, whole and in pieces; both must agree.
#include "win/common/LanguageFile.h"

#include <cstdint>
#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const std::string_view bytes(reinterpret_cast<const char *>(data), size);
    const LanguageEntries whole = ParseLanguageText(bytes);
    LanguageFileParser pieces;
    const size_t step = size == 0 ? 1 : 1 + data[0] % 13;
    for (size_t i = 0; i < size; i += step)
        pieces.feed(bytes.substr(i, step));
    pieces.finish();
    if (pieces.entries() != whole)
        std::abort();
    for (const auto &[key, value] : whole) {
        if (key.empty() || value.empty() || value.find('@') != std::string::npos ||
            key.find('"') != std::string::npos ||
            key.size() > LanguageFileParser::kMaxLineBytes * 3)
            std::abort();
    }
    return 0;
}
