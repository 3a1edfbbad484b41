#pragma once

// What the settings dialog (CSettingDlg) needs from the window that opens it.
//
// The host's part of one settings run:
//   - While the dialog exists it is registered with SetOpenSettingDialog(dialog) (the
//     dialog does this itself in its constructor and sends nullptr from its destructor).
//     While it is registered the host calls it back:
//       * after every camera arrival or removal, once the host's device list is refilled:
//         dialog->RefillDeviceList();
//       * whenever the host's resolution list was replaced (a camera was opened):
//         dialog->RefillResolutionList().
//   - After the dialog has closed, whether it ended with Apply (QDialog::Accepted) or not:
//       1. re-read every text of the window (UpdateButtonTexts): a new language takes
//          effect at once;
//       2. RefreshResourceTree() of the resource folder window (the saving location or
//          the per-day folder choice may have changed);
//       3. when the using capture size (GetUsingSettings()) differs from the previous
//          record's (GetPreviousSettings()), reopen the open camera at the using size:
//          OpenCameraAt(index of OpenDevicePath(), using width, using height).
//
// All calls come on the UI thread.

#include <cstdint>
#include <string>
#include <vector>

class CSettingDlg;

// One entry of the host's device list.
struct SettingDevice
{
    std::string path;         // device path, the key of the list
    std::string friendlyName; // what the device list shows
};

class ISettingDialogHost
{
public:
    virtual ~ISettingDialogHost() = default;

    // The cameras, in the order of the host's device list (a device index is a position
    // in it).
    virtual std::vector<SettingDevice> SettingDevices() const = 0;
    // Path of the open camera; empty when none is open.
    virtual const std::string &OpenDevicePath() const = 0;
    // Sizes the open camera offers: width << 16 | height, ascending.
    virtual std::vector<uint32_t> SettingResolutions() const = 0;

    // Opens the camera at a device index; 0 x 0 asks for the camera's own size. On success
    // the delivered size is in the using settings (SetUsingCaptureSize) and the resolution
    // list is the new camera's.
    virtual bool OpenCameraAt(int index, int width, int height) = 0;
    // The open camera's control dialog (modal), or the no-camera message.
    virtual void ShowDeviceProperties() = 0;

    // The activities during which the dialog keeps the location, movie, camera and number
    // controls disabled.
    virtual bool IsPhotoPending() const = 0;
    virtual bool IsTimedSeries() const = 0;
    virtual bool IsRecording() const = 0;

    // The dialog that is open (nullptr once it is gone); see the callbacks above.
    virtual void SetOpenSettingDialog(CSettingDlg *dialog) = 0;
};
