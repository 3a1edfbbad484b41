#pragma once

#include <string>

// The five picture properties the adjust panel shows; "Hub" is the panel's name for hue.
enum class AdjustField { Brightness, Hub, Saturation, Sharpness, Contrast };

// The adjust panel's texts, as the language change sets them.
struct CameraAdjustTexts
{
    std::string labBrightness;
    std::string labHub;
    std::string labSaturation;
    std::string labSharpness;
    std::string labContrast;
    std::string btnOk;
    std::string btnCancel;
    std::string btnSetDefault;
    std::string title; // the panel's window title
};

// The adjust panel's outlets as the camera control fills them (on the main thread). The
// widget panel implements it; the camera control stays free of widgets.
class CameraAdjustView
{
public:
    virtual ~CameraAdjustView() = default;
    // The slider of a property, to a 0..1 value.
    virtual void setSliderValue(AdjustField field, float value) = 0;
    // The value field of a property, to a 0..1 value.
    virtual void setTextValue(AdjustField field, float value) = 0;
    virtual void setTexts(const CameraAdjustTexts &texts) = 0;
};
