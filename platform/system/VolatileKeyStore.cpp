#include "VolatileKeyStore.h"

#include "AtomicFile.h"

#include <cerrno>
#include <cstdio>
#include <fstream>
#include <map>

#include <sys/stat.h>
#include <unistd.h>

namespace varnolet {

namespace {

std::map<std::string, std::string> readValues(const std::string &file)
{
    std::map<std::string, std::string> values;
    std::ifstream in(file);
    std::string line;
    while (std::getline(in, line)) {
        const size_t eq = line.find('=');
        if (eq != std::string::npos)
            values[line.substr(0, eq)] = line.substr(eq + 1);
    }
    return values;
}

} // namespace

VolatileKeyStore::VolatileKeyStore(std::string folder)
    : m_folder(std::move(folder))
{
}

std::string VolatileKeyStore::fileOfKey(const std::string &keyPath) const
{
    std::string flat;
    for (char c : keyPath)
        flat += (c == '/' || c == '\\') ? '.' : c;
    return m_folder + "/" + flat + ".keys";
}

int VolatileKeyStore::setDword(const std::string &keyPath, const std::string &name, uint32_t value)
{
    if (::mkdir(m_folder.c_str(), 0700) != 0 && errno != EEXIST)
        return errno;
    const std::string file = fileOfKey(keyPath);
    std::map<std::string, std::string> values = readValues(file);
    values[name] = std::to_string(value);

    std::string text;
    for (const auto &[n, v] : values)
        text += n + "=" + v + "\n";
    return AtomicFile::replace(file, text);
}

std::optional<uint32_t> VolatileKeyStore::dword(const std::string &keyPath,
                                                const std::string &name) const
{
    const std::map<std::string, std::string> values = readValues(fileOfKey(keyPath));
    const auto it = values.find(name);
    if (it == values.end())
        return std::nullopt;
    try {
        return static_cast<uint32_t>(std::stoul(it->second));
    } catch (...) {
        return std::nullopt;
    }
}

} // namespace varnolet
