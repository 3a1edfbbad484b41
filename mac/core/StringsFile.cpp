#include "StringsFile.h"

#include <cstdint>
#include <fstream>
#include <iterator>
#include <vector>

#include "mac/core/PropertyList.h"

namespace {

constexpr int kMaxDepth = 64;

void appendUtf8(std::string &out, uint32_t cp)
{
    if (cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF))
        cp = 0xFFFD;
    if (cp < 0x80) {
        out += static_cast<char>(cp);
    } else if (cp < 0x800) {
        out += static_cast<char>(0xC0 | (cp >> 6));
        out += static_cast<char>(0x80 | (cp & 0x3F));
    } else if (cp < 0x10000) {
        out += static_cast<char>(0xE0 | (cp >> 12));
        out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (cp & 0x3F));
    } else {
        out += static_cast<char>(0xF0 | (cp >> 18));
        out += static_cast<char>(0x80 | ((cp >> 12) & 0x3F));
        out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (cp & 0x3F));
    }
}

// UTF-16 code units (after the byte-order mark) to UTF-8; unpaired surrogates become U+FFFD.
std::string utf16ToUtf8(std::string_view bytes, bool bigEndian)
{
    std::vector<uint16_t> units;
    units.reserve(bytes.size() / 2);
    for (size_t i = 0; i + 1 < bytes.size(); i += 2) {
        const auto a = static_cast<uint8_t>(bytes[i]);
        const auto b = static_cast<uint8_t>(bytes[i + 1]);
        units.push_back(bigEndian ? static_cast<uint16_t>(a << 8 | b)
                                  : static_cast<uint16_t>(b << 8 | a));
    }
    std::string out;
    for (size_t i = 0; i < units.size(); ++i) {
        uint32_t cp = units[i];
        if (cp >= 0xD800 && cp <= 0xDBFF && i + 1 < units.size() && units[i + 1] >= 0xDC00 &&
            units[i + 1] <= 0xDFFF) {
            cp = 0x10000 + ((cp - 0xD800) << 10) + (units[i + 1] - 0xDC00);
            ++i;
        }
        appendUtf8(out, cp);
    }
    return out;
}

bool isUnquotedCharacter(char c)
{
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '_' ||
           c == '$' || c == '/' || c == ':' || c == '.' || c == '-';
}

int hexValue(char c)
{
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    return -1;
}

// Recursive-descent reader of the text property-list form. Every read checks the end.
class TextParser
{
public:
    explicit TextParser(std::string_view text)
        : m_text(text)
    {
    }

    std::optional<StringsFile::Table> parseTop()
    {
        StringsFile::Table table;
        if (!skipSpace())
            return std::nullopt;
        if (atEnd())
            return table;
        if (peek() == '{') {
            ++m_pos;
            if (!parseEntries(table, '}', 1))
                return std::nullopt;
        } else if (!parseEntries(table, '\0', 0)) {
            return std::nullopt;
        }
        if (!skipSpace() || !atEnd())
            return std::nullopt;
        return table;
    }

private:
    bool atEnd() const { return m_pos >= m_text.size(); }
    char peek() const { return m_text[m_pos]; }

    // Skips blanks and comments; false on an unterminated block comment.
    bool skipSpace()
    {
        while (!atEnd()) {
            const char c = peek();
            if (c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == '\f' || c == '\v') {
                ++m_pos;
            } else if (c == '/' && m_pos + 1 < m_text.size() && m_text[m_pos + 1] == '/') {
                m_pos += 2;
                while (!atEnd() && peek() != '\n' && peek() != '\r')
                    ++m_pos;
            } else if (c == '/' && m_pos + 1 < m_text.size() && m_text[m_pos + 1] == '*') {
                const size_t end = m_text.find("*/", m_pos + 2);
                if (end == std::string_view::npos)
                    return false;
                m_pos = end + 2;
            } else {
                break;
            }
        }
        return true;
    }

    // Entries "key = value;" or "key;" until the closing character (or the end when it is
    // '\0'). The closing character is consumed.
    bool parseEntries(StringsFile::Table &table, char closing, int depth)
    {
        while (true) {
            if (!skipSpace())
                return false;
            if (atEnd())
                return closing == '\0';
            if (closing != '\0' && peek() == closing) {
                ++m_pos;
                return true;
            }
            std::string key;
            if (!parseString(key))
                return false;
            if (!skipSpace() || atEnd())
                return false;
            if (peek() == ';') {
                ++m_pos;
                table[key] = key;
                continue;
            }
            if (peek() != '=')
                return false;
            ++m_pos;
            if (!skipSpace() || atEnd())
                return false;
            std::optional<std::string> value;
            if (!parseValue(value, depth + 1))
                return false;
            if (!skipSpace() || atEnd() || peek() != ';')
                return false;
            ++m_pos;
            if (value)
                table[key] = *value;
            else
                table.erase(key);
        }
    }

    // A value: a string (returned), or a dictionary, array or data (checked and dropped).
    bool parseValue(std::optional<std::string> &value, int depth)
    {
        if (depth > kMaxDepth)
            return false;
        const char c = peek();
        if (c == '{') {
            ++m_pos;
            StringsFile::Table ignored;
            return parseEntries(ignored, '}', depth);
        }
        if (c == '(') {
            ++m_pos;
            return parseArray(depth);
        }
        if (c == '<') {
            ++m_pos;
            return parseData();
        }
        std::string text;
        if (!parseString(text))
            return false;
        value = std::move(text);
        return true;
    }

    bool parseArray(int depth)
    {
        if (!skipSpace() || atEnd())
            return false;
        if (peek() == ')') {
            ++m_pos;
            return true;
        }
        while (true) {
            std::optional<std::string> ignored;
            if (!parseValue(ignored, depth + 1))
                return false;
            if (!skipSpace() || atEnd())
                return false;
            if (peek() == ')') {
                ++m_pos;
                return true;
            }
            if (peek() != ',')
                return false;
            ++m_pos;
            if (!skipSpace() || atEnd())
                return false;
            if (peek() == ')') { // a trailing comma is allowed
                ++m_pos;
                return true;
            }
        }
    }

    bool parseData()
    {
        int digits = 0;
        while (!atEnd()) {
            const char c = peek();
            ++m_pos;
            if (c == '>')
                return digits % 2 == 0;
            if (hexValue(c) >= 0)
                ++digits;
            else if (c != ' ' && c != '\t' && c != '\n' && c != '\r')
                return false;
        }
        return false;
    }

    bool parseString(std::string &out)
    {
        if (atEnd())
            return false;
        const char c = peek();
        if (c == '"' || c == '\'') {
            ++m_pos;
            return parseQuoted(out, c);
        }
        if (!isUnquotedCharacter(c))
            return false;
        while (!atEnd() && isUnquotedCharacter(peek()))
            out += m_text[m_pos++];
        return true;
    }

    bool parseQuoted(std::string &out, char quote)
    {
        uint32_t pendingHigh = 0; // a high surrogate from a \U escape waiting for its pair
        auto flushPending = [&] {
            if (pendingHigh) {
                appendUtf8(out, 0xFFFD);
                pendingHigh = 0;
            }
        };
        while (!atEnd()) {
            const char c = m_text[m_pos++];
            if (c == quote) {
                flushPending();
                return true;
            }
            if (c != '\\') {
                flushPending();
                out += c;
                continue;
            }
            if (atEnd())
                return false;
            const char e = m_text[m_pos++];
            if (e == 'U' || e == 'u') {
                uint32_t unit = 0;
                int count = 0;
                while (count < 4 && !atEnd() && hexValue(peek()) >= 0) {
                    unit = unit * 16 + static_cast<uint32_t>(hexValue(peek()));
                    ++m_pos;
                    ++count;
                }
                if (unit >= 0xDC00 && unit <= 0xDFFF && pendingHigh) {
                    appendUtf8(out, 0x10000 + ((pendingHigh - 0xD800) << 10) + (unit - 0xDC00));
                    pendingHigh = 0;
                } else {
                    flushPending();
                    if (unit >= 0xD800 && unit <= 0xDBFF)
                        pendingHigh = unit;
                    else
                        appendUtf8(out, unit);
                }
                continue;
            }
            flushPending();
            if (e >= '0' && e <= '7') {
                uint32_t code = static_cast<uint32_t>(e - '0');
                for (int count = 1; count < 3 && !atEnd() && peek() >= '0' && peek() <= '7';
                     ++count)
                    code = code * 8 + static_cast<uint32_t>(m_text[m_pos++] - '0');
                appendUtf8(out, code & 0xFF);
                continue;
            }
            switch (e) {
            case 'a':
                out += '\a';
                break;
            case 'b':
                out += '\b';
                break;
            case 'f':
                out += '\f';
                break;
            case 'n':
                out += '\n';
                break;
            case 'r':
                out += '\r';
                break;
            case 't':
                out += '\t';
                break;
            case 'v':
                out += '\v';
                break;
            default:
                out += e;
                break; // \" \' \\ and any other character stand for themselves
            }
        }
        return false;
    }

    std::string_view m_text;
    size_t m_pos = 0;
};

std::optional<StringsFile::Table> fromPropertyList(std::string_view bytes)
{
    PropertyList list = PropertyList::fromMemory(std::string(bytes));
    if (!list.isDictionary())
        return std::nullopt;
    StringsFile::Table table;
    plist_dict_iter iter = nullptr;
    plist_dict_new_iter(list.node(), &iter);
    if (!iter)
        return table;
    while (true) {
        char *key = nullptr;
        plist_t value = nullptr;
        plist_dict_next_item(list.node(), iter, &key, &value);
        if (!key)
            break;
        if (auto text = PropertyList::stringValue(value))
            table[key] = *text;
        std::free(key);
    }
    std::free(iter);
    return table;
}

bool startsWith(std::string_view text, std::string_view prefix)
{
    return text.substr(0, prefix.size()) == prefix;
}

} // namespace

std::optional<StringsFile::Table> StringsFile::parse(std::string_view bytes)
{
    if (startsWith(bytes, "bplist"))
        return fromPropertyList(bytes);

    std::string converted;
    if (startsWith(bytes, "\xFF\xFE")) {
        converted = utf16ToUtf8(bytes.substr(2), false);
        bytes = converted;
    } else if (startsWith(bytes, "\xFE\xFF")) {
        converted = utf16ToUtf8(bytes.substr(2), true);
        bytes = converted;
    } else if (startsWith(bytes, "\xEF\xBB\xBF")) {
        bytes.remove_prefix(3);
    }

    size_t first = 0;
    while (first < bytes.size() && (bytes[first] == ' ' || bytes[first] == '\t' ||
                                    bytes[first] == '\n' || bytes[first] == '\r'))
        ++first;
    if (startsWith(bytes.substr(first), "<?xml") || startsWith(bytes.substr(first), "<plist") ||
        startsWith(bytes.substr(first), "<!DOCTYPE"))
        return fromPropertyList(bytes.substr(first));

    return TextParser(bytes).parseTop();
}

std::optional<StringsFile::Table> StringsFile::readFile(const std::string &path)
{
    std::ifstream in(path, std::ios::binary);
    if (!in)
        return std::nullopt;
    const std::string bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    if (in.bad())
        return std::nullopt;
    return parse(bytes);
}
