#include "IniFile.h"

#include "TextEncoding.h"

#include "platform/system/AtomicFile.h"
#include "platform/system/NumberText.h"

#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <memory>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

bool isBlank(char c)
{
    return c == ' ' || c == '\t' || c == '\r';
}

std::string_view trim(std::string_view text)
{
    while (!text.empty() && isBlank(text.front()))
        text.remove_prefix(1);
    while (!text.empty() && isBlank(text.back()))
        text.remove_suffix(1);
    return text;
}

char foldCase(char c)
{
    return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c;
}

bool sameName(std::string_view a, std::string_view b)
{
    if (a.size() != b.size())
        return false;
    for (size_t i = 0; i < a.size(); ++i) {
        if (foldCase(a[i]) != foldCase(b[i]))
            return false;
    }
    return true;
}

// The name of a section header line ("[name]", blanks around the name ignored; a header
// without its closing bracket takes the rest of the line), or nothing.
std::optional<std::string_view> sectionNameOf(std::string_view line)
{
    line = trim(line);
    if (line.empty() || line.front() != '[')
        return std::nullopt;
    line.remove_prefix(1);
    const size_t close = line.find(']');
    return trim(close == std::string_view::npos ? line : line.substr(0, close));
}

bool isComment(std::string_view trimmedLine)
{
    return !trimmedLine.empty() && (trimmedLine.front() == ';' || trimmedLine.front() == '#');
}

const std::string_view kUtf8Bom = "\xEF\xBB\xBF";
const std::string_view kUtf16LeBom = "\xFF\xFE";
const std::string_view kUtf16BeBom = "\xFE\xFF";

} // namespace

int32_t ParseProfileInt(std::string_view text)
{
    return varnolet::NumberText::leadingInt32(text, " \t");
}

IniFile IniFile::fromBytes(std::string_view bytes)
{
    IniFile file;
    std::string text;
    if (bytes.starts_with(kUtf8Bom)) {
        file.m_encoding = Encoding::Utf8Bom;
        text = bytes.substr(kUtf8Bom.size());
    } else if (bytes.starts_with(kUtf16LeBom)) {
        file.m_encoding = Encoding::Utf16LE;
        text = TextEncoding::utf16ToUtf8(bytes.substr(2), false);
    } else if (bytes.starts_with(kUtf16BeBom)) {
        file.m_encoding = Encoding::Utf16BE;
        text = TextEncoding::utf16ToUtf8(bytes.substr(2), true);
    } else {
        // Without a mark the bytes are kept as they are, so lines in another encoding
        // survive a write untouched; values are made valid UTF-8 when read.
        file.m_encoding = Encoding::Utf8;
        text = bytes;
    }

    size_t start = 0;
    bool sawLineEnd = false;
    while (start < text.size()) {
        const size_t end = text.find('\n', start);
        if (end == std::string::npos) {
            file.m_lines.emplace_back(text.substr(start));
            file.m_finalLineEnd = false;
            break;
        }
        std::string line = text.substr(start, end - start);
        if (!sawLineEnd) {
            sawLineEnd = true;
            file.m_lineEnd = (!line.empty() && line.back() == '\r') ? "\r\n" : "\n";
        }
        file.m_lines.push_back(std::move(line));
        start = end + 1;
    }
    return file;
}

bool IniFile::load(const std::string &path)
{
    std::ifstream in(path, std::ios::binary);
    if (!in) {
        *this = IniFile();
        return false;
    }
    std::string bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    if (in.bad()) {
        *this = IniFile();
        return false;
    }
    *this = fromBytes(bytes);
    return true;
}

std::string IniFile::toBytes() const
{
    std::string text;
    for (size_t i = 0; i < m_lines.size(); ++i) {
        text += m_lines[i];
        if (i + 1 < m_lines.size() || m_finalLineEnd)
            text += '\n';
    }
    switch (m_encoding) {
    case Encoding::Utf8:
        return text;
    case Encoding::Utf8Bom:
        return std::string(kUtf8Bom) + text;
    case Encoding::Utf16LE:
        return std::string(kUtf16LeBom) + TextEncoding::utf8ToUtf16(text, false);
    case Encoding::Utf16BE:
        return std::string(kUtf16BeBom) + TextEncoding::utf8ToUtf16(text, true);
    }
    return text;
}

bool IniFile::save(const std::string &path) const
{
    // Replaced whole, so a failed write never leaves a truncated settings file; a symbolic
    // link is followed to the file it names. The reason of a failure is left in errno.
    const int error = varnolet::AtomicFile::replace(path, toBytes());
    if (error != 0)
        errno = error;
    return error == 0;
}

std::optional<size_t> IniFile::findSection(std::string_view section) const
{
    for (size_t i = 0; i < m_lines.size(); ++i) {
        const auto name = sectionNameOf(m_lines[i]);
        if (name && sameName(*name, section))
            return i;
    }
    return std::nullopt;
}

std::optional<IniFile::KeyLine> IniFile::findKey(std::string_view section,
                                                 std::string_view key) const
{
    const auto header = findSection(section);
    if (!header)
        return std::nullopt;
    for (size_t i = *header + 1; i < m_lines.size(); ++i) {
        const std::string_view line = m_lines[i];
        if (sectionNameOf(line))
            break;
        const std::string_view trimmed = trim(line);
        if (isComment(trimmed))
            continue;
        const size_t equals = line.find('=');
        if (equals == std::string_view::npos)
            continue;
        if (sameName(trim(line.substr(0, equals)), key))
            return KeyLine{i, line.substr(equals + 1)};
    }
    return std::nullopt;
}

bool IniFile::hasSection(std::string_view section) const
{
    return findSection(section).has_value();
}

std::optional<std::string_view> IniFile::storedValue(std::string_view section,
                                                     std::string_view key) const
{
    const auto found = findKey(section, key);
    if (!found)
        return std::nullopt;
    std::string_view raw = trim(found->rawValue);
    if (raw.size() >= 2 && (raw.front() == '"' || raw.front() == '\'') && raw.back() == raw.front())
        raw = raw.substr(1, raw.size() - 2);
    return raw;
}

std::optional<std::string> IniFile::value(std::string_view section, std::string_view key) const
{
    const std::optional<std::string_view> raw = storedValue(section, key);
    if (!raw)
        return std::nullopt;
    std::string text = TextEncoding::sanitizeUtf8(*raw);
    text.resize(TextEncoding::prefixOfCharacters(text, kMaxValueCharacters));
    return text;
}

std::string IniFile::getPath(std::string_view section, std::string_view key,
                             std::string_view defaultValue) const
{
    const std::optional<std::string_view> raw = storedValue(section, key);
    if (!raw)
        return std::string(defaultValue);
    return std::string(raw->substr(0, TextEncoding::prefixOfCharacters(*raw, kMaxValueCharacters)));
}

std::string IniFile::getString(std::string_view section, std::string_view key,
                               std::string_view defaultValue) const
{
    auto found = value(section, key);
    if (!found)
        return std::string(defaultValue);
    return std::move(*found);
}

int32_t IniFile::getInt(std::string_view section, std::string_view key, int32_t defaultValue) const
{
    const auto found = value(section, key);
    if (!found || found->empty())
        return defaultValue;
    return ParseProfileInt(*found);
}

void IniFile::setString(std::string_view section, std::string_view key, std::string_view value)
{
    std::string clean(value);
    for (char &c : clean) {
        if (c == '\r' || c == '\n')
            c = ' ';
    }
    const bool crlf = m_lineEnd == "\r\n";
    const std::string cr = crlf ? "\r" : "";

    if (const auto found = findKey(section, key)) {
        std::string &line = m_lines[found->line];
        const size_t equals = line.find('=');
        size_t valueStart = equals + 1;
        while (valueStart < line.size() && (line[valueStart] == ' ' || line[valueStart] == '\t'))
            ++valueStart;
        const bool hadCr = !line.empty() && line.back() == '\r';
        line = line.substr(0, valueStart) + clean + (hadCr ? "\r" : "");
        return;
    }

    std::string keyLine = std::string(key) + "=" + clean + cr;
    // A last line without a line end gets one before anything is appended after it.
    const auto appendAtEnd = [&](std::string line) {
        if (!m_lines.empty() && !m_finalLineEnd && crlf &&
            (m_lines.back().empty() || m_lines.back().back() != '\r'))
            m_lines.back() += '\r';
        m_lines.push_back(std::move(line));
        m_finalLineEnd = true;
    };

    const auto header = findSection(section);
    if (!header) {
        // Built piecewise: g++ 12 at -O3 warns falsely (-Wrestrict) on "[" + s + "]".
        std::string headerLine;
        headerLine.reserve(section.size() + 3);
        headerLine.append(1, '[').append(section).append(1, ']').append(cr);
        appendAtEnd(std::move(headerLine));
        appendAtEnd(std::move(keyLine));
        return;
    }
    // After the last non-blank line of the section, so blank lines before the next
    // section stay where they are.
    size_t end = *header + 1;
    while (end < m_lines.size() && !sectionNameOf(m_lines[end]))
        ++end;
    size_t insertAt = end;
    while (insertAt > *header + 1 && trim(m_lines[insertAt - 1]).empty())
        --insertAt;
    if (insertAt == m_lines.size()) {
        appendAtEnd(std::move(keyLine));
    } else {
        m_lines.insert(m_lines.begin() + static_cast<std::ptrdiff_t>(insertAt), std::move(keyLine));
    }
}

void IniFile::setInt(std::string_view section, std::string_view key, int32_t value)
{
    char text[16];
    std::snprintf(text, sizeof text, "%d", value);
    setString(section, key, text);
}
