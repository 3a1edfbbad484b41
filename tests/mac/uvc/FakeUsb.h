#pragma once

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <thread>
#include <vector>

#include "mac/uvc/ButtonStatusPipe.h"
#include "mac/uvc/UsbDevice.h"
#include "mac/uvc/UvcV4l2Bridge.h"
#include "mac/uvc/V4l2ControlNode.h"

class UsbRunLoop;

// A V4L2 control node in memory: controls by id, failure codes per call, a call log.
class FakeV4l2Node
{
public:
    struct Control
    {
        int32_t minimum = 0;
        int32_t maximum = 0;
        int32_t step = 1;
        int32_t defaultValue = 0;
        int32_t value = 0;
        uint32_t flags = 0;
        int32_t getError = 0;
        int32_t setError = 0;
    };
    struct Call
    {
        char kind; // 'q' query, 'g' get, 's' set
        uint32_t id;
        int32_t value;
    };

    void add(uint32_t id, Control control);
    Control control(uint32_t id) const;
    std::vector<Call> calls() const;
    void setUnplugged(bool gone);

    // A node object the bridge owns, working on this shared state.
    std::unique_ptr<V4l2ControlNode> node(const std::shared_ptr<FakeV4l2Node> &self) const;

    int32_t queryControl(v4l2_queryctrl &query);
    int32_t getControl(uint32_t id, int32_t &value);
    int32_t setControl(uint32_t id, int32_t value);

private:
    mutable std::mutex m_lock; // guards everything below
    std::map<uint32_t, Control> m_controls;
    std::vector<Call> m_calls;
    bool m_unplugged = false;
};

// A USB camera in memory: recorded descriptors, control ranges and values, failure codes,
// interrupt packets. Requests go either straight to its UVC controls (the interface is
// free) or, in bridge mode, through UvcV4l2Bridge to a FakeV4l2Node with the status pipe
// fed by button presses, as while the kernel driver holds the interface.
class FakeUsbCamera
{
public:
    struct Control
    {
        int32_t min = 0;
        int32_t max = 0;
        int32_t cur = 0;
        int32_t getError = 0; // GET_* answer this code when set
        int32_t setError = 0; // SET_CUR answers this code when set
    };
    struct Request
    {
        uint8_t bmRequestType;
        uint8_t bRequest;
        uint16_t wValue;
        uint16_t wIndex;
        uint16_t wLength;
        std::vector<uint8_t> data; // sent bytes of a SET, received bytes of a GET
        int32_t result;
        std::thread::id thread; // the thread that sent it
    };

    FakeUsbCamera(uint32_t location, std::vector<uint8_t> descriptor);

    // Set up before the camera control opens the camera.
    uint32_t location;
    std::vector<uint8_t> descriptor;
    uint8_t configurations = 1;
    int32_t openDeviceError = 0;
    int32_t configurationsError = 0;
    int32_t descriptorError = 0;
    bool hasVideoControl = true;
    int32_t interfaceError = 0;
    std::vector<UsbPipeProperties> pipes; // default: one interrupt IN endpoint
    uint8_t interfaceNumber = 0;
    std::shared_ptr<FakeV4l2Node> v4l2; // non-null: bridge mode

    // Thread-safe from here on.
    void setControl(uint8_t unit, uint8_t selector, Control control);
    Control control(uint8_t unit, uint8_t selector) const;
    void setOpenError(int32_t code);
    void setReadError(int32_t code);
    std::vector<Request> requests() const;
    void clearRequests();
    // A slow camera: every control request takes this long before it is answered.
    void setRequestDelay(std::chrono::milliseconds delay) { m_requestDelayMs = delay.count(); }
    int opens() const { return m_opens; }
    int closes() const { return m_closes; }
    bool isOpen() const { return m_open; }
    int readsQueued() const { return m_readsQueued; }
    int completionsRun() const { return m_completionsRun; }

    // An interrupt transfer of these bytes (direct mode), delivered to the pending read or
    // to the next one.
    void sendPacket(std::vector<uint8_t> bytes);
    // The snapshot button as the driver reports it (bridge mode).
    void pressButton(bool pressed);
    // Gone from the bus: every operation fails with kNoDevice, a pending read completes with
    // that code and no bytes.
    void unplug();
    bool isUnplugged() const { return m_unplugged; }

    // Waits until at least count completions ran on the reader (false after 5 s).
    bool waitForCompletions(int count) const;
    // Waits until at least count reads were queued.
    bool waitForReads(int count) const;

    // Used by the fake interface.
    int32_t open();
    int32_t close();
    int32_t controlRequest(UsbControlRequest &request);
    std::shared_ptr<UsbRunLoop> createAsyncEventSource();
    int32_t readPipeAsync(uint8_t pipe, uint8_t *buffer, uint32_t length,
                          UsbReadCompletion completion, void *context);

private:
    struct PendingRead
    {
        uint8_t *buffer;
        uint32_t length;
        UsbReadCompletion completion;
        void *context;
    };
    int32_t directRequest(UsbControlRequest &request);
    void deliverLocked();
    void completed();

    mutable std::mutex m_lock; // guards everything below
    mutable std::condition_variable m_changed;
    std::map<uint16_t, Control> m_controls;
    std::vector<Request> m_requests;
    int32_t m_openError = 0;
    int32_t m_readError = 0;
    std::atomic<int> m_opens{0};
    std::atomic<int> m_closes{0};
    std::atomic<bool> m_open{false};
    std::atomic<bool> m_unplugged{false};
    std::atomic<int> m_readsQueued{0};
    std::atomic<int> m_completionsRun{0};
    std::atomic<int64_t> m_requestDelayMs{0};
    std::weak_ptr<UsbRunLoop> m_loop;
    bool m_hasPending = false;
    PendingRead m_pending{};
    std::deque<std::vector<uint8_t>> m_packets;
    std::unique_ptr<UvcV4l2Bridge> m_bridge;
    std::shared_ptr<ButtonStatusPipe> m_statusPipe;
};

// The bus: cameras in enumeration order.
class FakeUsbBackend final : public UsbBackend
{
public:
    explicit FakeUsbBackend(std::vector<std::shared_ptr<FakeUsbCamera>> cameras = {})
        : m_cameras(std::move(cameras))
    {
    }
    void add(std::shared_ptr<FakeUsbCamera> camera) { m_cameras.push_back(std::move(camera)); }
    size_t enumerateDevices() override;
    int32_t openDevice(size_t index, std::unique_ptr<UsbDevice> &device) override;

private:
    std::vector<std::shared_ptr<FakeUsbCamera>> m_cameras;
};
