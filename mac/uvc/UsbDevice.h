#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <vector>

class UsbRunLoop;

// The USB operations the camera control needs, behind small interfaces so that tests put a
// fake device in place of the real one. Every operation answers 0 or a failure code: a
// negative errno or a negative libusb code, logged as eight hex digits.

// One class control request on the default pipe, as the camera control fills it in.
struct UsbControlRequest
{
    uint8_t bmRequestType = 0;
    uint8_t bRequest = 0;
    uint16_t wValue = 0;
    uint16_t wIndex = 0;
    uint16_t wLength = 0;
    uint8_t *pData = nullptr; // wLength bytes to send or to receive into
    uint32_t wLenDone = 0;    // bytes actually transferred
};

// What one pipe of an interface is.
struct UsbPipeProperties
{
    uint8_t direction = 0;    // 1 = in, 0 = out
    uint8_t number = 0;       // endpoint number
    uint8_t transferType = 0; // 0 control, 1 isochronous, 2 bulk, 3 interrupt
    uint16_t maxPacketSize = 0;
    uint8_t interval = 0;
};

// Called on the thread that runs the interface's event source when an asynchronous read
// ends: the context given with the read, a result code and the number of bytes received.
using UsbReadCompletion = void (*)(void *context, int32_t result, uint32_t bytes);

// Failure codes the layer itself produces (libusb's numbering, so that a stalled request
// looks the same on both request paths).
namespace UsbError {
constexpr int32_t kIo = -1;
constexpr int32_t kInvalidParameter = -2;
constexpr int32_t kNoDevice = -4;
constexpr int32_t kNotFound = -5;
constexpr int32_t kBusy = -6;
constexpr int32_t kTimeout = -7; // the device did not answer in time
constexpr int32_t kPipe = -9;    // the request was stalled
constexpr int32_t kNotSupported = -12;
} // namespace UsbError

// The VideoControl interface of one camera: opened and closed around requests, or held
// open by the snapshot reader. Control requests come from one thread and reads are queued
// from the reader thread; the caller serialises the two.
class UsbInterface
{
public:
    virtual ~UsbInterface() = default;

    // The interface's number in the configuration (the low byte of a request's wIndex).
    virtual int32_t getInterfaceNumber(uint8_t &number) = 0;
    virtual int32_t open() = 0;
    // Closing an interface that is not open does nothing.
    virtual int32_t close() = 0;
    virtual int32_t controlRequest(UsbControlRequest &request) = 0;

    virtual int32_t getNumEndpoints(uint8_t &count) = 0;
    // Pipe numbers run from 1 to the number of endpoints.
    virtual int32_t getPipeProperties(uint8_t pipe, UsbPipeProperties &properties) = 0;

    // The loop that delivers completions of asynchronous reads to the thread that runs it.
    virtual std::shared_ptr<UsbRunLoop> createAsyncEventSource() = 0;
    // Queues one read of up to length bytes into buffer. The buffer must stay valid until
    // the completion ran or the event source's run() returned.
    virtual int32_t readPipeAsync(uint8_t pipe, uint8_t *buffer, uint32_t length,
                                  UsbReadCompletion completion, void *context) = 0;
};

// One attached USB device, opened for questions that need no request to it.
class UsbDevice
{
public:
    virtual ~UsbDevice() = default;

    // Bus in the top byte, then one nibble per port (see varnolet::UsbLocation).
    virtual int32_t getLocationID(uint32_t &location) = 0;
    virtual int32_t getNumberOfConfigurations(uint8_t &count) = 0;
    // The raw descriptor of configuration index 0, wTotalLength long.
    virtual int32_t getConfigurationDescriptor(std::vector<uint8_t> &bytes) = 0;
    // The first interface of class 14, subclass 1, any protocol and alternate setting, not
    // yet opened; 0 with a null interface when the device has none.
    virtual int32_t getVideoControlInterface(std::unique_ptr<UsbInterface> &interface) = 0;
};

// The machine's USB bus.
class UsbBackend
{
public:
    virtual ~UsbBackend() = default;

    // Takes a fresh list of the attached devices and answers its size.
    virtual size_t enumerateDevices() = 0;
    // Opens the device at that position of the last list.
    virtual int32_t openDevice(size_t index, std::unique_ptr<UsbDevice> &device) = 0;
};
