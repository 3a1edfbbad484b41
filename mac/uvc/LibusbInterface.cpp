#include "LibusbInterface.h"

#include <chrono>
#include <filesystem>

#include <libusb.h>

#include "mac/uvc/UsbRunLoop.h"
#include "mac/uvc/UvcV4l2Bridge.h"
#include "mac/uvc/V4l2ControlNode.h"
#include "platform/camera/CameraEnumerator.h"
#include "platform/camera/SnapshotButtonReader.h"

namespace fs = std::filesystem;

namespace {

constexpr unsigned kControlTimeoutMs = 1000;

int32_t statusCode(libusb_transfer_status status)
{
    switch (status) {
    case LIBUSB_TRANSFER_COMPLETED:
        return 0;
    case LIBUSB_TRANSFER_TIMED_OUT:
        return LIBUSB_ERROR_TIMEOUT;
    case LIBUSB_TRANSFER_CANCELLED:
        return LIBUSB_ERROR_INTERRUPTED;
    case LIBUSB_TRANSFER_STALL:
        return LIBUSB_ERROR_PIPE;
    case LIBUSB_TRANSFER_NO_DEVICE:
        return LIBUSB_ERROR_NO_DEVICE;
    case LIBUSB_TRANSFER_OVERFLOW:
        return LIBUSB_ERROR_OVERFLOW;
    default:
        return LIBUSB_ERROR_IO;
    }
}

std::string canonicalPath(const std::string &path)
{
    std::error_code error;
    const fs::path resolved = fs::weakly_canonical(path, error);
    return error ? path : resolved.string();
}

} // namespace

// One interrupt transfer and what its completion needs. libusb may call back on any thread
// that handles its events; the completion is posted to the reader's loop from there.
struct LibusbInterface::Transfer
{
    libusb_transfer *transfer = libusb_alloc_transfer(0);
    std::mutex lock; // guards the fields below
    bool pending = false;
    std::weak_ptr<UsbRunLoop> loop;
    UsbReadCompletion completion = nullptr;
    void *context = nullptr;
};

LibusbInterface::LibusbInterface(std::shared_ptr<libusb_context> context, libusb_device *device,
                                 Description description)
    : m_context(std::move(context))
    , m_device(libusb_ref_device(device))
    , m_description(std::move(description))
    , m_transfer(new Transfer)
{
}

LibusbInterface::~LibusbInterface()
{
    close();
    if (m_transfer) {
        libusb_free_transfer(m_transfer->transfer);
        delete m_transfer;
    }
    libusb_unref_device(m_device);
}

int32_t LibusbInterface::getInterfaceNumber(uint8_t &number)
{
    number = m_description.interfaceNumber;
    return 0;
}

int32_t LibusbInterface::open()
{
    if (m_mode != Mode::Closed)
        return 0;
    libusb_device_handle *handle = nullptr;
    int result = libusb_open(m_device, &handle);
    if (result != 0)
        return openBridge(result);
    const int number = m_description.interfaceNumber;
    if (libusb_kernel_driver_active(handle, number) == 1) {
        libusb_close(handle);
        return openBridge(0);
    }
    result = libusb_claim_interface(handle, number);
    if (result != 0) {
        libusb_close(handle);
        return result == LIBUSB_ERROR_BUSY ? openBridge(result) : result;
    }
    m_handle = handle;
    m_mode = Mode::Direct;
    return 0;
}

std::string LibusbInterface::findVideoNode() const
{
    // The camera's capture node below the same USB device, as the capture side lists it.
    const std::string usb = canonicalPath(m_description.usbSysfsPath);
    for (const varnolet::CameraIdentity &camera : varnolet::CameraEnumerator::listV4l2()) {
        if (!camera.usbSysfsPath.empty() && canonicalPath(camera.usbSysfsPath) == usb)
            return camera.nodePath;
    }
    return {};
}

int32_t LibusbInterface::openBridge(int32_t directError)
{
    int32_t error = 0;
    std::unique_ptr<V4l2ControlDevice> device;
    if (!m_videoNode.empty())
        device = V4l2ControlDevice::open(m_videoNode, error);
    if (!device) {
        // First use, or the node changed since: look it up again.
        m_videoNode = findVideoNode();
        if (m_videoNode.empty())
            return directError ? directError : UsbError::kBusy;
        device = V4l2ControlDevice::open(m_videoNode, error);
        if (!device)
            return error;
    }
    m_bridge =
        std::make_unique<UvcV4l2Bridge>(std::move(device), m_description.interfaceNumber,
                                        m_description.terminalId, m_description.processingUnitId);
    m_statusPipe = std::make_shared<ButtonStatusPipe>();
    m_mode = Mode::Bridge;
    return 0;
}

void LibusbInterface::startButton()
{
    // Only a reader of the status pipe needs the driver's button input.
    if (m_button)
        return;
    const std::string event =
        varnolet::SnapshotButtonReader::findEventDevice(m_description.usbSysfsPath);
    if (event.empty())
        return; // no button input: reads stay pending until closed
    auto button = std::make_unique<varnolet::SnapshotButtonReader>(event);
    std::shared_ptr<ButtonStatusPipe> pipe = m_statusPipe;
    if (button->start([pipe](bool pressed) { pipe->buttonChanged(pressed); }) == 0)
        m_button = std::move(button);
}

int32_t LibusbInterface::close()
{
    switch (m_mode) {
    case Mode::Closed:
        return 0;
    case Mode::Direct:
        cancelTransfer();
        libusb_release_interface(m_handle, m_description.interfaceNumber);
        libusb_close(m_handle);
        m_handle = nullptr;
        break;
    case Mode::Bridge:
        m_button.reset(); // joins the button's reader
        m_statusPipe->cancel();
        m_statusPipe.reset();
        m_bridge.reset();
        break;
    }
    m_mode = Mode::Closed;
    return 0;
}

int32_t LibusbInterface::controlRequest(UsbControlRequest &request)
{
    request.wLenDone = 0;
    if (m_mode == Mode::Bridge)
        return m_bridge->controlRequest(request);
    if (m_mode != Mode::Direct)
        return UsbError::kNotFound;
    const int result =
        libusb_control_transfer(m_handle, request.bmRequestType, request.bRequest, request.wValue,
                                request.wIndex, request.pData, request.wLength, kControlTimeoutMs);
    if (result < 0)
        return result;
    request.wLenDone = static_cast<uint32_t>(result);
    return 0;
}

int32_t LibusbInterface::getNumEndpoints(uint8_t &count)
{
    count = static_cast<uint8_t>(m_description.pipes.size());
    return 0;
}

int32_t LibusbInterface::getPipeProperties(uint8_t pipe, UsbPipeProperties &properties)
{
    if (pipe == 0 || pipe > m_description.pipes.size())
        return UsbError::kInvalidParameter;
    properties = m_description.pipes[pipe - 1];
    return 0;
}

std::shared_ptr<UsbRunLoop> LibusbInterface::createAsyncEventSource()
{
    auto loop = std::make_shared<UsbRunLoop>();
    if (m_mode == Mode::Bridge) {
        m_statusPipe->attach(loop);
        startButton();
        return loop;
    }
    // libusb delivers completions in whichever thread handles its events; this loop handles
    // them and runs the posted completions on its own thread.
    std::shared_ptr<libusb_context> context = m_context;
    loop->setPump([context] {
        timeval timeout{0, 50 * 1000};
        libusb_handle_events_timeout_completed(context.get(), &timeout, nullptr);
    });
    loop->setWake([context] { libusb_interrupt_event_handler(context.get()); });
    loop->setOnExit([this] { cancelTransfer(); });
    std::lock_guard lock(m_transfer->lock);
    m_transfer->loop = loop;
    return loop;
}

int32_t LibusbInterface::readPipeAsync(uint8_t pipe, uint8_t *buffer, uint32_t length,
                                       UsbReadCompletion completion, void *context)
{
    if (m_mode == Mode::Closed)
        return UsbError::kNotFound;
    if (pipe == 0 || pipe > m_description.pipes.size() || !buffer || !completion)
        return UsbError::kInvalidParameter;
    const UsbPipeProperties &properties = m_description.pipes[pipe - 1];
    if (properties.direction != 1 || properties.transferType != LIBUSB_TRANSFER_TYPE_INTERRUPT)
        return UsbError::kInvalidParameter;
    if (m_mode == Mode::Bridge) {
        startButton();
        return m_statusPipe->readAsync(buffer, length, completion, context);
    }

    if (!m_transfer)
        return UsbError::kIo;
    {
        std::lock_guard lock(m_transfer->lock);
        if (m_transfer->pending)
            return UsbError::kBusy;
        m_transfer->pending = true;
        m_transfer->completion = completion;
        m_transfer->context = context;
    }
    libusb_fill_interrupt_transfer(
        m_transfer->transfer, m_handle, static_cast<unsigned char>(0x80 | properties.number),
        buffer, static_cast<int>(length), &LibusbInterface::transferDone, m_transfer, 0);
    const int result = libusb_submit_transfer(m_transfer->transfer);
    if (result != 0) {
        std::lock_guard lock(m_transfer->lock);
        m_transfer->pending = false;
    }
    return result;
}

void LibusbInterface::transferDone(libusb_transfer *transfer)
{
    auto *state = static_cast<Transfer *>(transfer->user_data);
    const int32_t result = statusCode(transfer->status);
    const auto bytes =
        static_cast<uint32_t>(transfer->actual_length < 0 ? 0 : transfer->actual_length);
    std::shared_ptr<UsbRunLoop> loop;
    UsbReadCompletion completion;
    void *context;
    {
        std::lock_guard lock(state->lock);
        state->pending = false;
        loop = state->loop.lock();
        completion = state->completion;
        context = state->context;
    }
    if (loop && transfer->status != LIBUSB_TRANSFER_CANCELLED)
        loop->post([completion, context, result, bytes] { completion(context, result, bytes); });
}

void LibusbInterface::cancelTransfer()
{
    if (!m_transfer)
        return;
    auto isPending = [this] {
        std::lock_guard lock(m_transfer->lock);
        return m_transfer->pending;
    };
    if (!isPending())
        return;
    libusb_cancel_transfer(m_transfer->transfer);
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(500);
    while (isPending() && std::chrono::steady_clock::now() < deadline) {
        timeval timeout{0, 10 * 1000};
        libusb_handle_events_timeout_completed(m_context.get(), &timeout, nullptr);
    }
    if (isPending())
        m_transfer =
            nullptr; // libusb still owns it: leave it allocated rather than free it under libusb
}
