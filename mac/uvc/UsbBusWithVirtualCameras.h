#pragma once

#include <memory>
#include <vector>

#include "mac/uvc/UsbDevice.h"
#include "platform/camera/CameraTypes.h"

namespace varnolet {
class VirtualCameraHub;
}

// The machine's USB bus with the virtual cameras plugged into a hub after its devices, so
// that the camera control finds a virtual camera by the location the capture side shows
// for it, as it finds a USB camera.
class UsbBusWithVirtualCameras final : public UsbBackend
{
public:
    // bus: the real bus (null for none). hub: the virtual cameras; it outlives the bus and
    // the devices opened on it.
    UsbBusWithVirtualCameras(std::unique_ptr<UsbBackend> bus, varnolet::VirtualCameraHub &hub);

    size_t enumerateDevices() override;
    int32_t openDevice(size_t index, std::unique_ptr<UsbDevice> &device) override;

private:
    std::unique_ptr<UsbBackend> m_bus;
    varnolet::VirtualCameraHub &m_hub;
    size_t m_busDevices = 0;
    std::vector<varnolet::CameraIdentity> m_virtual;
};
