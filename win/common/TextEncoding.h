#pragma once

#include <string>
#include <string_view>

// UTF-8 / UTF-16 conversions of the file readers. Invalid input never fails: bad bytes
// and lone surrogates become U+FFFD.
class TextEncoding
{
public:
    // Valid UTF-8 of any bytes (each invalid sequence replaced by U+FFFD).
    static std::string sanitizeUtf8(std::string_view bytes);
    // UTF-16 (little or big endian, without byte-order mark) to UTF-8; an odd last byte
    // is dropped.
    static std::string utf16ToUtf8(std::string_view bytes, bool bigEndian);
    // UTF-8 (assumed valid) to UTF-16 bytes.
    static std::string utf8ToUtf16(std::string_view text, bool bigEndian);
    // Length of a prefix of valid UTF-8 that holds at most maxCharacters code points.
    static size_t prefixOfCharacters(std::string_view text, size_t maxCharacters);
};
