#pragma once

#include <string>

#include "platform/system/SystemPaths.h"

namespace varnolet::test {

// The environment's folders, except the program folder, which is programFolder as given
// (with its trailing "/").
inline SystemPaths withProgramFolder(const std::string &programFolder)
{
    SystemPaths::Folders folders;
    folders.program = programFolder;
    return SystemPaths(folders);
}

} // namespace varnolet::test
