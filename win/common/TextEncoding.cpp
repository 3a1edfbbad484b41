#include "TextEncoding.h"

#include <cstdint>

namespace {

void appendUtf8(std::string &out, char32_t c)
{
    if (c < 0x80) {
        out.push_back(static_cast<char>(c));
    } else if (c < 0x800) {
        out.push_back(static_cast<char>(0xC0 | (c >> 6)));
        out.push_back(static_cast<char>(0x80 | (c & 0x3F)));
    } else if (c < 0x10000) {
        out.push_back(static_cast<char>(0xE0 | (c >> 12)));
        out.push_back(static_cast<char>(0x80 | ((c >> 6) & 0x3F)));
        out.push_back(static_cast<char>(0x80 | (c & 0x3F)));
    } else {
        out.push_back(static_cast<char>(0xF0 | (c >> 18)));
        out.push_back(static_cast<char>(0x80 | ((c >> 12) & 0x3F)));
        out.push_back(static_cast<char>(0x80 | ((c >> 6) & 0x3F)));
        out.push_back(static_cast<char>(0x80 | (c & 0x3F)));
    }
}

constexpr char32_t kReplacement = 0xFFFD;

// Decodes one code point at text[pos]; answers its length in bytes, 0 when the sequence
// there is not valid UTF-8 (overlong forms and surrogates included).
size_t decodeUtf8(std::string_view text, size_t pos, char32_t &out)
{
    const auto byte = [&](size_t i) { return static_cast<unsigned char>(text[i]); };
    const unsigned char b0 = byte(pos);
    size_t length;
    char32_t c;
    if (b0 < 0x80) {
        out = b0;
        return 1;
    } else if (b0 >= 0xC2 && b0 <= 0xDF) {
        length = 2;
        c = b0 & 0x1F;
    } else if (b0 >= 0xE0 && b0 <= 0xEF) {
        length = 3;
        c = b0 & 0x0F;
    } else if (b0 >= 0xF0 && b0 <= 0xF4) {
        length = 4;
        c = b0 & 0x07;
    } else {
        return 0;
    }
    if (pos + length > text.size())
        return 0;
    for (size_t i = 1; i < length; ++i) {
        const unsigned char b = byte(pos + i);
        if ((b & 0xC0) != 0x80)
            return 0;
        c = (c << 6) | (b & 0x3F);
    }
    if ((length == 3 && c < 0x800) || (length == 4 && (c < 0x10000 || c > 0x10FFFF)) ||
        (c >= 0xD800 && c <= 0xDFFF))
        return 0;
    out = c;
    return length;
}

} // namespace

std::string TextEncoding::sanitizeUtf8(std::string_view bytes)
{
    std::string out;
    out.reserve(bytes.size());
    size_t pos = 0;
    while (pos < bytes.size()) {
        char32_t c;
        const size_t length = decodeUtf8(bytes, pos, c);
        if (length == 0) {
            appendUtf8(out, kReplacement);
            ++pos;
        } else {
            out.append(bytes.substr(pos, length));
            pos += length;
        }
    }
    return out;
}

std::string TextEncoding::utf16ToUtf8(std::string_view bytes, bool bigEndian)
{
    std::string out;
    out.reserve(bytes.size());
    const size_t units = bytes.size() / 2;
    const auto unitAt = [&](size_t i) -> char16_t {
        const auto a = static_cast<unsigned char>(bytes[2 * i]);
        const auto b = static_cast<unsigned char>(bytes[2 * i + 1]);
        return static_cast<char16_t>(bigEndian ? (a << 8) | b : (b << 8) | a);
    };
    for (size_t i = 0; i < units; ++i) {
        const char16_t u = unitAt(i);
        if (u >= 0xD800 && u <= 0xDBFF && i + 1 < units) {
            const char16_t low = unitAt(i + 1);
            if (low >= 0xDC00 && low <= 0xDFFF) {
                appendUtf8(out, 0x10000 + ((char32_t(u) - 0xD800) << 10) + (low - 0xDC00));
                ++i;
                continue;
            }
        }
        appendUtf8(out, (u >= 0xD800 && u <= 0xDFFF) ? kReplacement : char32_t(u));
    }
    return out;
}

std::string TextEncoding::utf8ToUtf16(std::string_view text, bool bigEndian)
{
    std::string out;
    out.reserve(text.size() * 2);
    const auto put = [&](char16_t u) {
        const char hi = static_cast<char>(u >> 8);
        const char lo = static_cast<char>(u & 0xFF);
        out.push_back(bigEndian ? hi : lo);
        out.push_back(bigEndian ? lo : hi);
    };
    size_t pos = 0;
    while (pos < text.size()) {
        char32_t c;
        size_t length = decodeUtf8(text, pos, c);
        if (length == 0) {
            c = kReplacement;
            length = 1;
        }
        pos += length;
        if (c >= 0x10000) {
            c -= 0x10000;
            put(static_cast<char16_t>(0xD800 + (c >> 10)));
            put(static_cast<char16_t>(0xDC00 + (c & 0x3FF)));
        } else {
            put(static_cast<char16_t>(c));
        }
    }
    return out;
}

size_t TextEncoding::prefixOfCharacters(std::string_view text, size_t maxCharacters)
{
    size_t pos = 0;
    for (size_t count = 0; count < maxCharacters && pos < text.size(); ++count) {
        char32_t c;
        const size_t length = decodeUtf8(text, pos, c);
        pos += length == 0 ? 1 : length;
    }
    return pos;
}
