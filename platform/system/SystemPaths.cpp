#include "SystemPaths.h"

#include <cstdlib>
#include <fstream>
#include <utility>

#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>

namespace varnolet {

namespace {

std::string environment(const char *name)
{
    const char *value = std::getenv(name);
    return value ? std::string(value) : std::string();
}

std::string withoutTrailingSlash(std::string path)
{
    while (path.size() > 1 && path.back() == '/')
        path.pop_back();
    return path;
}

// Reads XDG_DOCUMENTS_DIR from user-dirs.dirs ("$HOME/..." or an absolute path).
std::string documentsFromUserDirs(const std::string &configHome, const std::string &home)
{
    std::ifstream in(configHome + "/user-dirs.dirs");
    std::string line;
    while (std::getline(in, line)) {
        const std::string key = "XDG_DOCUMENTS_DIR=";
        if (line.rfind(key, 0) != 0)
            continue;
        std::string value = line.substr(key.size());
        if (value.size() >= 2 && value.front() == '"' && value.back() == '"')
            value = value.substr(1, value.size() - 2);
        if (value.rfind("$HOME", 0) == 0)
            value = home + value.substr(5);
        if (value.empty() || value.front() != '/')
            return {};
        value = withoutTrailingSlash(value);
        // A documents entry that is just the home folder means "not set up".
        return value == home ? std::string() : value;
    }
    return {};
}

} // namespace

SystemPaths::SystemPaths(Folders given)
    : m_given(std::move(given))
{
}

std::string SystemPaths::homeFolder() const
{
    if (!m_given.home.empty())
        return m_given.home;
    std::string home = environment("HOME");
    if (home.empty()) {
        if (const passwd *pw = getpwuid(getuid()); pw && pw->pw_dir)
            home = pw->pw_dir;
    }
    return withoutTrailingSlash(home);
}

std::string SystemPaths::configHome() const
{
    if (!m_given.configHome.empty())
        return m_given.configHome;
    std::string config = environment("XDG_CONFIG_HOME");
    if (!config.empty() && config.front() == '/')
        return withoutTrailingSlash(config);
    return homeFolder() + "/.config";
}

std::string SystemPaths::runtimeFolder() const
{
    if (!m_given.runtime.empty())
        return m_given.runtime;
    std::string runtime = environment("XDG_RUNTIME_DIR");
    if (!runtime.empty() && runtime.front() == '/')
        return withoutTrailingSlash(runtime);
    runtime = "/tmp/varnolet-runtime-" + std::to_string(getuid());
    ::mkdir(runtime.c_str(), 0700);
    return runtime;
}

std::string SystemPaths::documentsFolder() const
{
    if (!m_given.documents.empty())
        return m_given.documents;
    const std::string home = homeFolder();
    std::string documents = documentsFromUserDirs(configHome(), home);
    if (documents.empty())
        documents = home + "/Documents";
    // A new account may not have its documents folder yet; the desktop would make it at
    // the first login, so make it here as well (one level, below an existing home).
    ::mkdir(documents.c_str(), 0755);
    return documents;
}

std::string SystemPaths::programFolder() const
{
    if (!m_given.program.empty())
        return m_given.program;
    std::error_code ec;
    const std::filesystem::path exe = std::filesystem::read_symlink("/proc/self/exe", ec);
    if (ec)
        return {};
    std::string folder = exe.parent_path().string();
    if (folder.empty() || folder.back() != '/')
        folder += '/';
    return folder;
}

} // namespace varnolet
