#pragma once

#include <array>
#include <cstdint>
#include <deque>
#include <memory>
#include <mutex>

#include "mac/uvc/UsbDevice.h"

class UsbRunLoop;

// The status interrupt pipe of a camera whose VideoControl interface the kernel driver
// holds: the driver reports the snapshot button as KEY_CAMERA on an input device, and this
// turns each press and release into the VideoStreaming status packet the camera would have
// sent (02 01 00 01 pressed, 02 01 00 00 released), delivered to the pending read through
// the interface's event source. Packets that come while no read is pending wait, up to a
// few.
class ButtonStatusPipe
{
public:
    static constexpr size_t kMaxWaitingPackets = 16;

    // Completions are posted to this loop (held weakly: none are delivered once it is gone).
    void attach(const std::shared_ptr<UsbRunLoop> &loop);
    // One pending read at a time; the buffer must stay valid until the completion ran or the
    // loop ended.
    int32_t readAsync(uint8_t *buffer, uint32_t length, UsbReadCompletion completion,
                      void *context);
    // From the button's reader thread.
    void buttonChanged(bool pressed);
    // Forgets the pending read and the waiting packets.
    void cancel();

    static std::array<uint8_t, 4> packetFor(bool pressed);

private:
    struct PendingRead
    {
        uint8_t *buffer = nullptr;
        uint32_t length = 0;
        UsbReadCompletion completion = nullptr;
        void *context = nullptr;
    };
    void deliverLocked();

    std::mutex m_lock; // guards everything below
    std::weak_ptr<UsbRunLoop> m_loop;
    bool m_hasPending = false;
    PendingRead m_pending;
    std::deque<std::array<uint8_t, 4>> m_packets;
};
