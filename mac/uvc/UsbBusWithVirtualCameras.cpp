#include "UsbBusWithVirtualCameras.h"

#include "mac/uvc/VirtualUsbDevice.h"
#include "platform/camera/VirtualCameraHub.h"

UsbBusWithVirtualCameras::UsbBusWithVirtualCameras(std::unique_ptr<UsbBackend> bus,
                                                   varnolet::VirtualCameraHub &hub)
    : m_bus(std::move(bus))
    , m_hub(hub)
{
}

size_t UsbBusWithVirtualCameras::enumerateDevices()
{
    m_busDevices = m_bus ? m_bus->enumerateDevices() : 0;
    m_virtual = m_hub.list();
    return m_busDevices + m_virtual.size();
}

int32_t UsbBusWithVirtualCameras::openDevice(size_t index, std::unique_ptr<UsbDevice> &device)
{
    device.reset();
    if (index < m_busDevices)
        return m_bus->openDevice(index, device);
    index -= m_busDevices;
    if (index >= m_virtual.size())
        return UsbError::kNotFound;
    device = std::make_unique<VirtualUsbDevice>(m_virtual[index], m_hub);
    return 0;
}
