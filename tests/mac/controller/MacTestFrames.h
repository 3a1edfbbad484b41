#pragma once

#include <cstdio>
#include <map>
#include <memory>
#include <string>

#include "mac/controller/PixelBuffer.h"
#include "platform/camera/CameraEnumerator.h"
#include "platform/camera/VirtualCameraHub.h"

namespace mactest {

// A bottom-up BGR frame with a gradient that changes with the seed.
inline std::shared_ptr<varnolet::BgrImage> makeFrame(int width, int height, int seed = 0)
{
    auto frame = std::make_shared<varnolet::BgrImage>();
    frame->width = width;
    frame->height = height;
    frame->pixels.resize(static_cast<size_t>(width) * height * 3);
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x) {
            uint8_t *p = frame->pixels.data() + (static_cast<size_t>(y) * width + x) * 3;
            p[0] = static_cast<uint8_t>(x + seed * 7);
            p[1] = static_cast<uint8_t>(y + seed * 3);
            p[2] = static_cast<uint8_t>((x ^ y) + seed);
        }
    return frame;
}

// What ffprobe says about a movie: duration in seconds, frames decoded and the codec tag.
struct ProbeResult
{
    double duration = -1.0;
    long frames = -1;
    std::string codecTag;
    std::string codecName;
};

inline ProbeResult probeMovie(const std::string &path)
{
    ProbeResult result;
    const std::string command =
        "timeout 60 ffprobe -v error -count_frames -select_streams v:0 -show_entries "
        "stream=nb_read_frames,codec_tag_string,codec_name:format=duration -of default=nw=1 '" +
        path + "' 2>/dev/null";
    FILE *pipe = ::popen(command.c_str(), "r");
    if (!pipe)
        return result;
    char line[256];
    while (std::fgets(line, sizeof line, pipe)) {
        std::string text(line);
        while (!text.empty() && (text.back() == '\n' || text.back() == '\r'))
            text.pop_back();
        const size_t eq = text.find('=');
        if (eq == std::string::npos)
            continue;
        const std::string key = text.substr(0, eq);
        const std::string value = text.substr(eq + 1);
        if (key == "duration" && value != "N/A")
            result.duration = std::stod(value);
        else if (key == "nb_read_frames" && value != "N/A")
            result.frames = std::stol(value);
        else if (key == "codec_tag_string")
            result.codecTag = value;
        else if (key == "codec_name")
            result.codecName = value;
    }
    ::pclose(pipe);
    return result;
}

// Lists the hub's virtual cameras only, so that a camera of the test machine never shows up.
// A test may give a camera a USB identity (location, vendor, product) in place of its own.
class VirtualOnlyEnumerator : public varnolet::CameraEnumerator
{
public:
    explicit VirtualOnlyEnumerator(varnolet::VirtualCameraHub &hub)
        : CameraEnumerator(hub)
        , m_hub(hub)
    {
    }

    std::vector<varnolet::CameraIdentity> list() override
    {
        std::vector<varnolet::CameraIdentity> cameras = m_hub.list();
        for (varnolet::CameraIdentity &camera : cameras) {
            const auto usb = usbIdentities.find(camera.devicePath);
            if (usb != usbIdentities.end()) {
                camera.isVirtual = false;
                camera.usbLocation = usb->second;
                camera.usbVendorId = 0x046d;
                camera.usbProductId = 0x0825;
            }
        }
        return cameras;
    }

    std::map<std::string, uint32_t> usbIdentities; // device path -> USB location

private:
    varnolet::VirtualCameraHub &m_hub;
};

} // namespace mactest
