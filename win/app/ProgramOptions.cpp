#include "ProgramOptions.h"

#include <atomic>

#include "platform/system/CommandLine.h"

namespace {
std::atomic<bool> g_virtualCamera{false};
}

std::optional<int> ProgramOptions::Parse(int argc, const char *const *argv, const char *version,
                                         std::ostream &out, std::ostream &err)
{
    const varnolet::CommandLine commandLine(
        "VarnoletWin", version,
        "Live picture, photos, timed shots and AVI movies from a USB microscope camera.",
        {varnolet::CommandLine::virtualCameraOption()});
    const auto outcome = commandLine.parse(argc, argv, out, err);
    if (!outcome.run)
        return outcome.exitCode;
    g_virtualCamera = outcome.has("--virtual-camera");
    return std::nullopt;
}

bool ProgramOptions::VirtualCamera()
{
    return g_virtualCamera;
}
