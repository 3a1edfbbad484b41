#pragma once

#include <string>

namespace varnolet {

// Where a program finds the user's folders and its own files. Made once by each program's
// main() and handed to what needs a folder; tests make their own with temporary folders.
// Every getter answers without a trailing "/" except programFolder(), which keeps one (as
// the programs join file names straight onto it). Immutable, so safe from any thread.
class SystemPaths
{
public:
    // The folders a maker names. Each one given is answered as it is; each one left empty
    // is looked up in the environment at every call, as described at its getter.
    struct Folders
    {
        std::string home{};
        std::string configHome{};
        std::string runtime{};
        std::string documents{};
        std::string program{};
    };

    explicit SystemPaths(Folders given);
    // Every folder from the environment.
    static SystemPaths fromEnvironment() { return SystemPaths(Folders{}); }

    // $HOME, else the password database's home folder.
    std::string homeFolder() const;
    // $XDG_CONFIG_HOME, else home + "/.config".
    std::string configHome() const;
    // $XDG_RUNTIME_DIR, else "/tmp/varnolet-runtime-<uid>" (created, mode 0700).
    std::string runtimeFolder() const;
    // The XDG documents folder (user-dirs.dirs), else home + "/Documents".
    std::string documentsFolder() const;
    // Folder of the running executable (/proc/self/exe) with a trailing "/"; empty when it
    // cannot be read.
    std::string programFolder() const;

    const Folders &given() const { return m_given; }

private:
    Folders m_given;
};

} // namespace varnolet
