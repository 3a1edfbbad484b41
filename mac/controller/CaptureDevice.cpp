#include "CaptureDevice.h"

#include <cctype>

#include "platform/camera/CameraEnumerator.h"
#include "platform/camera/UsbLocation.h"
#include "platform/measure/CameraKey.h"

CaptureDevice::CaptureDevice(const varnolet::CameraIdentity &identity)
    : m_displayName(identity.friendlyName)
    , m_devicePath(identity.devicePath)
{
    if (identity.usbLocation != 0)
        m_uniqueID = varnolet::UsbLocation::uniqueIdentifier(
            identity.usbLocation, identity.usbVendorId, identity.usbProductId);
    else
        m_uniqueID = identity.devicePath;
    if (m_displayName.empty())
        m_displayName = identity.devicePath;
    m_calibrationKey = varnolet::CameraKey::forIdentity(identity);
}

std::vector<CaptureDevice>
CaptureDevice::inputDevicesWithMediaTypeVideo(varnolet::CameraEnumerator &enumerator)
{
    std::vector<CaptureDevice> devices;
    for (const varnolet::CameraIdentity &identity : enumerator.list())
        devices.emplace_back(identity);
    return devices;
}

std::optional<uint32_t> CaptureDevice::locationOfUniqueID(const std::string &uniqueID)
{
    if (uniqueID.size() < 3 || uniqueID[0] != '0' || (uniqueID[1] != 'x' && uniqueID[1] != 'X'))
        return std::nullopt;
    uint32_t location = 0;
    size_t digits = 0;
    for (size_t i = 2; i < uniqueID.size() && digits < 8; ++i, ++digits) {
        const unsigned char c = static_cast<unsigned char>(uniqueID[i]);
        if (!std::isxdigit(c))
            break;
        const uint32_t value = std::isdigit(c) ? c - '0' : std::tolower(c) - 'a' + 10;
        location = location << 4 | value;
    }
    if (digits == 0)
        return std::nullopt;
    return location;
}
