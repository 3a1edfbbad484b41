#pragma once

#include <QStringList>

// Command-line options of VarnoletWin. The only one is --virtual-camera, which lists the
// built-in virtual camera next to the real ones.
class ProgramOptions final
{
public:
    static void Parse(const QStringList &arguments);
    static bool VirtualCamera();
};
