// Any byte string as a USB configuration descriptor.
#include <cstddef>
#include <cstdint>
#include <cstdio>

#include "mac/uvc/UVCResolutionList.h"
#include "mac/uvc/confdesc.h"

extern "C" int LLVMFuzzerInitialize(int *, char ***)
{
    // The parser writes its warnings (and, traced, every descriptor) to standard output.
    if (!std::freopen("/dev/null", "w", stdout))
        return 0;
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    very_verbose = size > 0 && (data[size - 1] & 1);
    const auto length = static_cast<uint16_t>(size > 0xFFFF ? 0xFFFF : size);

    confdesc parser;
    parser.initConfdesc(size ? data : nullptr, length);
    unsigned sum = parser.vdc() + parser.terminal_unit_id() + parser.processing_unit_id();
    for (int i = 0; i < parser.num_formats(); ++i) {
        const video_format_t *format = parser.getAt(i);
        sum += format->bFormatIndex + format->bBitsPerPixel;
        for (const mydata &holder : format->frames)
            sum += holder.video_frame_t()->wWidth +
                   static_cast<unsigned>(holder.video_frame_t()->intervals.size());
        if (format->color_matching)
            sum += format->color_matching->bMatrixCoefficients;
    }
    const uint32_t packet =
        size >= 4 ? static_cast<uint32_t>(data[0] | data[1] << 8 | data[2] << 16) : 0;
    sum += parser.alternate_for_size(packet);

    UVCResolutionList list;
    list.getMaxResolution(data, size);
    sum += static_cast<unsigned>(list.getPixelsArray().size());
    very_verbose = false;
    return sum == 0xFFFFFFFFu ? -1 : 0;
}
