#include "UvcV4l2Bridge.h"

#include <cerrno>

namespace {

constexpr uint8_t kClassInterfaceIn = 0xA1;
constexpr uint8_t kClassInterfaceOut = 0x21;

using Unit = UvcV4l2Bridge::Unit;

} // namespace

const std::vector<UvcV4l2Bridge::Mapping> &UvcV4l2Bridge::table()
{
    static const std::vector<Mapping> mappings = {
        {Unit::CameraTerminal, 0x02, V4L2_CID_EXPOSURE_AUTO, 1, false, true},
        {Unit::CameraTerminal, 0x03, V4L2_CID_EXPOSURE_AUTO_PRIORITY, 1, false, false},
        {Unit::CameraTerminal, 0x04, V4L2_CID_EXPOSURE_ABSOLUTE, 4, false, false},
        {Unit::ProcessingUnit, 0x01, V4L2_CID_BACKLIGHT_COMPENSATION, 2, false, false},
        {Unit::ProcessingUnit, 0x02, V4L2_CID_BRIGHTNESS, 2, true, false},
        {Unit::ProcessingUnit, 0x03, V4L2_CID_CONTRAST, 2, false, false},
        {Unit::ProcessingUnit, 0x04, V4L2_CID_GAIN, 2, false, false},
        {Unit::ProcessingUnit, 0x05, V4L2_CID_POWER_LINE_FREQUENCY, 1, false, false},
        {Unit::ProcessingUnit, 0x06, V4L2_CID_HUE, 2, true, false},
        {Unit::ProcessingUnit, 0x07, V4L2_CID_SATURATION, 2, false, false},
        {Unit::ProcessingUnit, 0x08, V4L2_CID_SHARPNESS, 2, false, false},
        {Unit::ProcessingUnit, 0x09, V4L2_CID_GAMMA, 2, false, false},
        {Unit::ProcessingUnit, 0x0A, V4L2_CID_WHITE_BALANCE_TEMPERATURE, 2, false, false},
        {Unit::ProcessingUnit, 0x0B, V4L2_CID_AUTO_WHITE_BALANCE, 1, false, false},
    };
    return mappings;
}

const UvcV4l2Bridge::Mapping *UvcV4l2Bridge::find(Unit unit, uint8_t selector)
{
    for (const Mapping &mapping : table()) {
        if (mapping.unit == unit && mapping.selector == selector)
            return &mapping;
    }
    return nullptr;
}

// UVC: 1 manual, 2 auto, 4 shutter priority, 8 aperture priority (one bit set).
bool UvcV4l2Bridge::autoExposureToV4l2(uint32_t uvcMode, int32_t &menuIndex)
{
    switch (uvcMode) {
    case 1:
        menuIndex = V4L2_EXPOSURE_MANUAL;
        return true;
    case 2:
        menuIndex = V4L2_EXPOSURE_AUTO;
        return true;
    case 4:
        menuIndex = V4L2_EXPOSURE_SHUTTER_PRIORITY;
        return true;
    case 8:
        menuIndex = V4L2_EXPOSURE_APERTURE_PRIORITY;
        return true;
    default:
        return false;
    }
}

bool UvcV4l2Bridge::autoExposureToUvc(int32_t menuIndex, uint32_t &uvcMode)
{
    switch (menuIndex) {
    case V4L2_EXPOSURE_MANUAL:
        uvcMode = 1;
        return true;
    case V4L2_EXPOSURE_AUTO:
        uvcMode = 2;
        return true;
    case V4L2_EXPOSURE_SHUTTER_PRIORITY:
        uvcMode = 4;
        return true;
    case V4L2_EXPOSURE_APERTURE_PRIORITY:
        uvcMode = 8;
        return true;
    default:
        return false;
    }
}

UvcV4l2Bridge::UvcV4l2Bridge(std::unique_ptr<V4l2ControlNode> node, uint8_t interfaceNumber,
                             uint8_t terminalId, uint8_t processingUnitId)
    : m_node(std::move(node))
    , m_interfaceNumber(interfaceNumber)
    , m_terminalId(terminalId ? terminalId : 1)
    , m_processingUnitId(processingUnitId ? processingUnitId : 3)
{
}

int32_t UvcV4l2Bridge::read(const Mapping &mapping, uint8_t request, int32_t &value)
{
    if (request == kGetCur) {
        int32_t current = 0;
        const int32_t result = m_node->getControl(mapping.v4l2Id, current);
        if (result != 0)
            return result;
        if (!mapping.isAutoExposure) {
            value = current;
            return 0;
        }
        uint32_t mode = 0;
        if (!autoExposureToUvc(current, mode))
            return UsbError::kPipe;
        value = static_cast<int32_t>(mode);
        return 0;
    }

    v4l2_queryctrl query{};
    query.id = mapping.v4l2Id;
    const int32_t result = m_node->queryControl(query);
    if (result != 0)
        return result;
    if (query.flags & V4L2_CTRL_FLAG_DISABLED)
        return UsbError::kPipe;
    if (mapping.isAutoExposure) {
        // The mode has no range in UVC, only a bitmap of modes and a default.
        uint32_t mode = 0;
        if (request != kGetDef || !autoExposureToUvc(query.default_value, mode))
            return UsbError::kPipe;
        value = static_cast<int32_t>(mode);
        return 0;
    }
    switch (request) {
    case kGetMin:
        value = query.minimum;
        return 0;
    case kGetMax:
        value = query.maximum;
        return 0;
    case kGetRes:
        value = query.step;
        return 0;
    case kGetDef:
        value = query.default_value;
        return 0;
    default:
        return UsbError::kPipe;
    }
}

int32_t UvcV4l2Bridge::write(const Mapping &mapping, int32_t value)
{
    if (mapping.isAutoExposure) {
        int32_t menuIndex = 0;
        if (!autoExposureToV4l2(static_cast<uint32_t>(value), menuIndex))
            return UsbError::kPipe;
        value = menuIndex;
    }
    return m_node->setControl(mapping.v4l2Id, value);
}

int32_t UvcV4l2Bridge::controlRequest(UsbControlRequest &request)
{
    request.wLenDone = 0;
    if (!m_node)
        return UsbError::kNoDevice;
    if (request.wLength == 0 || request.wLength > 4)
        return UsbError::kPipe;
    if (!request.pData)
        return UsbError::kInvalidParameter;
    if ((request.wIndex & 0xFF) != m_interfaceNumber || (request.wValue & 0xFF) != 0)
        return UsbError::kPipe;

    const uint8_t entity = static_cast<uint8_t>(request.wIndex >> 8);
    Unit unit;
    if (entity == m_terminalId)
        unit = Unit::CameraTerminal;
    else if (entity == m_processingUnitId)
        unit = Unit::ProcessingUnit;
    else
        return UsbError::kPipe;
    const Mapping *mapping = find(unit, static_cast<uint8_t>(request.wValue >> 8));
    if (!mapping)
        return UsbError::kPipe;

    if (request.bRequest == kSetCur) {
        if (request.bmRequestType != kClassInterfaceOut)
            return UsbError::kPipe;
        uint32_t raw = 0;
        for (int i = request.wLength - 1; i >= 0; --i)
            raw = raw << 8 | request.pData[i];
        int32_t value = static_cast<int32_t>(raw);
        if (mapping->isSigned && request.wLength < 4) {
            const unsigned bits = 8u * request.wLength;
            if (raw & (1u << (bits - 1)))
                value = static_cast<int32_t>(raw | ~((1u << bits) - 1));
        }
        const int32_t result = write(*mapping, value);
        if (result == 0)
            request.wLenDone = request.wLength;
        return result;
    }

    if (request.bmRequestType != kClassInterfaceIn)
        return UsbError::kPipe;
    int32_t value = 0;
    const int32_t result = read(*mapping, request.bRequest, value);
    if (result != 0)
        return result;
    const auto raw = static_cast<uint32_t>(value);
    for (int i = 0; i < request.wLength; ++i)
        request.pData[i] = static_cast<uint8_t>(raw >> (8 * i));
    request.wLenDone = request.wLength;
    return 0;
}
