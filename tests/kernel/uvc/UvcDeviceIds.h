#pragma once

#include <cstdint>
#include <optional>
#include <string>

namespace varnolet::test {

// A USB vendor and product id as the emulator takes it: "VVVV:PPPP" on its command line, or
// from a descriptor file named "VVVV-PPPP.bin" or "VVVV-PPPP-anything.bin" (hex, either case).
struct UvcDeviceIds
{
    uint16_t vendorId = 0;
    uint16_t productId = 0;

    static std::optional<UvcDeviceIds> parse(const std::string &text);
    static std::optional<UvcDeviceIds> fromFileName(const std::string &path);
    // "vvvv:pppp", lower-case hex.
    std::string text() const;
};

} // namespace varnolet::test
