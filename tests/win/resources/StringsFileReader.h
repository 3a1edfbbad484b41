#pragma once

#include <map>
#include <string>
#include <vector>

// What a language file yields under the rules VarnoletWin's language table reads it by:
// line by line, a line over 999 bytes skipped, an entry is a line with a semicolon and an
// equals sign, key and value are the texts between the first and second double quote
// before and from the first equals sign, no escapes, empty keys or values skipped, every
// "@" of a value read as "s", the first entry of a key wins.
struct StringsFileContent
{
    std::map<std::string, std::string> entries;
    std::vector<std::string> duplicateKeys; // keys met again after their first entry
    std::vector<int> overlongLines;         // 1-based numbers of lines over 999 bytes
    std::vector<int> strayLines;            // non-blank lines that are neither entries nor comments
    int lineCount = 0;
};

class StringsFileReader
{
public:
    static constexpr std::size_t kMaximumLineBytes = 999;

    static StringsFileContent parse(const std::string &bytes);
    // False when the file cannot be read.
    static bool readFile(const std::string &path, StringsFileContent &content);
};
