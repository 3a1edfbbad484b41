#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

// A private-profile (INI) file held in memory, with the semantics of the Windows
// profile functions the settings rely on:
// - section and key names match without regard to ASCII case; the first section and the
//   first key of a name win;
// - a string value keeps at most its first 259 characters (code points); blanks around it
//   and one pair of matching surrounding quotes are removed;
// - integers read as signed decimals ("%d"); a missing key or empty value gives the default;
// - a write changes (or adds) one line and keeps every other line, comment and blank line;
// - a file is read as UTF-8 (with or without a byte-order mark) or as UTF-16 with a
//   byte-order mark, and written back in the encoding it was read in.
// Values come out and go in as UTF-8. Any byte sequence loads without failure.
class IniFile
{
public:
    enum class Encoding { Utf8, Utf8Bom, Utf16LE, Utf16BE };

    static constexpr size_t kMaxValueCharacters = 259;

    IniFile() = default;

    // Parses file contents in any of the encodings above.
    static IniFile fromBytes(std::string_view bytes);
    // Loads a file; false (and an empty file in memory) when it cannot be read.
    bool load(const std::string &path);
    // Writes the file (to a temporary file in the same folder, then renamed over it);
    // false on any failure, leaving the old file in place.
    bool save(const std::string &path) const;
    // The file contents in the encoding it was read in.
    std::string toBytes() const;

    Encoding encoding() const { return m_encoding; }
    void setEncoding(Encoding encoding) { m_encoding = encoding; }

    bool hasSection(std::string_view section) const;
    // The value of a key as stored (trimmed, unquoted, at most 259 characters), or nothing.
    std::optional<std::string> value(std::string_view section, std::string_view key) const;
    std::string getString(std::string_view section, std::string_view key,
                          std::string_view defaultValue) const;
    int32_t getInt(std::string_view section, std::string_view key, int32_t defaultValue) const;
    // A file-system path: as getString, but its bytes as they stand in the file, so that a
    // folder whose name is no UTF-8 is still found (a byte that is no UTF-8 counts as one
    // character of the 259).
    std::string getPath(std::string_view section, std::string_view key,
                        std::string_view defaultValue) const;

    // Sets a key, adding it at the end of its section, or the section at the end of the file.
    // Line breaks in the value are replaced by blanks so the file keeps its structure.
    void setString(std::string_view section, std::string_view key, std::string_view value);
    void setInt(std::string_view section, std::string_view key, int32_t value);

    // The text lines (UTF-8, without line ends) as they will be written.
    const std::vector<std::string> &lines() const { return m_lines; }
    // Whether the last line ends with a line end (an empty file counts as ending so).
    bool hasFinalLineEnd() const { return m_finalLineEnd; }

private:
    struct KeyLine
    {
        size_t line;
        std::string_view rawValue;
    };
    std::optional<size_t> findSection(std::string_view section) const;
    std::optional<KeyLine> findKey(std::string_view section, std::string_view key) const;
    // The value text between the key's equals sign and the line end, trimmed and unquoted.
    std::optional<std::string_view> storedValue(std::string_view section,
                                                std::string_view key) const;

    std::vector<std::string> m_lines;
    std::string m_lineEnd = "\n";
    bool m_finalLineEnd = true;
    Encoding m_encoding = Encoding::Utf8;
};

// Reads one integer the way the profile functions do: leading blanks, an optional sign,
// decimal digits up to the first other character (none: 0); clamped to the int32 range.
int32_t ParseProfileInt(std::string_view text);
