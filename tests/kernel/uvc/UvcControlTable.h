#pragma once

#include "UvcConfiguration.h"

#include <cstdint>
#include <vector>

namespace varnolet::test {

// The controls the emulated camera keeps for a unit's bmControls: for the camera terminal
// and the processing unit the standard controls of each declared bit (selector, size and a
// plausible range), for an extension unit one 2-byte control per declared bit (selector
// bit + 1).
struct UvcControlRange
{
    uint8_t selector = 0;
    uint8_t size = 2;
    bool isSigned = false;
    bool bitmapResolution = false; // auto-exposure mode: GET_RES is the mode bitmap
    bool raw = false;              // several fields (pan/tilt, relative moves): bytes kept as set
    int32_t minimum = 0, maximum = 0, resolution = 1, defaultValue = 0;
};

class UvcControlTable
{
public:
    static std::vector<UvcControlRange> forUnit(const UvcConfiguration::Unit &unit);
};

} // namespace varnolet::test
