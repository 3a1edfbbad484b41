#pragma once

#include <optional>
#include <ostream>

// Command-line options of VarnoletWin, read before the application object exists, so
// that --help and --version answer without a display. --virtual-camera lists the
// built-in virtual camera next to the real ones.
class ProgramOptions final
{
public:
    // Empty when the program runs on; otherwise the exit status to end with (0 after
    // --help or --version, 2 after a mistake, already reported on err).
    std::optional<int> Parse(int argc, const char *const *argv, const char *version,
                             std::ostream &out, std::ostream &err);
    // After Parse: whether --virtual-camera was given.
    bool VirtualCamera() const { return m_virtualCamera; }

private:
    bool m_virtualCamera = false;
};
