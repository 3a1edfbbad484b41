#pragma once

#include "platform/media/ImageStatus.h"

#include <string>

// The text shown after "Save file %s failure" for an image status: the status name, a
// colon, a blank and its one-sentence description; the system's text for the error code
// for a system error (7); "Invalid status: ..." for any value outside 0..20.
std::string SaveStatusText(int status, int systemError);
inline std::string SaveStatusText(const varnolet::ImageResult &result)
{
    return SaveStatusText(static_cast<int>(result.status), result.systemError);
}
