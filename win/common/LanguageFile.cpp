#include "LanguageFile.h"

#include "TextEncoding.h"

#include <algorithm>
#include <cstdio>
#include <memory>

namespace {

// The text between the first and the second double quote, or empty.
std::string_view quoted(std::string_view text)
{
    const size_t open = text.find('"');
    if (open == std::string_view::npos)
        return {};
    const size_t close = text.find('"', open + 1);
    if (close == std::string_view::npos)
        return {};
    return text.substr(open + 1, close - open - 1);
}

struct FileCloser
{
    void operator()(std::FILE *file) const { std::fclose(file); }
};

} // namespace

void LanguageFileParser::feed(std::string_view bytes)
{
    while (!bytes.empty()) {
        const size_t end = bytes.find('\n');
        const std::string_view piece = bytes.substr(0, end);
        if (!m_overlong) {
            // One byte more than the limit is kept for the CR of a CRLF line end.
            if (m_line.size() + piece.size() > kMaxLineBytes + 1) {
                m_overlong = true;
                m_line.clear();
            } else {
                m_line.append(piece);
            }
        }
        if (end == std::string_view::npos)
            return;
        if (!m_overlong)
            takeLine(m_line);
        m_line.clear();
        m_overlong = false;
        bytes.remove_prefix(end + 1);
    }
}

void LanguageFileParser::finish()
{
    if (!m_overlong && !m_line.empty())
        takeLine(m_line);
    m_line.clear();
    m_overlong = false;
}

void LanguageFileParser::takeLine(std::string_view line)
{
    if (!line.empty() && line.back() == '\r')
        line.remove_suffix(1);
    if (line.size() > kMaxLineBytes)
        return;
    // The line is a C string to the converter: a NUL ends it.
    line = line.substr(0, line.find('\0'));
    const std::string text = TextEncoding::sanitizeUtf8(line);
    const size_t equals = text.find('=');
    if (equals == std::string::npos || text.find(';') == std::string::npos)
        return;
    const std::string_view view = text;
    const std::string_view key = quoted(view.substr(0, equals));
    const std::string_view value = quoted(view.substr(equals));
    if (key.empty() || value.empty())
        return;
    std::string stored(value);
    std::replace(stored.begin(), stored.end(), '@', 's');
    m_entries.emplace(std::string(key), std::move(stored)); // the first entry of a key wins
}

LanguageEntries ParseLanguageText(std::string_view bytes)
{
    LanguageFileParser parser;
    parser.feed(bytes);
    parser.finish();
    return parser.takeEntries();
}

LanguageFileContent ReadLanguageFile(const std::string &path)
{
    LanguageFileContent content;
    std::unique_ptr<std::FILE, FileCloser> file(std::fopen(path.c_str(), "rb"));
    if (!file)
        return content;
    content.opened = true;
    LanguageFileParser parser;
    char buffer[16384];
    for (;;) {
        const size_t n = std::fread(buffer, 1, sizeof buffer, file.get());
        parser.feed(std::string_view(buffer, n));
        if (n < sizeof buffer)
            break; // end of file, or a read error that ends the reading
    }
    parser.finish();
    content.entries = parser.takeEntries();
    return content;
}
