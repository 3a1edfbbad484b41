#pragma once

#include <cstdint>
#include <memory>
#include <vector>

#include "mac/uvc/UsbDevice.h"
#include "mac/uvc/V4l2ControlNode.h"

// Carries out UVC class control requests to the camera terminal and the processing unit
// through the equivalent V4L2 controls of the camera's video node, for the time the kernel
// driver holds the VideoControl interface. The request's data are the bytes the UVC request
// would have carried: wLength bytes, little-endian. A request the table does not cover
// fails with the code of a stalled request.
class UvcV4l2Bridge
{
public:
    enum class Unit : uint8_t { CameraTerminal, ProcessingUnit };

    struct Mapping
    {
        Unit unit;
        uint8_t selector;
        uint32_t v4l2Id;
        uint8_t size;        // the UVC control's length in bytes
        bool isSigned;       // the UVC value is a signed number of that size
        bool isAutoExposure; // the UVC bitmap 1/2/4/8 against the V4L2 exposure menu
    };

    // The UVC request codes served.
    static constexpr uint8_t kSetCur = 0x01;
    static constexpr uint8_t kGetCur = 0x81;
    static constexpr uint8_t kGetMin = 0x82;
    static constexpr uint8_t kGetMax = 0x83;
    static constexpr uint8_t kGetRes = 0x84;
    static constexpr uint8_t kGetDef = 0x87;

    // interfaceNumber is the VideoControl interface's number (the low byte of wIndex);
    // terminalId and processingUnitId the entity IDs of the descriptor (0: the usual 1 and 3).
    UvcV4l2Bridge(std::unique_ptr<V4l2ControlNode> node, uint8_t interfaceNumber,
                  uint8_t terminalId, uint8_t processingUnitId);

    int32_t controlRequest(UsbControlRequest &request);

    static const std::vector<Mapping> &table();
    static const Mapping *find(Unit unit, uint8_t selector);
    // The auto-exposure mode both ways; false for a value with no counterpart.
    static bool autoExposureToV4l2(uint32_t uvcMode, int32_t &menuIndex);
    static bool autoExposureToUvc(int32_t menuIndex, uint32_t &uvcMode);

private:
    int32_t read(const Mapping &mapping, uint8_t request, int32_t &value);
    int32_t write(const Mapping &mapping, int32_t value);

    std::unique_ptr<V4l2ControlNode> m_node;
    uint8_t m_interfaceNumber;
    uint8_t m_terminalId;
    uint8_t m_processingUnitId;
};
