#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace varnolet {
class CameraEnumerator;
struct CameraIdentity;
} // namespace varnolet

// One video input device as the controller lists it: a unique identifier, a display name
// and the path the camera enumerator opens it by. A USB camera's identifier is "0x", its
// location in eight hexadecimal digits, then vendor and product (a virtual camera's
// location is on a bus no machine has, so the camera control finds it as well); any other
// camera's identifier is its device path, which never begins with "0x".
class CaptureDevice
{
public:
    CaptureDevice() = default;
    explicit CaptureDevice(const varnolet::CameraIdentity &identity);

    const std::string &uniqueID() const { return m_uniqueID; }
    const std::string &localizedDisplayName() const { return m_displayName; }
    const std::string &devicePath() const { return m_devicePath; }
    // The key the camera's calibrations are kept under (USB identity and serial, else name).
    const std::string &calibrationKey() const { return m_calibrationKey; }

    // Every video input device, in the enumerator's order.
    static std::vector<CaptureDevice>
    inputDevicesWithMediaTypeVideo(varnolet::CameraEnumerator &enumerator);

    // The location read from the leading "0x" and up to eight hexadecimal digits of an
    // identifier; none when the identifier does not begin so.
    static std::optional<uint32_t> locationOfUniqueID(const std::string &uniqueID);

private:
    std::string m_uniqueID;
    std::string m_displayName;
    std::string m_devicePath;
    std::string m_calibrationKey;
};
