#pragma once

#include "platform/camera/CameraTypes.h"

#include <string>

namespace varnolet {

// The key a camera's calibrations are kept under (CalibrationStore::cameraKey), with the
// USB serial number read from the device's sysfs folder when it has one.
class CameraKey
{
public:
    static std::string forIdentity(const CameraIdentity &identity);
    // The serial number in a USB device's sysfs folder; empty when there is none. Only
    // printable ASCII is kept and at most 64 characters.
    static std::string usbSerial(const std::string &sysfsPath);
};

} // namespace varnolet
