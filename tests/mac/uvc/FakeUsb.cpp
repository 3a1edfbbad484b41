#include "FakeUsb.h"

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstring>

#include "mac/uvc/UsbRunLoop.h"
#include "mac/uvc/UvcV4l2Bridge.h"

namespace {

class FakeNodeHandle final : public V4l2ControlNode
{
public:
    explicit FakeNodeHandle(std::shared_ptr<FakeV4l2Node> node)
        : m_node(std::move(node))
    {
    }
    int32_t queryControl(v4l2_queryctrl &query) override { return m_node->queryControl(query); }
    int32_t getControl(uint32_t id, int32_t &value) override
    {
        return m_node->getControl(id, value);
    }
    int32_t setControl(uint32_t id, int32_t value) override
    {
        return m_node->setControl(id, value);
    }

private:
    std::shared_ptr<FakeV4l2Node> m_node;
};

class FakeInterface final : public UsbInterface
{
public:
    explicit FakeInterface(std::shared_ptr<FakeUsbCamera> camera)
        : m_camera(std::move(camera))
    {
    }
    ~FakeInterface() override { m_camera->close(); }
    int32_t getInterfaceNumber(uint8_t &number) override
    {
        number = m_camera->interfaceNumber;
        return 0;
    }
    int32_t open() override { return m_camera->open(); }
    int32_t close() override { return m_camera->close(); }
    int32_t controlRequest(UsbControlRequest &request) override
    {
        return m_camera->controlRequest(request);
    }
    int32_t getNumEndpoints(uint8_t &count) override
    {
        if (m_camera->isUnplugged())
            return UsbError::kNoDevice;
        count = static_cast<uint8_t>(m_camera->pipes.size());
        return 0;
    }
    int32_t getPipeProperties(uint8_t pipe, UsbPipeProperties &properties) override
    {
        if (pipe == 0 || pipe > m_camera->pipes.size())
            return UsbError::kInvalidParameter;
        properties = m_camera->pipes[pipe - 1];
        return 0;
    }
    std::shared_ptr<UsbRunLoop> createAsyncEventSource() override
    {
        return m_camera->createAsyncEventSource();
    }
    int32_t readPipeAsync(uint8_t pipe, uint8_t *buffer, uint32_t length,
                          UsbReadCompletion completion, void *context) override
    {
        return m_camera->readPipeAsync(pipe, buffer, length, completion, context);
    }

private:
    std::shared_ptr<FakeUsbCamera> m_camera;
};

class FakeDevice final : public UsbDevice
{
public:
    explicit FakeDevice(std::shared_ptr<FakeUsbCamera> camera)
        : m_camera(std::move(camera))
    {
    }
    int32_t getLocationID(uint32_t &location) override
    {
        location = m_camera->location;
        return 0;
    }
    int32_t getNumberOfConfigurations(uint8_t &count) override
    {
        count = m_camera->configurations;
        return m_camera->configurationsError;
    }
    int32_t getConfigurationDescriptor(std::vector<uint8_t> &bytes) override
    {
        if (m_camera->descriptorError)
            return m_camera->descriptorError;
        bytes = m_camera->descriptor;
        return 0;
    }
    int32_t getVideoControlInterface(std::unique_ptr<UsbInterface> &interface) override
    {
        interface.reset();
        if (m_camera->interfaceError)
            return m_camera->interfaceError;
        if (m_camera->hasVideoControl)
            interface = std::make_unique<FakeInterface>(m_camera);
        return 0;
    }

private:
    std::shared_ptr<FakeUsbCamera> m_camera;
};

} // namespace

// ---- FakeV4l2Node ----

void FakeV4l2Node::add(uint32_t id, Control control)
{
    std::lock_guard lock(m_lock);
    m_controls[id] = control;
}

FakeV4l2Node::Control FakeV4l2Node::control(uint32_t id) const
{
    std::lock_guard lock(m_lock);
    const auto it = m_controls.find(id);
    return it == m_controls.end() ? Control{} : it->second;
}

std::vector<FakeV4l2Node::Call> FakeV4l2Node::calls() const
{
    std::lock_guard lock(m_lock);
    return m_calls;
}

void FakeV4l2Node::setUnplugged(bool gone)
{
    std::lock_guard lock(m_lock);
    m_unplugged = gone;
}

std::unique_ptr<V4l2ControlNode> FakeV4l2Node::node(const std::shared_ptr<FakeV4l2Node> &self) const
{
    return std::make_unique<FakeNodeHandle>(self);
}

int32_t FakeV4l2Node::queryControl(v4l2_queryctrl &query)
{
    std::lock_guard lock(m_lock);
    m_calls.push_back({'q', query.id, 0});
    if (m_unplugged)
        return -ENODEV;
    const auto it = m_controls.find(query.id);
    if (it == m_controls.end())
        return -EINVAL;
    query.minimum = it->second.minimum;
    query.maximum = it->second.maximum;
    query.step = it->second.step;
    query.default_value = it->second.defaultValue;
    query.flags = it->second.flags;
    return 0;
}

int32_t FakeV4l2Node::getControl(uint32_t id, int32_t &value)
{
    std::lock_guard lock(m_lock);
    m_calls.push_back({'g', id, 0});
    if (m_unplugged)
        return -ENODEV;
    const auto it = m_controls.find(id);
    if (it == m_controls.end())
        return -EINVAL;
    if (it->second.getError)
        return it->second.getError;
    value = it->second.value;
    return 0;
}

int32_t FakeV4l2Node::setControl(uint32_t id, int32_t value)
{
    std::lock_guard lock(m_lock);
    m_calls.push_back({'s', id, value});
    if (m_unplugged)
        return -ENODEV;
    const auto it = m_controls.find(id);
    if (it == m_controls.end())
        return -EINVAL;
    if (it->second.setError)
        return it->second.setError;
    if (value < it->second.minimum || value > it->second.maximum)
        return -ERANGE;
    it->second.value = value;
    return 0;
}

// ---- FakeUsbCamera ----

FakeUsbCamera::FakeUsbCamera(uint32_t location_, std::vector<uint8_t> descriptor_)
    : location(location_)
    , descriptor(std::move(descriptor_))
{
    UsbPipeProperties interrupt;
    interrupt.direction = 1;
    interrupt.number = 3;
    interrupt.transferType = 3;
    interrupt.maxPacketSize = 16;
    interrupt.interval = 8;
    pipes.push_back(interrupt);
}

void FakeUsbCamera::setControl(uint8_t unit, uint8_t selector, Control control)
{
    std::lock_guard lock(m_lock);
    m_controls[static_cast<uint16_t>(unit << 8 | selector)] = control;
}

FakeUsbCamera::Control FakeUsbCamera::control(uint8_t unit, uint8_t selector) const
{
    std::lock_guard lock(m_lock);
    const auto it = m_controls.find(static_cast<uint16_t>(unit << 8 | selector));
    return it == m_controls.end() ? Control{} : it->second;
}

void FakeUsbCamera::setOpenError(int32_t code)
{
    std::lock_guard lock(m_lock);
    m_openError = code;
}

void FakeUsbCamera::setReadError(int32_t code)
{
    std::lock_guard lock(m_lock);
    m_readError = code;
}

std::vector<FakeUsbCamera::Request> FakeUsbCamera::requests() const
{
    std::lock_guard lock(m_lock);
    return m_requests;
}

void FakeUsbCamera::clearRequests()
{
    std::lock_guard lock(m_lock);
    m_requests.clear();
}

int32_t FakeUsbCamera::open()
{
    std::lock_guard lock(m_lock);
    if (m_unplugged)
        return UsbError::kNoDevice;
    if (m_openError)
        return m_openError;
    if (m_open)
        return 0;
    ++m_opens;
    m_open = true;
    if (v4l2) {
        m_bridge = std::make_unique<UvcV4l2Bridge>(v4l2->node(v4l2), interfaceNumber, 1, 3);
        m_statusPipe = std::make_shared<ButtonStatusPipe>();
        if (auto loop = m_loop.lock())
            m_statusPipe->attach(loop);
    }
    return 0;
}

int32_t FakeUsbCamera::close()
{
    std::lock_guard lock(m_lock);
    if (!m_open)
        return 0;
    ++m_closes;
    m_open = false;
    m_hasPending = false;
    m_bridge.reset();
    if (m_statusPipe)
        m_statusPipe->cancel();
    m_statusPipe.reset();
    return 0;
}

int32_t FakeUsbCamera::controlRequest(UsbControlRequest &request)
{
    if (const int64_t delay = m_requestDelayMs)
        std::this_thread::sleep_for(std::chrono::milliseconds(delay));
    std::lock_guard lock(m_lock);
    int32_t result;
    if (m_unplugged)
        result = UsbError::kNoDevice;
    else if (!m_open)
        result = UsbError::kNotFound;
    else if (m_bridge)
        result = m_bridge->controlRequest(request);
    else
        result = directRequest(request);
    Request recorded{request.bmRequestType,
                     request.bRequest,
                     request.wValue,
                     request.wIndex,
                     request.wLength,
                     {},
                     result,
                     std::this_thread::get_id()};
    if (request.pData)
        recorded.data.assign(request.pData, request.pData + request.wLength);
    m_requests.push_back(std::move(recorded));
    return result;
}

int32_t FakeUsbCamera::directRequest(UsbControlRequest &request)
{
    const auto it =
        m_controls.find(static_cast<uint16_t>((request.wIndex & 0xFF00) | request.wValue >> 8));
    if (it == m_controls.end() || (request.wIndex & 0xFF) != interfaceNumber ||
        request.wLength > 4 || !request.pData)
        return UsbError::kPipe;
    Control &control = it->second;
    if (request.bmRequestType == 0x21 && request.bRequest == 0x01) {
        if (control.setError)
            return control.setError;
        uint32_t raw = 0;
        for (int i = request.wLength - 1; i >= 0; --i)
            raw = raw << 8 | request.pData[i];
        control.cur = request.wLength == 2 ? static_cast<int16_t>(raw) : static_cast<int32_t>(raw);
        request.wLenDone = request.wLength;
        return 0;
    }
    if (request.bmRequestType != 0xA1)
        return UsbError::kPipe;
    if (control.getError)
        return control.getError;
    int32_t value;
    switch (request.bRequest) {
    case 0x81:
        value = control.cur;
        break;
    case 0x82:
        value = control.min;
        break;
    case 0x83:
        value = control.max;
        break;
    default:
        return UsbError::kPipe;
    }
    for (int i = 0; i < request.wLength; ++i)
        request.pData[i] = static_cast<uint8_t>(static_cast<uint32_t>(value) >> (8 * i));
    request.wLenDone = request.wLength;
    return 0;
}

std::shared_ptr<UsbRunLoop> FakeUsbCamera::createAsyncEventSource()
{
    auto loop = std::make_shared<UsbRunLoop>();
    std::lock_guard lock(m_lock);
    m_loop = loop;
    if (m_statusPipe)
        m_statusPipe->attach(loop);
    return loop;
}

namespace {

struct Trampoline
{
    FakeUsbCamera *camera;
    UsbReadCompletion completion;
    void *context;
};

} // namespace

int32_t FakeUsbCamera::readPipeAsync(uint8_t pipe, uint8_t *buffer, uint32_t length,
                                     UsbReadCompletion completion, void *context)
{
    std::unique_lock lock(m_lock);
    if (m_unplugged)
        return UsbError::kNoDevice;
    if (!m_open)
        return UsbError::kNotFound;
    if (pipe == 0 || pipe > pipes.size() || pipes[pipe - 1].transferType != 3 ||
        pipes[pipe - 1].direction != 1)
        return UsbError::kInvalidParameter;
    if (m_readError)
        return m_readError;
    if (m_hasPending)
        return UsbError::kBusy;
    m_pending = {buffer, length, completion, context};
    m_hasPending = true;
    ++m_readsQueued;
    m_changed.notify_all();
    if (m_statusPipe) {
        // The pipe calls back through here so that the test sees each completion end.
        m_hasPending = false;
        static thread_local Trampoline trampoline;
        trampoline = {this, completion, context};
        return m_statusPipe->readAsync(
            buffer, length,
            [](void *data, int32_t result, uint32_t bytes) {
                const Trampoline hop = *static_cast<Trampoline *>(data);
                hop.completion(hop.context, result, bytes);
                hop.camera->completed();
            },
            &trampoline);
    }
    deliverLocked();
    return 0;
}

void FakeUsbCamera::sendPacket(std::vector<uint8_t> bytes)
{
    std::lock_guard lock(m_lock);
    m_packets.push_back(std::move(bytes));
    deliverLocked();
}

void FakeUsbCamera::pressButton(bool pressed)
{
    std::shared_ptr<ButtonStatusPipe> pipe;
    {
        std::lock_guard lock(m_lock);
        pipe = m_statusPipe;
    }
    if (pipe)
        pipe->buttonChanged(pressed);
}

void FakeUsbCamera::unplug()
{
    std::lock_guard lock(m_lock);
    m_unplugged = true;
    if (v4l2)
        v4l2->setUnplugged(true);
    const std::shared_ptr<UsbRunLoop> loop = m_loop.lock();
    if (!m_hasPending || !loop)
        return;
    const PendingRead read = m_pending;
    m_hasPending = false;
    loop->post([this, read] {
        read.completion(read.context, UsbError::kNoDevice, 0);
        completed();
    });
}

void FakeUsbCamera::deliverLocked()
{
    const std::shared_ptr<UsbRunLoop> loop = m_loop.lock();
    if (!loop || !m_hasPending || m_packets.empty())
        return;
    const PendingRead read = m_pending;
    std::vector<uint8_t> packet = std::move(m_packets.front());
    m_packets.pop_front();
    m_hasPending = false;
    loop->post([this, read, packet] {
        const uint32_t bytes =
            std::min<uint32_t>(read.length, static_cast<uint32_t>(packet.size()));
        std::memcpy(read.buffer, packet.data(), bytes);
        read.completion(read.context, 0, bytes);
        completed();
    });
}

void FakeUsbCamera::completed()
{
    std::lock_guard lock(m_lock);
    ++m_completionsRun;
    m_changed.notify_all();
}

bool FakeUsbCamera::waitForCompletions(int count) const
{
    std::unique_lock lock(m_lock);
    return m_changed.wait_for(lock, std::chrono::seconds(5),
                              [&] { return m_completionsRun >= count; });
}

bool FakeUsbCamera::waitForReads(int count) const
{
    std::unique_lock lock(m_lock);
    return m_changed.wait_for(lock, std::chrono::seconds(5),
                              [&] { return m_readsQueued >= count; });
}

// ---- FakeUsbBackend ----

size_t FakeUsbBackend::enumerateDevices()
{
    return m_cameras.size();
}

int32_t FakeUsbBackend::openDevice(size_t index, std::unique_ptr<UsbDevice> &device)
{
    device.reset();
    if (index >= m_cameras.size())
        return UsbError::kInvalidParameter;
    if (m_cameras[index]->openDeviceError)
        return m_cameras[index]->openDeviceError;
    device = std::make_unique<FakeDevice>(m_cameras[index]);
    return 0;
}
