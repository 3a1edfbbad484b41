#pragma once

#include <mutex>
#include <string>
#include <vector>

#include "mac/core/CaptureResolution.h"

class AppControllerSettings;
class CameraControl;
class SettingParams;
class UserDefaults;
class QWidget;

// What the settings panel needs from the application controller. The device and resolution
// lists are the controller's and act at once; everything else the panel edits waits for
// Apply, which then asks the controller to bring the rest of the program up to date.
// All calls come on the main thread.
class SettingsPanelHost
{
public:
    virtual ~SettingsPanelHost() = default;

    // The three records, the string lookup and the language list.
    virtual AppControllerSettings &settings() = 0;
    // The capture thread reads the settings in force under this lock (snapshot-button
    // photos come in any state); the panel holds it while it changes them.
    virtual std::recursive_mutex &settingsLock() = 0;
    // The store Apply writes the settings in force to.
    virtual UserDefaults &userStore() = 0;

    // The cameras' names in list order, and the text the device list shows (the open
    // camera's name; empty when there is none).
    virtual std::vector<std::string> deviceNames() const = 0;
    virtual std::string deviceListText() const = 0;
    // The open camera's sizes, and the text the resolution list shows (the size in force).
    virtual std::vector<CaptureResolution> resolutionArray() const = 0;
    virtual std::string resolutionListText() const = 0;
    // The user picked an entry of the device or resolution list.
    virtual void deviceSelectionDidChange(int index) = 0;
    virtual void resolutionSelectionDidChange(int index) = 0;

    // A modal alert with one button.
    virtual void mySystemWarning(const std::string &text) = 0;
    // The saving location or the sub-folder choice changed on Apply: make the resource
    // folders of the record and show the tree of its resource root.
    virtual void createLocationsOfAllResources(const SettingParams &settings) = 0;
    virtual void showResourcesTree(const std::string &resourcesRoot) = 0;
    // Apply changed the language: retitle the whole user interface.
    virtual void changedUIBySelectedLanuage(int lanuageIndex) = 0;

    // The camera: whether one is open, the warning when none is, and its control (none
    // before the first camera was opened).
    virtual bool IsCaptureDevice() const = 0;
    virtual std::string messageForNotCaptureDevice() const = 0;
    virtual CameraControl *cameraControl() const = 0;

    // The window the panel is placed over; none leaves the panel where it is.
    virtual QWidget *mainWindow() const = 0;
};
