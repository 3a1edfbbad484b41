#pragma once

#include "FfmpegHandles.h"

#include <cstddef>
#include <cstdint>
#include <vector>

namespace varnolet {

// Bicubic scaling of packed 24-bit BGR frames with libswscale. Rows are scaled in the order
// they are stored, so a bottom-up frame gives a bottom-up result. The scaling context is
// kept between calls of the same sizes. Not thread-safe: one scaler per thread.
class FrameScaler
{
public:
    // Both buffers hold rows of exactly 3 × width bytes. False for bad sizes or when
    // libswscale refuses them.
    bool scale(const uint8_t *source, int sourceWidth, int sourceHeight, uint8_t *target,
               int targetWidth, int targetHeight);

private:
    // Room libswscale may read past a row's last pixel.
    static constexpr size_t kRowPadding = 64;

    SwsContextPtr m_context;
    std::vector<uint8_t> m_lastRow; // the source's last row, padded
};

} // namespace varnolet
