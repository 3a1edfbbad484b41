#include "UVCResolutionList.h"

#include <algorithm>
#include <cstdio>

#include "mac/uvc/confdesc.h"

bool UVCResolutionList::getMaxResolution(const uint8_t *descriptor, size_t size)
{
    clear();
    if (!descriptor || size < 4)
        return false;
    const size_t total = static_cast<size_t>(descriptor[2] | descriptor[3] << 8);
    const auto length = static_cast<uint16_t>(std::min<size_t>({total, size, 0xFFFF}));

    confdesc parser;
    parser.initConfdesc(descriptor, length);
    m_isSupportHandWareTrigger = parser.mIsSupportHandwareTrigger();
    m_terminalUnitId = parser.terminal_unit_id();
    m_processingUnitId = parser.processing_unit_id();
    for (int i = 0; i < parser.num_formats(); ++i) {
        const video_format_t *format = parser.getAt(i);
        for (const mydata &holder : format->frames) {
            const video_frame_t *frame = holder.video_frame_t();
            if (frame->bFrameIntervalType != 0)
                addCaptureResolutionByDes(CaptureResolution(frame->wWidth, frame->wHeight));
            else
                std::printf("Continuus FPS unsupported for now :(\n");
        }
    }
    return m_isSupportHandWareTrigger;
}

void UVCResolutionList::addCaptureResolutionByDes(const CaptureResolution &resolution)
{
    const auto at =
        std::find_if(mPixelsArray.begin(), mPixelsArray.end(), [&](const CaptureResolution &entry) {
            return entry.nResolutionWidth > resolution.nResolutionWidth ||
                   entry.nResolutionHeight > resolution.nResolutionHeight;
        });
    mPixelsArray.insert(at, resolution);
}

void UVCResolutionList::clear()
{
    mPixelsArray.clear();
    m_isSupportHandWareTrigger = false;
    m_terminalUnitId = 0;
    m_processingUnitId = 0;
}
