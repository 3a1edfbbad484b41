#include "ConfigFileRepair.h"

#include "CSettingParams.h"
#include "IniFile.h"

#include "platform/system/AtomicFile.h"
#include "platform/system/SystemError.h"
#include "platform/system/UniqueFd.h"

#include <algorithm>
#include <cerrno>
#include <cstdio>

#include <fcntl.h>
#include <unistd.h>

namespace {

constexpr int kMostKeptCopies = 99;

std::string_view trimmed(std::string_view line)
{
    const auto blank = [](char c) { return c == ' ' || c == '\t' || c == '\r'; };
    while (!line.empty() && blank(line.front()))
        line.remove_prefix(1);
    while (!line.empty() && blank(line.back()))
        line.remove_suffix(1);
    return line;
}

bool isControl(unsigned char c)
{
    return (c < 0x20 && c != '\t' && c != '\r' && c != '\n' && c != '\v' && c != '\f') || c == 0x7f;
}

// Reads a whole file of at most maxBytes; false when it cannot be read.
bool readSmallFile(const std::string &path, std::string &bytes)
{
    constexpr size_t kMaxBytes = 4 * 1024 * 1024;
    const varnolet::UniqueFd file(::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK));
    if (!file)
        return false;
    const int fd = file.get();
    bytes.clear();
    char buffer[8192];
    bool ok = true;
    while (true) {
        const ssize_t got = ::read(fd, buffer, sizeof buffer);
        if (got < 0 && errno == EINTR)
            continue;
        if (got < 0 || bytes.size() + size_t(std::max<ssize_t>(got, 0)) > kMaxBytes) {
            ok = false;
            break;
        }
        if (got == 0)
            break;
        bytes.append(buffer, static_cast<size_t>(got));
    }
    return ok;
}

// Copies the damaged bytes to the first free "<path>.bad" name; the name, or empty.
std::string keepDamaged(const std::string &path, const std::string &bytes)
{
    for (int n = 1; n <= kMostKeptCopies; ++n) {
        const std::string name = path + ".bad" + (n == 1 ? std::string() : "." + std::to_string(n));
        const int error =
            varnolet::AtomicFile::write(name, reinterpret_cast<const uint8_t *>(bytes.data()),
                                        bytes.size(), varnolet::AtomicFile::Mode::KeepExisting);
        if (error == 0)
            return name;
        if (error != EEXIST)
            break;
    }
    return {};
}

} // namespace

std::string ConfigDamage(std::string_view bytes)
{
    if (std::all_of(bytes.begin(), bytes.end(), [](char c) {
            return c == '\0' || c == ' ' || c == '\t' || c == '\r' || c == '\n';
        }))
        return "empty";
    const IniFile file = IniFile::fromBytes(bytes);
    for (const std::string &line : file.lines()) {
        if (std::any_of(line.begin(), line.end(),
                        [](char c) { return isControl(static_cast<unsigned char>(c)); }))
            return "holds control characters";
    }
    if (!file.hasSection("defaultsetting") && !file.hasSection("usingsetting"))
        return "has no settings section";
    if (!file.hasFinalLineEnd() && !file.lines().empty()) {
        const std::string_view last = trimmed(file.lines().back());
        const bool comment = !last.empty() && (last.front() == ';' || last.front() == '#');
        const bool header = last.size() >= 2 && last.front() == '[' && last.back() == ']';
        if (!last.empty() && !comment && !header && last.find('=') == std::string_view::npos)
            return "ends in a cut line";
    }
    return {};
}

std::string RebuildDamagedConfig(const std::string &userPath, const std::string &templatePath)
{
    std::string bytes;
    if (!readSmallFile(userPath, bytes))
        return {};
    const std::string damage = ConfigDamage(bytes);
    if (damage.empty())
        return {};
    std::string templateBytes;
    if (!readSmallFile(templatePath, templateBytes) || !ConfigDamage(templateBytes).empty()) {
        std::fprintf(stderr, "Varnolet: %s %s, and the template %s cannot replace it\n",
                     userPath.c_str(), damage.c_str(), templatePath.c_str());
        return {};
    }

    IniFile rebuilt = IniFile::fromBytes(templateBytes);
    // The path word stands for itself both ways, so the template's word is copied as it is.
    const std::string pathWord = "default";
    SettingValues factory;
    ReadSettingSection(factory, rebuilt, "defaultsetting", pathWord);
    WriteSettingSection(rebuilt, "usingsetting", factory, pathWord);

    // The damaged bytes are safe under their new name before the file is replaced, and
    // the replacement is atomic: a crash leaves the damaged file or the new one.
    const std::string kept = keepDamaged(userPath, bytes);
    if (kept.empty())
        return {};
    const int error = varnolet::AtomicFile::replace(userPath, rebuilt.toBytes());
    if (error != 0) {
        std::fprintf(stderr, "Varnolet: %s %s and cannot be replaced: %s\n", userPath.c_str(),
                     damage.c_str(), varnolet::SystemError::text(error).c_str());
        ::unlink(kept.c_str());
        return {};
    }
    std::fprintf(stderr, "Varnolet: %s %s; rebuilt from the template, the old file kept as %s\n",
                 userPath.c_str(), damage.c_str(), kept.c_str());
    return kept;
}
