#include "CameraKey.h"

#include "CalibrationStore.h"

#include <fstream>

namespace varnolet {

std::string CameraKey::usbSerial(const std::string &sysfsPath)
{
    if (sysfsPath.empty())
        return std::string();
    std::ifstream in(sysfsPath + "/serial");
    std::string line;
    if (!in || !std::getline(in, line))
        return std::string();
    std::string serial;
    for (const char c : line) {
        if (c > ' ' && c < 127)
            serial.push_back(c);
        if (serial.size() == 64)
            break;
    }
    return serial;
}

std::string CameraKey::forIdentity(const CameraIdentity &identity)
{
    if (identity.isVirtual)
        return CalibrationStore::cameraKey(0, 0, std::string(), identity.friendlyName);
    return CalibrationStore::cameraKey(identity.usbVendorId, identity.usbProductId,
                                       usbSerial(identity.usbSysfsPath), identity.friendlyName);
}

} // namespace varnolet
