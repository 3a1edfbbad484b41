// Any byte string as the configuration descriptor the emulated camera is given to serve
// (a file from disk): parsed, and every declared unit's controls and every frame's
// interval choice worked out, as the camera does before it plugs.
#include "tests/kernel/uvc/UvcConfiguration.h"
#include "tests/kernel/uvc/UvcControlTable.h"

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

using namespace varnolet::test;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const std::vector<uint8_t> bytes(data, data + size);
    std::string error;
    const auto config = UvcConfiguration::parse(bytes, error);
    if (!config)
        return error.empty() ? 1 : 0; // a refusal always says why
    unsigned sum = static_cast<unsigned>(config->probeSize());
    for (const auto &unit : config->units)
        sum += static_cast<unsigned>(UvcControlTable::forUnit(unit).size());
    for (const auto &s : config->streaming) {
        sum += s.maxPacketBytes() + s.packetBytes(1);
        for (const auto &f : s.formats) {
            for (const auto &frame : f.frames)
                sum += frame.closestInterval(sum) + frame.closestInterval(0);
        }
    }
    volatile unsigned sink = sum;
    (void)sink;
    return 0;
}
