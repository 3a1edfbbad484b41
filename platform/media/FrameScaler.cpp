#include "FrameScaler.h"

#include <cstring>

namespace varnolet {

bool FrameScaler::scale(const uint8_t *source, int sourceWidth, int sourceHeight, uint8_t *target,
                        int targetWidth, int targetHeight)
{
    if (!source || !target || sourceWidth <= 0 || sourceHeight <= 0 || targetWidth <= 0 ||
        targetHeight <= 0)
        return false;
    SwsContext *context = sws_getCachedContext(
        m_context.release(), sourceWidth, sourceHeight, AV_PIX_FMT_BGR24, targetWidth, targetHeight,
        AV_PIX_FMT_BGR24, SWS_BICUBIC | SWS_ACCURATE_RND | SWS_FULL_CHR_H_INT, nullptr, nullptr,
        nullptr);
    m_context.reset(context);
    if (!context)
        return false;
    // libswscale's packed-RGB readers load whole machine words and may run a few bytes past
    // the end of a row. Inside the frame that lands in the next row; past the last row it
    // would leave the buffer, which is exactly 3 × width × height bytes. So the rows but the
    // last are scaled in place and the last one from a padded copy, as a second slice.
    const size_t rowBytes = static_cast<size_t>(sourceWidth) * 3;
    const int sourceStrides[1] = {static_cast<int>(rowBytes)};
    uint8_t *const targetPlanes[1] = {target};
    const int targetStrides[1] = {targetWidth * 3};
    int rows = 0;
    if (sourceHeight > 1) {
        const uint8_t *const sourcePlanes[1] = {source};
        rows += sws_scale(context, sourcePlanes, sourceStrides, 0, sourceHeight - 1, targetPlanes,
                          targetStrides);
    }
    m_lastRow.assign(rowBytes + kRowPadding, 0);
    std::memcpy(m_lastRow.data(), source + rowBytes * (sourceHeight - 1), rowBytes);
    const uint8_t *const lastPlanes[1] = {m_lastRow.data()};
    rows += sws_scale(context, lastPlanes, sourceStrides, sourceHeight - 1, 1, targetPlanes,
                      targetStrides);
    return rows == targetHeight;
}

} // namespace varnolet
