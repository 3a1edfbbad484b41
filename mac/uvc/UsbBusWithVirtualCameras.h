#pragma once

#include <memory>
#include <vector>

#include "mac/uvc/UsbDevice.h"
#include "platform/camera/CameraTypes.h"

// The machine's USB bus with the plugged virtual cameras after its devices, so that the
// camera control finds a virtual camera by the location the capture side shows for it,
// as it finds a USB camera.
class UsbBusWithVirtualCameras final : public UsbBackend
{
public:
    // bus: the real bus (null for none).
    explicit UsbBusWithVirtualCameras(std::unique_ptr<UsbBackend> bus);

    size_t enumerateDevices() override;
    int32_t openDevice(size_t index, std::unique_ptr<UsbDevice> &device) override;

private:
    std::unique_ptr<UsbBackend> m_bus;
    size_t m_busDevices = 0;
    std::vector<varnolet::CameraIdentity> m_virtual;
};
