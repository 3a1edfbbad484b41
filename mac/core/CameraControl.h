#pragma once

#include <cstdint>
#include <vector>

#include "mac/core/CaptureResolution.h"

class AppControllerSettings;

// Whoever is told about snapshot-button releases (the application controller). Called on
// the snapshot reader's thread, without a lock: the receiver only sets a flag.
class HardwareTriggerListener
{
public:
    virtual ~HardwareTriggerListener() = default;
    virtual void setMIsHandwareTrigger(bool pressed) = 0;
};

// The camera control as the application controller and the adjust panel drive it. The
// USB implementation is UVCCameraControl; tests put a fake in its place.
class CameraControl
{
public:
    virtual ~CameraControl() = default;

    // The sequence run when the previewed camera's USB location changes, in this order.
    virtual void releaseControl() = 0;
    virtual void clearDefaultValue() = 0;
    virtual bool initWithLocationID(uint32_t locationId) = 0;
    virtual void getDefaultValue() = 0;
    virtual std::vector<CaptureResolution> getPixelsArray() const = 0;
    virtual void setAppController(HardwareTriggerListener *controller) = 0;
    virtual void initReadingInterruptThread() = 0;

    // The adjust panel's Cancel and Set Default.
    virtual void setPreValue() = 0;
    virtual void setDefaultValue() = 0;
    // Retitles the adjust panel through the controller's string lookup.
    virtual void changedLanuage(const AppControllerSettings &controller, int lanuageIndex) = 0;
};
