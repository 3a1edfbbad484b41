#pragma once

#include <cstdint>
#include <memory>
#include <vector>

#include "mac/uvc/UsbDevice.h"
#include "platform/camera/CameraTypes.h"

namespace varnolet {
class VirtualCameraHub;
}

// A virtual camera (platform/camera) as the camera control sees a USB camera: its
// location, a configuration descriptor of a UVC function (camera terminal, a processing
// unit with brightness, contrast, hue, saturation and sharpness, one uncompressed format
// at the camera's sizes), and a VideoControl interface whose class requests reach the
// camera's picture controls, mapped as the kernel driver maps them to V4L2 controls.
class VirtualUsbDevice final : public UsbDevice
{
public:
    static constexpr uint8_t kInterfaceNumber = 0;
    static constexpr uint8_t kTerminalId = 1;
    static constexpr uint8_t kProcessingUnitId = 2;

    // identity: the camera as its hub lists it. hub: where its controls are opened; it
    // outlives the device and its interfaces.
    VirtualUsbDevice(varnolet::CameraIdentity identity, varnolet::VirtualCameraHub &hub);

    int32_t getLocationID(uint32_t &location) override;
    int32_t getNumberOfConfigurations(uint8_t &count) override;
    int32_t getConfigurationDescriptor(std::vector<uint8_t> &bytes) override;
    int32_t getVideoControlInterface(std::unique_ptr<UsbInterface> &interface) override;

    static std::vector<uint8_t> configurationDescriptor();

private:
    varnolet::CameraIdentity m_identity;
    varnolet::VirtualCameraHub &m_hub;
};
