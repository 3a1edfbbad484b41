#pragma once

#include <cerrno>
#include <cstddef>
#include <cstdint>
#include <vector>

namespace varnolet::test::uvcbytes {

// What the emulated camera's transport and its request handling share: the answers'
// status values, the request error codes and little-endian fields.
constexpr uint32_t kPayloadSize = 16384; // bulk dwMaxPayloadTransferSize: 32 packets of 512
constexpr int kStall = -EPIPE;

// Error codes of VC_REQUEST_ERROR_CODE_CONTROL.
constexpr uint8_t kErrorOutOfRange = 0x04;
constexpr uint8_t kErrorInvalidUnit = 0x05;
constexpr uint8_t kErrorInvalidControl = 0x06;
constexpr uint8_t kErrorInvalidRequest = 0x07;

inline void putLe(std::vector<uint8_t> &bytes, size_t at, uint32_t value, size_t size)
{
    for (size_t i = 0; i < size; ++i)
        bytes[at + i] = static_cast<uint8_t>(value >> (8 * i));
}

inline uint32_t le(const std::vector<uint8_t> &bytes, size_t at, size_t size)
{
    uint32_t value = 0;
    for (size_t i = 0; i < size && at + i < bytes.size(); ++i)
        value |= static_cast<uint32_t>(bytes[at + i]) << (8 * i);
    return value;
}

} // namespace varnolet::test::uvcbytes
