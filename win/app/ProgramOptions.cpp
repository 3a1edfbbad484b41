#include "ProgramOptions.h"

#include "platform/system/CommandLine.h"

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
    m_virtualCamera = outcome.has("--virtual-camera");
    return std::nullopt;
}
