#include "ButtonStatusPipe.h"

#include <algorithm>
#include <cstring>

#include "mac/uvc/UsbRunLoop.h"

std::array<uint8_t, 4> ButtonStatusPipe::packetFor(bool pressed)
{
    // bStatusType 2 (VideoStreaming), bOriginator 1, bEvent 0 (button), bValue.
    return {0x02, 0x01, 0x00, static_cast<uint8_t>(pressed ? 1 : 0)};
}

void ButtonStatusPipe::attach(const std::shared_ptr<UsbRunLoop> &loop)
{
    std::lock_guard lock(m_lock);
    m_loop = loop;
    deliverLocked();
}

int32_t ButtonStatusPipe::readAsync(uint8_t *buffer, uint32_t length, UsbReadCompletion completion,
                                    void *context)
{
    if (!buffer || !completion)
        return UsbError::kInvalidParameter;
    std::lock_guard lock(m_lock);
    if (m_hasPending)
        return UsbError::kBusy;
    m_pending = {buffer, length, completion, context};
    m_hasPending = true;
    deliverLocked();
    return 0;
}

void ButtonStatusPipe::buttonChanged(bool pressed)
{
    std::lock_guard lock(m_lock);
    if (m_packets.size() >= kMaxWaitingPackets)
        m_packets.pop_front();
    m_packets.push_back(packetFor(pressed));
    deliverLocked();
}

void ButtonStatusPipe::cancel()
{
    std::lock_guard lock(m_lock);
    m_hasPending = false;
    m_packets.clear();
}

void ButtonStatusPipe::deliverLocked()
{
    const std::shared_ptr<UsbRunLoop> loop = m_loop.lock();
    if (!loop || !m_hasPending || m_packets.empty())
        return;
    const PendingRead read = m_pending;
    const std::array<uint8_t, 4> packet = m_packets.front();
    m_packets.pop_front();
    m_hasPending = false;
    // The bytes land in the reader's buffer on the reader's own thread.
    loop->post([read, packet] {
        const uint32_t bytes =
            std::min<uint32_t>(read.length, static_cast<uint32_t>(packet.size()));
        std::memcpy(read.buffer, packet.data(), bytes);
        read.completion(read.context, 0, bytes);
    });
}
