#include "ProcessPaths.h"

#include <mutex>

namespace {

std::mutex g_lock; // guards g_overrides
varnolet::SystemPaths::Folders g_overrides;

void setOverride(std::string varnolet::SystemPaths::Folders::*field, const std::string &value)
{
    std::lock_guard lock(g_lock);
    g_overrides.*field = value;
}

} // namespace

varnolet::SystemPaths ProcessPaths::current()
{
    std::lock_guard lock(g_lock);
    return varnolet::SystemPaths(g_overrides);
}

void ProcessPaths::overrideConfigHome(const std::string &path)
{
    setOverride(&varnolet::SystemPaths::Folders::configHome, path);
}
void ProcessPaths::overrideRuntimeFolder(const std::string &path)
{
    setOverride(&varnolet::SystemPaths::Folders::runtime, path);
}
void ProcessPaths::overrideDocumentsFolder(const std::string &path)
{
    setOverride(&varnolet::SystemPaths::Folders::documents, path);
}
void ProcessPaths::overrideProgramFolder(const std::string &path)
{
    setOverride(&varnolet::SystemPaths::Folders::program, path);
}

void ProcessPaths::clearOverrides()
{
    std::lock_guard lock(g_lock);
    g_overrides = {};
}
