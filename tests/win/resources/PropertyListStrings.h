#pragma once

#include <map>
#include <string>
#include <vector>

// A strict reader of the property-list "strings" form (the top level of a .strings file):
// entries `string = string ;` or `string ;`, strings quoted with the property-list escapes
// or unquoted from the plain character set, comments /* */ and //. It answers what a
// property-list reader makes of the file, so a file that is fine for one program and
// broken for the other shows up.
struct PropertyListStringsResult
{
    bool ok = false;
    std::string error;                          // with the line number, when not ok
    std::map<std::string, std::string> entries; // the last entry of a key wins, as in a dictionary
    std::vector<std::string> duplicateKeys;
};

class PropertyListStrings
{
public:
    static PropertyListStringsResult parse(const std::string &utf8);
};
