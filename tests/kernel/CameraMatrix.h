#pragma once

#include "tests/kernel/uvc/EmulatedUvcCamera.h"
#include "tests/kernel/uvc/UvcConfiguration.h"

#include "platform/camera/CameraTypes.h"

#include <chrono>
#include <cstdint>
#include <string>
#include <utility>
#include <vector>

namespace varnolet::test {

// One camera of the matrix: a configuration descriptor file and what the emulated camera
// serves it as (ids from the file name when it has them, a product string naming it).
struct MatrixCamera
{
    std::string path;
    std::string name; // the file name without ".bin"
    std::vector<uint8_t> bytes;
    std::string parseError; // empty when the bytes parse
    UvcConfiguration config;
    EmulatedUvcCamera::Options options;
    size_t nodes = 0; // streaming interfaces with a video endpoint: one capture node each
};

// The camera matrix: every .bin of the folder VARNOLET_CAMERA_DESCRIPTORS names (default:
// tests/kernel/descriptors), read when the tests are listed, so that any folder runs
// without a rebuild.
class CameraMatrix
{
public:
    static std::string folder();
    static std::vector<std::string> files();
    static MatrixCamera load(const std::string &path);
    // The camera's name as a test name (letters, digits, '_').
    static std::string testName(const std::string &path);

    // What the driver lists for a capture node, straight from V4L2: every pixel format with
    // each discrete size (a stepwise range by its smallest and largest size), in its order.
    static std::vector<CameraFormat> driverFormats(const std::string &node);
    // The input devices (the snapshot button) the driver made for the USB device.
    static int inputDevicesOf(const std::string &usbSysfsPath);
    // The sizes to preview: the first and the last of each format the camera pictures
    // (YUYV, MJPEG), in the driver's order, each once.
    static std::vector<std::pair<int, int>> previewSizes(const std::vector<CameraFormat> &formats);
    // "640x480".
    static std::string sizeText(int width, int height);
    static double secondsSince(std::chrono::steady_clock::time_point start);
};

} // namespace varnolet::test
