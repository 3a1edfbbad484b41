#pragma once

#include <string>

namespace varnolet {

// Where the programs find the user's folders and their own files. Every getter answers
// without a trailing "/" except programFolder(), which keeps one (as the programs join
// file names straight onto it). Tests point any of them elsewhere with the setters.
class SystemPaths
{
public:
    // $HOME, else the password database's home folder.
    static std::string homeFolder();
    // $XDG_CONFIG_HOME, else home + "/.config".
    static std::string configHome();
    // $XDG_RUNTIME_DIR, else "/tmp/varnolet-runtime-<uid>" (created, mode 0700).
    static std::string runtimeFolder();
    // The XDG documents folder (user-dirs.dirs), else home + "/Documents".
    static std::string documentsFolder();
    // Folder of the running executable (/proc/self/exe) with a trailing "/"; empty when it
    // cannot be read.
    static std::string programFolder();

    // Overrides for tests; an empty string removes the override.
    static void overrideHomeFolder(const std::string &path);
    static void overrideConfigHome(const std::string &path);
    static void overrideRuntimeFolder(const std::string &path);
    static void overrideDocumentsFolder(const std::string &path);
    static void overrideProgramFolder(const std::string &path);
    static void clearOverrides();
};

} // namespace varnolet
