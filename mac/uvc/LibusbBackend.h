#pragma once

#include <memory>
#include <string>
#include <vector>

#include "mac/uvc/UsbDevice.h"

struct libusb_context;
struct libusb_device;

// The machine's USB bus through libusb. A device's location comes from its sysfs folder
// with the same computation the capture side uses for a camera's unique identifier, and
// its configuration descriptor from the sysfs "descriptors" file, without a request to the
// device.
class LibusbBackend final : public UsbBackend
{
public:
    // sysfsRoot lets tests point at a fixture tree.
    explicit LibusbBackend(std::string sysfsRoot = "/sys");
    ~LibusbBackend() override;
    LibusbBackend(const LibusbBackend &) = delete;
    LibusbBackend &operator=(const LibusbBackend &) = delete;

    size_t enumerateDevices() override;
    int32_t openDevice(size_t index, std::unique_ptr<UsbDevice> &device) override;

    // The sysfs device name of a bus and port path ("1-2.3"); empty for a root hub.
    static std::string sysfsName(uint8_t bus, const std::vector<uint8_t> &ports);
    // Configuration 0 out of the bytes of a sysfs "descriptors" file (device descriptor,
    // then the configurations): exactly wTotalLength bytes, or a failure code when the file
    // is short or not shaped like descriptors.
    static int32_t configurationFromSysfs(const std::vector<uint8_t> &file,
                                          std::vector<uint8_t> &configuration);

private:
    void releaseList();

    std::string m_sysfsRoot;
    std::shared_ptr<libusb_context> m_context;
    int32_t m_initError = 0;
    std::vector<libusb_device *> m_devices; // each referenced once
};
