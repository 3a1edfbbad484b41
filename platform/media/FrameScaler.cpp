#include "FrameScaler.h"

namespace varnolet {

bool FrameScaler::scale(const uint8_t *source, int sourceWidth, int sourceHeight, uint8_t *target,
                        int targetWidth, int targetHeight)
{
    if (!source || !target || sourceWidth <= 0 || sourceHeight <= 0 || targetWidth <= 0
        || targetHeight <= 0)
        return false;
    SwsContext *context = sws_getCachedContext(
        m_context.release(), sourceWidth, sourceHeight, AV_PIX_FMT_BGR24, targetWidth,
        targetHeight, AV_PIX_FMT_BGR24, SWS_BICUBIC | SWS_ACCURATE_RND | SWS_FULL_CHR_H_INT,
        nullptr, nullptr, nullptr);
    m_context.reset(context);
    if (!context)
        return false;
    const uint8_t *const sourcePlanes[1] = {source};
    const int sourceStrides[1] = {sourceWidth * 3};
    uint8_t *const targetPlanes[1] = {target};
    const int targetStrides[1] = {targetWidth * 3};
    return sws_scale(context, sourcePlanes, sourceStrides, 0, sourceHeight, targetPlanes,
                     targetStrides)
           == targetHeight;
}

} // namespace varnolet
