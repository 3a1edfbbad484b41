#pragma once

#include <string>

#include "platform/system/SystemPaths.h"

// VarnoletWin's folders, one set for the whole process: the environment's, except those a
// test points elsewhere. Its settings store and free functions have no owner to be handed
// a SystemPaths yet, so they ask here.
class ProcessPaths
{
public:
    // The folders in force now.
    static varnolet::SystemPaths current();

    static std::string configHome() { return current().configHome(); }
    static std::string runtimeFolder() { return current().runtimeFolder(); }
    static std::string documentsFolder() { return current().documentsFolder(); }
    static std::string programFolder() { return current().programFolder(); }

    // Overrides for tests; an empty string removes the override.
    static void overrideConfigHome(const std::string &path);
    static void overrideRuntimeFolder(const std::string &path);
    static void overrideDocumentsFolder(const std::string &path);
    static void overrideProgramFolder(const std::string &path);
    static void clearOverrides();
};
