// The camera control's picture properties: the setters the adjust panel is bound to, and
// its requests, sent on the caller's thread or queued to the request thread.
#include "UVCCameraControl.h"

#include <cmath>

#include "mac/uvc/CameraRequestQueue.h"

void UVCCameraControl::show(AdjustField field, float value)
{
    if (mAdjustView) {
        mAdjustView->setSliderValue(field, value);
        mAdjustView->setTextValue(field, value);
    }
}

bool UVCCameraControl::setBrightness(float value)
{
    if (!setValue(value, uvc_controls.brightness))
        return false;
    brightness = value;
    show(AdjustField::Brightness, value);
    return true;
}

bool UVCCameraControl::setContrast(float value)
{
    if (!setValue(value, uvc_controls.contrast))
        return false;
    contrast = value;
    show(AdjustField::Contrast, value);
    return true;
}

bool UVCCameraControl::setGain(float value)
{
    if (!setValue(value, uvc_controls.gain))
        return false;
    gain = value;
    show(AdjustField::Hub, value);
    return true;
}

bool UVCCameraControl::setSaturation(float value)
{
    if (!setValue(value, uvc_controls.saturation))
        return false;
    saturation = value;
    show(AdjustField::Saturation, value);
    return true;
}

bool UVCCameraControl::setSharpness(float value)
{
    if (!setValue(value, uvc_controls.sharpness))
        return false;
    sharpness = value;
    show(AdjustField::Sharpness, value);
    return true;
}

bool UVCCameraControl::setExposure(float value)
{
    if (!setValue(1.0f - value, uvc_controls.exposure))
        return false;
    exposure = 1.0f - value;
    return true;
}

bool UVCCameraControl::setWhiteBalance(float value)
{
    if (!setValue(value, uvc_controls.whiteBalance))
        return false;
    whiteBalance = static_cast<int8_t>(std::trunc(value));
    return true;
}

bool UVCCameraControl::setAutoExposure(bool on)
{
    // Aperture priority (8) when on, manual (1) when off.
    if (!setData(on ? 8 : 1, 1, uvc_controls.autoExposure.selector, uvc_controls.autoExposure.unit))
        return false;
    autoExposure = on;
    return true;
}

bool UVCCameraControl::setAutoWhiteBalance(bool on)
{
    if (!setData(on ? 1 : 0, 1, uvc_controls.autoWhiteBalance.selector,
                 uvc_controls.autoWhiteBalance.unit))
        return false;
    autoWhiteBalance = on ? 1.0f : 0.0f;
    return true;
}

float &UVCCameraControl::property(AdjustField field)
{
    switch (field) {
    case AdjustField::Hub:
        return gain;
    case AdjustField::Saturation:
        return saturation;
    case AdjustField::Sharpness:
        return sharpness;
    case AdjustField::Contrast:
        return contrast;
    case AdjustField::Brightness:
        break;
    }
    return brightness;
}

const uvc_control_info_t &UVCCameraControl::controlOf(AdjustField field) const
{
    switch (field) {
    case AdjustField::Hub:
        return uvc_controls.gain;
    case AdjustField::Saturation:
        return uvc_controls.saturation;
    case AdjustField::Sharpness:
        return uvc_controls.sharpness;
    case AdjustField::Contrast:
        return uvc_controls.contrast;
    case AdjustField::Brightness:
        break;
    }
    return uvc_controls.brightness;
}

float UVCCameraControl::valueFor(AdjustField field) const
{
    return const_cast<UVCCameraControl *>(this)->property(field);
}

void UVCCameraControl::requestValueFor(AdjustField field, float value)
{
    if (!mPanelRequests) {
        if (!setValueFor(field, value))
            show(field, valueFor(field));
        return;
    }
    const auto index = static_cast<size_t>(field);
    const uint64_t number = ++mNewestRequest[index];
    // The range as it stands now: the table may be read again for another camera meanwhile.
    const uvc_control_info_t control = controlOf(field);
    mPanelRequests->submit(static_cast<int>(field), [this, field, value, control, index, number] {
        const bool accepted = setValue(value, control);
        return CameraRequestQueue::Answer([this, field, value, accepted, index, number] {
            if (accepted)
                property(field) = value;
            // A newer value on its way shows when it is answered; until then the slider
            // stays where the user put it.
            if (number == mNewestRequest[index])
                show(field, valueFor(field));
        });
    });
}

bool UVCCameraControl::waitForPanelRequests(std::chrono::milliseconds timeout)
{
    return !mPanelRequests || mPanelRequests->waitUntilIdle(timeout);
}

bool UVCCameraControl::setValueFor(AdjustField field, float value)
{
    switch (field) {
    case AdjustField::Brightness:
        return setBrightness(value);
    case AdjustField::Hub:
        return setGain(value);
    case AdjustField::Saturation:
        return setSaturation(value);
    case AdjustField::Sharpness:
        return setSharpness(value);
    case AdjustField::Contrast:
        return setContrast(value);
    }
    return false;
}

void UVCCameraControl::restorePicture(float uvc_control_info_t::*value)
{
    for (AdjustField field : {AdjustField::Sharpness, AdjustField::Saturation,
                              AdjustField::Contrast, AdjustField::Brightness, AdjustField::Hub})
        requestValueFor(field, controlOf(field).*value);
}

void UVCCameraControl::setPreValue()
{
    restorePicture(&uvc_control_info_t::previous);
}

void UVCCameraControl::setDefaultValue()
{
    restorePicture(&uvc_control_info_t::defaultValue);
}
