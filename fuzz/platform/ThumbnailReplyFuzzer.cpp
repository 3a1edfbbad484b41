// Any bytes as the thumbnail helper's answer: the first four bytes choose the box asked for
// (width and height 1..256 from bytes 0 and 2, the container from byte 3; byte 1 is spare),
// the rest is the reply as it came over the socket.
#include "FuzzerDefaults.h"

#include "platform/thumbnail/ThumbnailProtocol.h"

#include <cstddef>
#include <cstdint>

using varnolet::BgrImage;
using varnolet::ThumbnailProtocol;
using varnolet::ThumbnailReplyHeader;
using varnolet::ThumbnailRequest;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    if (size < 4)
        return 0;
    ThumbnailRequest request;
    request.fit.maxWidth = 1 + data[0];
    request.fit.maxHeight = 1 + data[2];
    request.container =
        data[3] % 2 ? varnolet::MovieContainer::QuickTime : varnolet::MovieContainer::Avi;
    data += 4;
    size -= 4;

    ThumbnailReplyHeader header;
    const bool headerOk = size >= ThumbnailProtocol::kReplyHeaderBytes &&
                          ThumbnailProtocol::decodeReplyHeader(
                              data, ThumbnailProtocol::kReplyHeaderBytes, request, header);
    if (headerOk && header.status == 0) {
        FUZZ_CHECK(header.width >= 1 && header.width <= request.fit.maxWidth);
        FUZZ_CHECK(header.height >= 1 && header.height <= request.fit.maxHeight);
        FUZZ_CHECK(header.width <= header.sourceWidth && header.height <= header.sourceHeight);
        FUZZ_CHECK(header.payloadBytes() == static_cast<size_t>(header.width) * header.height * 3);
    }
    if (headerOk && header.status != 0)
        FUZZ_CHECK(header.status < 0 && header.payloadBytes() == 0);

    BgrImage picture;
    picture.width = 9; // anything left over must be cleared
    ThumbnailReplyHeader whole;
    if (ThumbnailProtocol::decodeReply(data, size, request, whole, picture)) {
        FUZZ_CHECK(headerOk && whole.status == 0);
        FUZZ_CHECK(picture.width == whole.width && picture.height == whole.height);
        FUZZ_CHECK(picture.pixels.size() + ThumbnailProtocol::kReplyHeaderBytes == size);
        FUZZ_CHECK(!picture.bottomUp);
    } else {
        FUZZ_CHECK(picture.isEmpty() && picture.width == 0);
    }
    return 0;
}
