#pragma once

#include <map>
#include <optional>
#include <string>
#include <string_view>

// Reader of Localizable.strings files as property lists: the text form of a strings file
// ("key" = "value"; entries, quoted keys and values with the property-list escapes,
// unquoted words, /* */ and // comments, optionally wrapped in braces) and XML or binary
// property lists holding a dictionary. UTF-8 with or without byte-order mark, or UTF-16
// with one. Any syntax error makes the whole file unreadable, as for a property list.
class StringsFile
{
public:
    using Table = std::map<std::string, std::string>;

    // The entries with text values (for the same key the last entry wins); none when the
    // bytes are not a valid strings file.
    static std::optional<Table> parse(std::string_view bytes);
    // parse() of the file's contents; none when it cannot be read.
    static std::optional<Table> readFile(const std::string &path);
};
