#include "LibusbBackend.h"

#include <cerrno>
#include <filesystem>
#include <fstream>
#include <iterator>

#include <libusb.h>

#include "mac/uvc/LibusbInterface.h"
#include "mac/uvc/confdesc.h"
#include "platform/camera/UsbLocation.h"

namespace fs = std::filesystem;

namespace {

constexpr uint8_t kVideoClass = 0x0E;
constexpr uint8_t kVideoControlSubclass = 0x01;
constexpr size_t kDeviceDescriptorLength = 18;
constexpr size_t kMaxDescriptorsFile = 1 << 20;

// One attached device; questions answered from libusb's cached descriptors and sysfs.
class LibusbDevice final : public UsbDevice
{
public:
    LibusbDevice(std::shared_ptr<libusb_context> context, libusb_device *device,
                 std::string sysfsPath)
        : m_context(std::move(context))
        , m_device(libusb_ref_device(device))
        , m_sysfsPath(std::move(sysfsPath))
    {
    }
    ~LibusbDevice() override { libusb_unref_device(m_device); }
    LibusbDevice(const LibusbDevice &) = delete;
    LibusbDevice &operator=(const LibusbDevice &) = delete;

    int32_t getLocationID(uint32_t &location) override
    {
        std::error_code error;
        const fs::path path = fs::weakly_canonical(m_sysfsPath, error);
        if (error)
            return -ENOENT;
        const auto found = varnolet::UsbLocation::fromSysfsPath(path.string());
        if (!found)
            return -ENOENT;
        location = *found;
        return 0;
    }

    int32_t getNumberOfConfigurations(uint8_t &count) override
    {
        libusb_device_descriptor descriptor{};
        const int result = libusb_get_device_descriptor(m_device, &descriptor);
        if (result != 0)
            return result;
        count = descriptor.bNumConfigurations;
        return 0;
    }

    int32_t getConfigurationDescriptor(std::vector<uint8_t> &bytes) override
    {
        std::ifstream file(m_sysfsPath + "/descriptors", std::ios::binary);
        if (!file)
            return -ENOENT;
        std::vector<uint8_t> content;
        char chunk[4096];
        while (file.read(chunk, sizeof chunk) || file.gcount() > 0) {
            content.insert(content.end(), chunk, chunk + file.gcount());
            if (content.size() > kMaxDescriptorsFile)
                return -EFBIG;
        }
        if (file.bad())
            return -EIO;
        return LibusbBackend::configurationFromSysfs(content, bytes);
    }

    int32_t getVideoControlInterface(std::unique_ptr<UsbInterface> &interface) override
    {
        interface.reset();
        std::vector<uint8_t> bytes;
        const int32_t read = getConfigurationDescriptor(bytes);
        if (read != 0)
            return read;
        libusb_config_descriptor *config = nullptr;
        const int result = libusb_get_config_descriptor(m_device, 0, &config);
        if (result != 0)
            return result;
        std::unique_ptr<libusb_config_descriptor, decltype(&libusb_free_config_descriptor)> owner(
            config, &libusb_free_config_descriptor);

        for (int i = 0; i < config->bNumInterfaces; ++i) {
            const libusb_interface &candidate = config->interface[i];
            for (int a = 0; a < candidate.num_altsetting; ++a) {
                const libusb_interface_descriptor &setting = candidate.altsetting[a];
                if (setting.bInterfaceClass != kVideoClass ||
                    setting.bInterfaceSubClass != kVideoControlSubclass)
                    continue;
                LibusbInterface::Description description;
                description.interfaceNumber = setting.bInterfaceNumber;
                description.usbSysfsPath = m_sysfsPath;
                for (int e = 0; e < setting.bNumEndpoints; ++e) {
                    const libusb_endpoint_descriptor &endpoint = setting.endpoint[e];
                    UsbPipeProperties pipe;
                    pipe.direction = (endpoint.bEndpointAddress & 0x80) ? 1 : 0;
                    pipe.number = endpoint.bEndpointAddress & 0x0F;
                    pipe.transferType = endpoint.bmAttributes & 0x03;
                    pipe.maxPacketSize = endpoint.wMaxPacketSize;
                    pipe.interval = endpoint.bInterval;
                    description.pipes.push_back(pipe);
                }
                confdesc parser;
                parser.initConfdesc(bytes.data(), static_cast<uint16_t>(bytes.size()));
                description.terminalId = parser.terminal_unit_id();
                description.processingUnitId = parser.processing_unit_id();
                interface =
                    std::make_unique<LibusbInterface>(m_context, m_device, std::move(description));
                return 0;
            }
        }
        return 0;
    }

private:
    std::shared_ptr<libusb_context> m_context;
    libusb_device *m_device;
    std::string m_sysfsPath;
};

} // namespace

LibusbBackend::LibusbBackend(std::string sysfsRoot)
    : m_sysfsRoot(std::move(sysfsRoot))
{
    libusb_context *context = nullptr;
    m_initError = libusb_init(&context);
    if (m_initError == 0)
        m_context.reset(context, &libusb_exit);
}

LibusbBackend::~LibusbBackend()
{
    releaseList();
}

void LibusbBackend::releaseList()
{
    for (libusb_device *device : m_devices)
        libusb_unref_device(device);
    m_devices.clear();
}

std::string LibusbBackend::sysfsName(uint8_t bus, const std::vector<uint8_t> &ports)
{
    if (ports.empty())
        return {};
    std::string name = std::to_string(bus) + "-";
    for (size_t i = 0; i < ports.size(); ++i) {
        if (i)
            name += '.';
        name += std::to_string(ports[i]);
    }
    return name;
}

size_t LibusbBackend::enumerateDevices()
{
    releaseList();
    if (!m_context)
        return 0;
    libusb_device **list = nullptr;
    const ssize_t count = libusb_get_device_list(m_context.get(), &list);
    for (ssize_t i = 0; i < count; ++i) {
        uint8_t ports[8];
        // Root hubs have no port path and are never cameras.
        if (libusb_get_port_numbers(list[i], ports, sizeof ports) > 0)
            m_devices.push_back(libusb_ref_device(list[i]));
    }
    if (list)
        libusb_free_device_list(list, 1);
    return m_devices.size();
}

int32_t LibusbBackend::openDevice(size_t index, std::unique_ptr<UsbDevice> &device)
{
    device.reset();
    if (!m_context)
        return m_initError;
    if (index >= m_devices.size())
        return UsbError::kInvalidParameter;
    libusb_device *usb = m_devices[index];
    uint8_t ports[8];
    const int depth = libusb_get_port_numbers(usb, ports, sizeof ports);
    if (depth <= 0)
        return depth < 0 ? depth : UsbError::kNotFound;
    const std::string name =
        sysfsName(libusb_get_bus_number(usb), std::vector<uint8_t>(ports, ports + depth));
    const std::string path = m_sysfsRoot + "/bus/usb/devices/" + name;
    std::error_code error;
    if (!fs::exists(path, error))
        return -ENOENT; // unplugged since the list was taken
    device = std::make_unique<LibusbDevice>(m_context, usb, path);
    return 0;
}

int32_t LibusbBackend::configurationFromSysfs(const std::vector<uint8_t> &file,
                                              std::vector<uint8_t> &configuration)
{
    configuration.clear();
    constexpr size_t kConfigurationHeader = 9;
    if (file.size() < kDeviceDescriptorLength + kConfigurationHeader)
        return -EIO;
    if (file[0] != kDeviceDescriptorLength || file[1] != 0x01)
        return -EIO;
    const uint8_t *config = file.data() + kDeviceDescriptorLength;
    if (config[0] < kConfigurationHeader || config[1] != 0x02)
        return -EIO;
    const size_t total = static_cast<size_t>(config[2] | config[3] << 8);
    if (total < kConfigurationHeader || total > file.size() - kDeviceDescriptorLength)
        return -EIO;
    configuration.assign(config, config + total);
    return 0;
}
