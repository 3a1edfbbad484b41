#include "StringsFileReader.h"

#include <algorithm>
#include <fstream>
#include <sstream>

namespace {

// The text between the first and the second double quote of part, or empty.
std::string quoted(const std::string &part)
{
    const std::size_t first = part.find('"');
    if (first == std::string::npos)
        return {};
    const std::size_t second = part.find('"', first + 1);
    if (second == std::string::npos)
        return {};
    return part.substr(first + 1, second - first - 1);
}

bool isCommentOrBlank(const std::string &line)
{
    const std::size_t start = line.find_first_not_of(" \t");
    if (start == std::string::npos)
        return true;
    return line.compare(start, 2, "/*") == 0 || line.compare(start, 2, "//") == 0;
}

} // namespace

StringsFileContent StringsFileReader::parse(const std::string &bytes)
{
    StringsFileContent content;
    std::size_t position = 0;
    while (position < bytes.size()) {
        std::size_t end = bytes.find('\n', position);
        if (end == std::string::npos)
            end = bytes.size();
        std::string line = bytes.substr(position, end - position);
        position = end + 1;
        ++content.lineCount;
        if (!line.empty() && line.back() == '\r')
            line.pop_back();

        if (line.size() > kMaximumLineBytes) {
            content.overlongLines.push_back(content.lineCount);
            continue;
        }
        const std::size_t equals = line.find('=');
        const bool entry = equals != std::string::npos && line.find(';') != std::string::npos;
        if (!entry) {
            if (!isCommentOrBlank(line))
                content.strayLines.push_back(content.lineCount);
            continue;
        }
        const std::string key = quoted(line.substr(0, equals));
        std::string value = quoted(line.substr(equals));
        if (key.empty() || value.empty()) {
            content.strayLines.push_back(content.lineCount);
            continue;
        }
        std::replace(value.begin(), value.end(), '@', 's');
        if (!content.entries.emplace(key, value).second)
            content.duplicateKeys.push_back(key);
    }
    return content;
}

bool StringsFileReader::readFile(const std::string &path, StringsFileContent &content)
{
    std::ifstream file(path, std::ios::binary);
    if (!file)
        return false;
    std::ostringstream bytes;
    bytes << file.rdbuf();
    content = parse(bytes.str());
    return true;
}
