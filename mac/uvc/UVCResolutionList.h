#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

#include "mac/core/CaptureResolution.h"

// The camera's capture sizes as its configuration descriptor lists them, kept sorted as
// the camera control offers them, and whether the camera declares a snapshot button.
class UVCResolutionList
{
public:
    // Parses a configuration descriptor (the bytes as read, wTotalLength from offset 2,
    // never beyond the bytes given) and rebuilds the list from its uncompressed frames
    // with discrete intervals. Answers the trigger-support flag.
    bool getMaxResolution(const uint8_t *descriptor, size_t size);

    // Inserts before the first entry wider or taller than the new size, else appends.
    void addCaptureResolutionByDes(const CaptureResolution &resolution);
    const std::vector<CaptureResolution> &getPixelsArray() const { return mPixelsArray; }
    void clear();

    bool mIsSupportHandWareTrigger() const { return m_isSupportHandWareTrigger; }
    // The entity IDs of the camera terminal and the processing unit the descriptor declares;
    // 0 when it declares none.
    uint8_t terminalUnitId() const { return m_terminalUnitId; }
    uint8_t processingUnitId() const { return m_processingUnitId; }

private:
    std::vector<CaptureResolution> mPixelsArray;
    bool m_isSupportHandWareTrigger = false;
    uint8_t m_terminalUnitId = 0;
    uint8_t m_processingUnitId = 0;
};
