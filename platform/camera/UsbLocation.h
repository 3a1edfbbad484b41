#pragma once

#include <cstdint>
#include <optional>
#include <string>

namespace varnolet {

// The 32-bit location of a USB device, built like the Mac's location ID: bus number in
// the top byte, then one hexadecimal nibble per port of the port path, high to low
// (bus 1, ports 2.3 -> 0x01230000). Both programs compute it from sysfs.
class UsbLocation
{
public:
    // From a USB device name of sysfs ("1-2.3"). None for root hubs ("usb1"), interfaces
    // ("1-2.3:1.0") and anything else.
    static std::optional<uint32_t> fromDeviceName(const std::string &name);
    // From any sysfs path at or below a USB device
    // (".../usb1/1-2/1-2.3/1-2.3:1.0/video4linux/video0"): the deepest USB device on it.
    static std::optional<uint32_t> fromSysfsPath(const std::string &path);
    // The prefix of path that names that USB device's folder; empty when there is none.
    static std::string usbDevicePath(const std::string &path);
    // "0x01230000": the location as the Mac program reads it back.
    static std::string hexText(uint32_t location);
    // The unique identifier of a USB camera as the Mac program lists it: "0x", the
    // location in eight hexadecimal digits, then vendor and product in four each
    // ("0x01230000046d0825").
    static std::string uniqueIdentifier(uint32_t location, uint16_t vendorId, uint16_t productId);
};

} // namespace varnolet
