#pragma once

#include <cstdint>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "mac/uvc/ButtonStatusPipe.h"
#include "mac/uvc/UsbDevice.h"

struct libusb_context;
struct libusb_device;
struct libusb_device_handle;
struct libusb_transfer;
class UvcV4l2Bridge;
namespace varnolet {
class SnapshotButtonReader;
}

// The VideoControl interface of a camera through libusb. Opening it claims the interface
// when no kernel driver holds it; while the camera driver holds it (the normal case during
// a preview) requests go to the equivalent V4L2 controls of the camera's video node and the
// status pipe is fed by the driver's snapshot-button input device.
class LibusbInterface final : public UsbInterface
{
public:
    struct Description
    {
        uint8_t interfaceNumber = 0;
        std::vector<UsbPipeProperties> pipes;
        uint8_t terminalId = 0; // entity IDs from the descriptor, for the V4L2 bridge
        uint8_t processingUnitId = 0;
        std::string usbSysfsPath; // the USB device's folder
    };

    LibusbInterface(std::shared_ptr<libusb_context> context, libusb_device *device,
                    Description description);
    ~LibusbInterface() override;
    LibusbInterface(const LibusbInterface &) = delete;
    LibusbInterface &operator=(const LibusbInterface &) = delete;

    int32_t getInterfaceNumber(uint8_t &number) override;
    int32_t open() override;
    int32_t close() override;
    int32_t controlRequest(UsbControlRequest &request) override;
    int32_t getNumEndpoints(uint8_t &count) override;
    int32_t getPipeProperties(uint8_t pipe, UsbPipeProperties &properties) override;
    std::shared_ptr<UsbRunLoop> createAsyncEventSource() override;
    int32_t readPipeAsync(uint8_t pipe, uint8_t *buffer, uint32_t length,
                          UsbReadCompletion completion, void *context) override;

private:
    enum class Mode { Closed, Direct, Bridge };
    struct Transfer;

    int32_t openBridge(int32_t directError);
    std::string findVideoNode() const;
    void startButton();
    void cancelTransfer();
    static void transferDone(libusb_transfer *transfer);

    std::shared_ptr<libusb_context> m_context;
    libusb_device *m_device; // referenced
    Description m_description;

    // Open state: changed by open and close, which the camera control never runs at the
    // same time as a request or a queued read.
    Mode m_mode = Mode::Closed;
    libusb_device_handle *m_handle = nullptr;
    std::string m_videoNode; // the camera's capture node, once found
    std::unique_ptr<UvcV4l2Bridge> m_bridge;
    std::shared_ptr<ButtonStatusPipe> m_statusPipe;
    std::unique_ptr<varnolet::SnapshotButtonReader> m_button;

    Transfer *m_transfer = nullptr; // owned; left allocated if libusb never gives it back
};
