#include "VirtualUsbDevice.h"

#include <cerrno>

#include "mac/uvc/UvcV4l2Bridge.h"
#include "mac/uvc/V4l2ControlNode.h"
#include "platform/camera/CameraSource.h"
#include "platform/camera/VirtualCamera.h"
#include "platform/camera/VirtualCameraHub.h"

namespace {

// The picture controls of a source, answered as a video node answers control calls.
class SourceControlNode final : public V4l2ControlNode
{
public:
    explicit SourceControlNode(std::unique_ptr<varnolet::CameraSource> source)
        : m_source(std::move(source))
    {
    }

    int32_t queryControl(v4l2_queryctrl &query) override
    {
        for (const varnolet::CameraControl &control : m_source->controls()) {
            if (control.id != query.id)
                continue;
            query.type = V4L2_CTRL_TYPE_INTEGER;
            query.minimum = control.minimum;
            query.maximum = control.maximum;
            query.step = control.step;
            query.default_value = control.defaultValue;
            query.flags = 0;
            return 0;
        }
        return -EINVAL;
    }
    int32_t getControl(uint32_t id, int32_t &value) override
    {
        return m_source->control(id, value);
    }
    int32_t setControl(uint32_t id, int32_t value) override
    {
        return m_source->setControl(id, value);
    }

private:
    std::unique_ptr<varnolet::CameraSource> m_source;
};

// The VideoControl interface: no endpoints (the virtual camera's button reaches the
// programs through its source), requests carried out on the camera's controls.
class VirtualUsbInterface final : public UsbInterface
{
public:
    VirtualUsbInterface(std::string devicePath, varnolet::VirtualCameraHub &hub)
        : m_devicePath(std::move(devicePath))
        , m_hub(hub)
    {
    }

    int32_t getInterfaceNumber(uint8_t &number) override
    {
        number = VirtualUsbDevice::kInterfaceNumber;
        return 0;
    }
    int32_t open() override
    {
        if (m_bridge)
            return 0;
        int error = 0;
        std::unique_ptr<varnolet::CameraSource> source = m_hub.open(m_devicePath, error);
        if (!source)
            return UsbError::kNoDevice;
        m_bridge = std::make_unique<UvcV4l2Bridge>(
            std::make_unique<SourceControlNode>(std::move(source)),
            VirtualUsbDevice::kInterfaceNumber, VirtualUsbDevice::kTerminalId,
            VirtualUsbDevice::kProcessingUnitId);
        return 0;
    }
    int32_t close() override
    {
        m_bridge.reset();
        return 0;
    }
    int32_t controlRequest(UsbControlRequest &request) override
    {
        if (!m_bridge)
            return UsbError::kNoDevice;
        const int32_t result = m_bridge->controlRequest(request);
        // An unplugged camera answers as a vanished device does.
        return result == -ENODEV ? UsbError::kNoDevice : result;
    }
    int32_t getNumEndpoints(uint8_t &count) override
    {
        count = 0;
        return 0;
    }
    int32_t getPipeProperties(uint8_t, UsbPipeProperties &) override { return UsbError::kNotFound; }
    std::shared_ptr<UsbRunLoop> createAsyncEventSource() override { return nullptr; }
    int32_t readPipeAsync(uint8_t, uint8_t *, uint32_t, UsbReadCompletion, void *) override
    {
        return UsbError::kNotSupported;
    }

private:
    std::string m_devicePath;
    varnolet::VirtualCameraHub &m_hub;
    std::unique_ptr<UvcV4l2Bridge> m_bridge;
};

void put16(std::vector<uint8_t> &bytes, uint32_t value)
{
    bytes.push_back(static_cast<uint8_t>(value));
    bytes.push_back(static_cast<uint8_t>(value >> 8));
}

void put32(std::vector<uint8_t> &bytes, uint32_t value)
{
    put16(bytes, value & 0xFFFF);
    put16(bytes, value >> 16);
}

} // namespace

VirtualUsbDevice::VirtualUsbDevice(varnolet::CameraIdentity identity,
                                   varnolet::VirtualCameraHub &hub)
    : m_identity(std::move(identity))
    , m_hub(hub)
{
}

int32_t VirtualUsbDevice::getLocationID(uint32_t &location)
{
    location = m_identity.usbLocation;
    return 0;
}

int32_t VirtualUsbDevice::getNumberOfConfigurations(uint8_t &count)
{
    count = 1;
    return 0;
}

int32_t VirtualUsbDevice::getConfigurationDescriptor(std::vector<uint8_t> &bytes)
{
    bytes = configurationDescriptor();
    return 0;
}

int32_t VirtualUsbDevice::getVideoControlInterface(std::unique_ptr<UsbInterface> &interface)
{
    interface = std::make_unique<VirtualUsbInterface>(m_identity.devicePath, m_hub);
    return 0;
}

std::vector<uint8_t> VirtualUsbDevice::configurationDescriptor()
{
    // Processing unit controls: brightness, contrast, hue, saturation, sharpness.
    constexpr uint16_t kPictureControls = 0x001F;
    constexpr uint32_t kInterval = 333333; // 30 frames per second, in 100 ns units
    const auto &sizes = varnolet::VirtualCamera::sizes();

    std::vector<uint8_t> d = {9, 0x02, 0, 0, 2, 1, 0, 0x80, 250};
    // VideoControl: interface, header, camera terminal, processing unit, output terminal.
    d.insert(d.end(), {9, 0x04, kInterfaceNumber, 0, 0, 0x0E, 0x01, 0, 0});
    d.insert(d.end(), {13, 0x24, 0x01, 0x00, 0x01, 13 + 18 + 11 + 9, 0});
    put32(d, 48000000);
    d.insert(d.end(), {1, 1});
    d.insert(d.end(),
             {18, 0x24, 0x02, kTerminalId, 0x01, 0x02, 0, 0, 0, 0, 0, 0, 0, 0, 3, 0, 0, 0});
    d.insert(d.end(), {11, 0x24, 0x05, kProcessingUnitId, kTerminalId, 0, 0, 2});
    put16(d, kPictureControls);
    d.push_back(0);
    d.insert(d.end(), {9, 0x24, 0x03, 3, 0x01, 0x01, 0, kProcessingUnitId, 0});
    // VideoStreaming: interface, input header (no still trigger), YUY2 with every size.
    d.insert(d.end(), {9, 0x04, 1, 0, 0, 0x0E, 0x02, 0, 0});
    const size_t header = d.size();
    d.insert(d.end(), {14, 0x24, 0x01, 1, 0, 0, 0x81, 0, 3, 0, 0, 0, 1, 0});
    d.insert(d.end(), {27, 0x24, 0x04, 1, static_cast<uint8_t>(sizes.size())});
    d.insert(d.end(), {'Y', 'U', 'Y', '2', 0x00, 0x00, 0x10, 0x00, 0x80, 0x00, 0x00, 0xAA, 0x00,
                       0x38, 0x9B, 0x71});
    d.insert(d.end(), {16, 1, 0, 0, 0, 0});
    uint8_t index = 1;
    for (const auto &[width, height] : sizes) {
        const uint32_t frameBytes = static_cast<uint32_t>(width) * height * 2;
        d.insert(d.end(), {30, 0x24, 0x05, index++, 0});
        put16(d, static_cast<uint32_t>(width));
        put16(d, static_cast<uint32_t>(height));
        put32(d, frameBytes * 8 * 30); // bit rates
        put32(d, frameBytes * 8 * 30);
        put32(d, frameBytes);
        put32(d, kInterval);
        d.push_back(1);
        put32(d, kInterval);
    }
    const size_t streamingLength = d.size() - header;
    d[header + 4] = static_cast<uint8_t>(streamingLength);
    d[header + 5] = static_cast<uint8_t>(streamingLength >> 8);
    d[2] = static_cast<uint8_t>(d.size());
    d[3] = static_cast<uint8_t>(d.size() >> 8);
    return d;
}
