#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <utility>
#include <vector>

namespace varnolet {

// Who a camera is. devicePath is the stable identifier the programs key their device
// lists by: the /dev/v4l/by-path link of a V4L2 node when there is one, else the node.
struct CameraIdentity
{
    std::string devicePath;
    std::string friendlyName;
    std::string nodePath;     // /dev/videoN (empty for a virtual camera)
    std::string usbSysfsPath; // sysfs folder of the USB device (empty when not USB)
    uint32_t usbLocation = 0; // see UsbLocation; 0 when unknown
    uint16_t usbVendorId = 0;
    uint16_t usbProductId = 0;
    bool isVirtual = false;
};

// One thing a camera output can deliver: a pixel format at one frame size, with the
// highest frame rate the camera offers for it (0 when the camera does not say).
struct CameraFormat
{
    uint32_t pixelFormat = 0; // V4L2 fourcc
    int width = 0;
    int height = 0;
    double framesPerSecond = 0.0;

    bool operator==(const CameraFormat &other) const = default;
};

// A picture control of a camera (V4L2 control semantics).
struct CameraControl
{
    enum class Type { Integer, Boolean, Menu, IntegerMenu, Button };

    uint32_t id = 0; // V4L2 control id
    std::string name;
    Type type = Type::Integer;
    int32_t minimum = 0;
    int32_t maximum = 0;
    int32_t step = 1;
    int32_t defaultValue = 0;
    int32_t value = 0;
    bool readOnly = false;
    bool inactive = false;
    bool updatesOthers = false; // setting it changes other controls (an automatic mode)
    std::vector<std::pair<int32_t, std::string>> menuItems; // Menu / IntegerMenu entries
};

// One delivered frame: 24-bit BGR, rows bottom-up, a row exactly 3 x width bytes.
// The bytes stay valid only during the callback that receives the frame.
struct CameraFrame
{
    uint8_t *data = nullptr;
    size_t length = 0;
    int width = 0;
    int height = 0;
    double sampleTime = 0.0; // seconds since the stream started
    uint64_t sequence = 0;   // frame number since the stream started
    // Decoded smaller than the camera's format, for the live picture only (see
    // CameraSource::setPreviewDemand): never a photo's or a movie's frame.
    bool reduced = false;
};

} // namespace varnolet
