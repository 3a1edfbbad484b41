#include "ThumbnailProtocol.h"

#include <algorithm>
#include <cstring>

namespace varnolet {

namespace {

constexpr char kRequestMagic[4] = {'V', 'T', 'Q', '1'};
constexpr char kReplyMagic[4] = {'V', 'T', 'A', '1'};

void put32(uint8_t *at, uint32_t value)
{
    for (int i = 0; i < 4; ++i)
        at[i] = static_cast<uint8_t>(value >> (8 * i));
}

uint32_t get32(const uint8_t *at)
{
    uint32_t value = 0;
    for (int i = 0; i < 4; ++i)
        value |= static_cast<uint32_t>(at[i]) << (8 * i);
    return value;
}

bool inRange(uint32_t value, int highest)
{
    return value >= 1 && value <= static_cast<uint32_t>(highest);
}

} // namespace

std::array<uint8_t, ThumbnailProtocol::kRequestBytes>
ThumbnailProtocol::encodeRequest(const ThumbnailRequest &request)
{
    std::array<uint8_t, kRequestBytes> bytes{};
    std::memcpy(bytes.data(), kRequestMagic, 4);
    put32(bytes.data() + 4, request.container == MovieContainer::Avi ? 0 : 1);
    put32(bytes.data() + 8, static_cast<uint32_t>(request.fit.maxWidth));
    put32(bytes.data() + 12, static_cast<uint32_t>(request.fit.maxHeight));
    return bytes;
}

bool ThumbnailProtocol::decodeRequest(const uint8_t *data, size_t size, ThumbnailRequest &request)
{
    if (size != kRequestBytes || std::memcmp(data, kRequestMagic, 4) != 0)
        return false;
    const uint32_t container = get32(data + 4);
    const uint32_t width = get32(data + 8);
    const uint32_t height = get32(data + 12);
    if (container > 1 || !inRange(width, kMaxBoxSide) || !inRange(height, kMaxBoxSide))
        return false;
    request.container = container == 0 ? MovieContainer::Avi : MovieContainer::QuickTime;
    request.fit = FrameFit{static_cast<int>(width), static_cast<int>(height)};
    return true;
}

std::array<uint8_t, ThumbnailProtocol::kReplyHeaderBytes>
ThumbnailProtocol::encodeReplyHeader(const ThumbnailReplyHeader &header)
{
    std::array<uint8_t, kReplyHeaderBytes> bytes{};
    std::memcpy(bytes.data(), kReplyMagic, 4);
    put32(bytes.data() + 4, static_cast<uint32_t>(header.status));
    put32(bytes.data() + 8, static_cast<uint32_t>(header.sourceWidth));
    put32(bytes.data() + 12, static_cast<uint32_t>(header.sourceHeight));
    put32(bytes.data() + 16, static_cast<uint32_t>(header.width));
    put32(bytes.data() + 20, static_cast<uint32_t>(header.height));
    return bytes;
}

bool ThumbnailProtocol::decodeReplyHeader(const uint8_t *data, size_t size,
                                          const ThumbnailRequest &request,
                                          ThumbnailReplyHeader &header)
{
    header = ThumbnailReplyHeader();
    if (size != kReplyHeaderBytes || std::memcmp(data, kReplyMagic, 4) != 0)
        return false;
    const auto status = static_cast<int32_t>(get32(data + 4));
    const uint32_t sourceWidth = get32(data + 8);
    const uint32_t sourceHeight = get32(data + 12);
    const uint32_t width = get32(data + 16);
    const uint32_t height = get32(data + 20);
    if (status > 0)
        return false;
    if (status < 0) {
        if (sourceWidth != 0 || sourceHeight != 0 || width != 0 || height != 0)
            return false;
        header.status = status;
        return true;
    }
    if (!inRange(sourceWidth, MovieFrameReader::kMaxSide) ||
        !inRange(sourceHeight, MovieFrameReader::kMaxSide) ||
        !inRange(width, std::min(request.fit.maxWidth, static_cast<int>(sourceWidth))) ||
        !inRange(height, std::min(request.fit.maxHeight, static_cast<int>(sourceHeight))))
        return false;
    header.sourceWidth = static_cast<int>(sourceWidth);
    header.sourceHeight = static_cast<int>(sourceHeight);
    header.width = static_cast<int>(width);
    header.height = static_cast<int>(height);
    return true;
}

bool ThumbnailProtocol::decodeReply(const uint8_t *data, size_t size,
                                    const ThumbnailRequest &request, ThumbnailReplyHeader &header,
                                    BgrImage &picture)
{
    picture = BgrImage();
    if (size < kReplyHeaderBytes || !decodeReplyHeader(data, kReplyHeaderBytes, request, header))
        return false;
    if (size - kReplyHeaderBytes != header.payloadBytes() || header.status != 0)
        return false;
    picture.width = header.width;
    picture.height = header.height;
    picture.bottomUp = false;
    picture.pixels.assign(data + kReplyHeaderBytes, data + size);
    return true;
}

} // namespace varnolet
