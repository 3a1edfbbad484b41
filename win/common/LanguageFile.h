#pragma once

#include <cstddef>
#include <map>
#include <string>
#include <string_view>

using LanguageEntries = std::map<std::string, std::string>;

// Reader of Localizable.strings files. Line by line (at most 999 bytes without the line
// end; a longer line is skipped and reading goes on), each line taken as UTF-8 on its own
// (invalid bytes become U+FFFD, a NUL ends the line). A line is an entry when it holds a
// ';' and a '=': the key lies between the first two double quotes before the first '=',
// the value between the first two double quotes from that '=' on. No escapes. Empty keys
// or values are skipped, '@' in a value becomes 's', and the first entry of a key wins.
class LanguageFileParser
{
public:
    static constexpr size_t kMaxLineBytes = 999;

    void feed(std::string_view bytes);
    // Takes the last line when the data did not end with a line end.
    void finish();

    const LanguageEntries &entries() const { return m_entries; }
    LanguageEntries takeEntries() { return std::move(m_entries); }

private:
    void takeLine(std::string_view line);

    LanguageEntries m_entries;
    std::string m_line;
    bool m_overlong = false; // the current line passed the limit and is being skipped
};

struct LanguageFileContent
{
    bool opened = false;
    LanguageEntries entries;
};

LanguageEntries ParseLanguageText(std::string_view bytes);
// Reads a file; opened is false when it cannot be opened. A read error ends the reading
// and keeps what was read.
LanguageFileContent ReadLanguageFile(const std::string &path);
