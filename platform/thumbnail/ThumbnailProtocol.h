#pragma once

#include "platform/media/BgrImage.h"
#include "platform/media/MovieFrameReader.h"

#include <array>
#include <cstddef>
#include <cstdint>

namespace varnolet {

// What the thumbnail helper and the programs say to each other over their socket. A request
// travels with the open file as an SCM_RIGHTS descriptor; the reply is a fixed header and,
// for a picture, its rows. All numbers are 32-bit little-endian.
//
//   request: "VTQ1", container (0 AVI, 1 QuickTime), max width, max height
//   reply:   "VTA1", status (0 or a negative AVERROR), source width, source height,
//            width, height, then width × height × 3 bytes of BGR, top row first
//
// Everything in a reply is checked against the request: a helper gone wrong can make the
// program show no thumbnail, never read or allocate past what it asked for.
struct ThumbnailRequest
{
    MovieContainer container = MovieContainer::Avi;
    FrameFit fit;
};

struct ThumbnailReplyHeader
{
    int32_t status = 0;
    int sourceWidth = 0;
    int sourceHeight = 0;
    int width = 0;
    int height = 0;

    size_t payloadBytes() const
    {
        return status == 0 ? static_cast<size_t>(width) * static_cast<size_t>(height) * 3 : 0;
    }
};

class ThumbnailProtocol
{
public:
    static constexpr size_t kRequestBytes = 16;
    static constexpr size_t kReplyHeaderBytes = 24;
    // The largest box a request may ask for.
    static constexpr int kMaxBoxSide = 4096;

    static std::array<uint8_t, kRequestBytes> encodeRequest(const ThumbnailRequest &request);
    // False for anything that is not a well-formed request with a box of 1..kMaxBoxSide.
    static bool decodeRequest(const uint8_t *data, size_t size, ThumbnailRequest &request);

    static std::array<uint8_t, kReplyHeaderBytes> encodeReplyHeader(const ThumbnailReplyHeader &h);
    // False unless the header is well formed and fits the request: a failure carries no
    // sizes, a picture lies inside the requested box and inside its source, and the source
    // is at most MovieFrameReader::kMaxSide on each side.
    static bool decodeReplyHeader(const uint8_t *data, size_t size, const ThumbnailRequest &request,
                                  ThumbnailReplyHeader &header);
    // A whole reply (header and rows, nothing more) into a top-down picture; false when it is
    // malformed, does not fit the request or reports a failure (status then holds it).
    static bool decodeReply(const uint8_t *data, size_t size, const ThumbnailRequest &request,
                            ThumbnailReplyHeader &header, BgrImage &picture);
};

} // namespace varnolet
