#include "ProgramOptions.h"

#include <atomic>

namespace {
std::atomic<bool> g_virtualCamera{false};
}

void ProgramOptions::Parse(const QStringList &arguments)
{
    g_virtualCamera = arguments.contains(QStringLiteral("--virtual-camera"));
}

bool ProgramOptions::VirtualCamera()
{
    return g_virtualCamera;
}
