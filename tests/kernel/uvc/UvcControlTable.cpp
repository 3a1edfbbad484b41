#include "UvcControlTable.h"

#include <linux/usb/video.h>

namespace varnolet::test {

namespace {

struct Entry
{
    unsigned bit;
    UvcControlRange range;
};

UvcControlRange value(uint8_t selector, uint8_t size, int32_t minimum, int32_t maximum,
                      int32_t defaultValue, int32_t resolution = 1)
{
    UvcControlRange s;
    s.selector = selector;
    s.size = size;
    s.isSigned = minimum < 0;
    s.minimum = minimum;
    s.maximum = maximum;
    s.defaultValue = defaultValue;
    s.resolution = resolution;
    return s;
}

UvcControlRange fields(uint8_t selector, uint8_t size)
{
    UvcControlRange s;
    s.selector = selector;
    s.size = size;
    s.raw = true;
    return s;
}

// bmControls bits of the camera terminal (UVC 1.5, table 3-6).
std::vector<Entry> cameraTerminal()
{
    UvcControlRange aeMode = value(UVC_CT_AE_MODE_CONTROL, 1, 1, 8, 8, 9);
    aeMode.bitmapResolution = true; // manual (1) and aperture priority (8)
    return {
        {0, value(UVC_CT_SCANNING_MODE_CONTROL, 1, 0, 1, 0)},
        {1, aeMode},
        {2, value(UVC_CT_AE_PRIORITY_CONTROL, 1, 0, 1, 0)},
        {3, value(UVC_CT_EXPOSURE_TIME_ABSOLUTE_CONTROL, 4, 3, 10000, 156)},
        {4, value(UVC_CT_EXPOSURE_TIME_RELATIVE_CONTROL, 1, -1, 1, 0)},
        {5, value(UVC_CT_FOCUS_ABSOLUTE_CONTROL, 2, 0, 255, 0)},
        {6, fields(UVC_CT_FOCUS_RELATIVE_CONTROL, 2)},
        {7, value(UVC_CT_IRIS_ABSOLUTE_CONTROL, 2, 0, 100, 0)},
        {8, value(UVC_CT_IRIS_RELATIVE_CONTROL, 1, -1, 1, 0)},
        {9, value(UVC_CT_ZOOM_ABSOLUTE_CONTROL, 2, 0, 10, 0)},
        {10, fields(UVC_CT_ZOOM_RELATIVE_CONTROL, 3)},
        {11, fields(UVC_CT_PANTILT_ABSOLUTE_CONTROL, 8)},
        {12, fields(UVC_CT_PANTILT_RELATIVE_CONTROL, 4)},
        {13, value(UVC_CT_ROLL_ABSOLUTE_CONTROL, 2, -180, 180, 0)},
        {14, fields(UVC_CT_ROLL_RELATIVE_CONTROL, 2)},
        {17, value(UVC_CT_FOCUS_AUTO_CONTROL, 1, 0, 1, 1)},
        {18, value(UVC_CT_PRIVACY_CONTROL, 1, 0, 1, 0)},
    };
}

// bmControls bits of the processing unit (UVC 1.5, table 3-8).
std::vector<Entry> processingUnit()
{
    return {
        {0, value(UVC_PU_BRIGHTNESS_CONTROL, 2, -64, 64, 0)},
        {1, value(UVC_PU_CONTRAST_CONTROL, 2, 0, 95, 32)},
        {2, value(UVC_PU_HUE_CONTROL, 2, -2000, 2000, 0, 100)},
        {3, value(UVC_PU_SATURATION_CONTROL, 2, 0, 100, 64)},
        {4, value(UVC_PU_SHARPNESS_CONTROL, 2, 0, 7, 3)},
        {5, value(UVC_PU_GAMMA_CONTROL, 2, 72, 500, 100)},
        {6, value(UVC_PU_WHITE_BALANCE_TEMPERATURE_CONTROL, 2, 2800, 6500, 4600)},
        {7, fields(UVC_PU_WHITE_BALANCE_COMPONENT_CONTROL, 4)},
        {8, value(UVC_PU_BACKLIGHT_COMPENSATION_CONTROL, 2, 0, 2, 1)},
        {9, value(UVC_PU_GAIN_CONTROL, 2, 0, 100, 0)},
        {10, value(UVC_PU_POWER_LINE_FREQUENCY_CONTROL, 1, 0, 2, 1)},
        {11, value(UVC_PU_HUE_AUTO_CONTROL, 1, 0, 1, 0)},
        {12, value(UVC_PU_WHITE_BALANCE_TEMPERATURE_AUTO_CONTROL, 1, 0, 1, 1)},
        {13, value(UVC_PU_WHITE_BALANCE_COMPONENT_AUTO_CONTROL, 1, 0, 1, 1)},
        {14, value(UVC_PU_DIGITAL_MULTIPLIER_CONTROL, 2, 1, 10, 1)},
        {15, value(UVC_PU_DIGITAL_MULTIPLIER_LIMIT_CONTROL, 2, 1, 10, 10)},
        {16, value(UVC_PU_ANALOG_VIDEO_STANDARD_CONTROL, 1, 0, 0, 0)},
        {17, value(UVC_PU_ANALOG_LOCK_STATUS_CONTROL, 1, 0, 1, 0)},
        {18, value(0x13 /* contrast, auto */, 1, 0, 1, 0)},
    };
}

bool declared(const std::vector<uint8_t> &controls, unsigned bit)
{
    return bit / 8 < controls.size() && (controls[bit / 8] >> (bit % 8)) & 1;
}

} // namespace

std::vector<UvcControlRange> UvcControlTable::forUnit(const UvcConfiguration::Unit &unit)
{
    std::vector<UvcControlRange> specs;
    if (unit.subtype == UVC_VC_EXTENSION_UNIT) {
        for (unsigned bit = 0; bit < unit.controls.size() * 8 && bit < 255; ++bit) {
            if (declared(unit.controls, bit))
                specs.push_back(value(static_cast<uint8_t>(bit + 1), 2, 0, 255, 0));
        }
        return specs;
    }
    const std::vector<Entry> table =
        unit.subtype == UVC_VC_PROCESSING_UNIT ? processingUnit() : cameraTerminal();
    for (const Entry &entry : table) {
        if (declared(unit.controls, entry.bit))
            specs.push_back(entry.range);
    }
    return specs;
}

} // namespace varnolet::test
