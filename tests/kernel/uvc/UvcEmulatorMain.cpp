// varnolet-uvc-emulator [--descriptors FILE]
// varnolet-uvc-emulator --write default|yuyv-only|mjpeg-only|no-button|two-streaming FILE
// Plugs an emulated UVC camera into vhci_hcd and serves it until stdin ends or says "unplug".
// Commands on stdin, one a line: "press", "release", "click" (press then release), "unplug".
#include "EmulatedUvcCamera.h"
#include "UvcDescriptorBuilder.h"

#include <cstring>
#include <fstream>
#include <iostream>
#include <iterator>
#include <string>

using namespace varnolet::test;

int main(int argc, char **argv)
{
    EmulatedUvcCamera::Options options;
    for (int i = 1; i < argc; ++i) {
        const std::string argument = argv[i];
        if (argument == "--descriptors" && i + 1 < argc) {
            std::ifstream file(argv[++i], std::ios::binary);
            if (!file) {
                std::cerr << "cannot read " << argv[i] << "\n";
                return 2;
            }
            options.configuration.assign(std::istreambuf_iterator<char>(file), {});
        } else if (argument == "--write" && i + 2 < argc) {
            const std::string variant = argv[++i];
            UvcDescriptorBuilder::Options o;
            if (variant == "yuyv-only")
                o.mjpeg = false;
            else if (variant == "mjpeg-only")
                o.yuyv = false;
            else if (variant == "no-button")
                o.button = false;
            else if (variant == "two-streaming")
                o.streamingInterfaces = 2;
            else if (variant != "default") {
                std::cerr << "unknown descriptor variant " << variant << "\n";
                return 2;
            }
            const auto bytes = UvcDescriptorBuilder::configuration(o);
            std::ofstream file(argv[++i], std::ios::binary);
            file.write(reinterpret_cast<const char *>(bytes.data()),
                       static_cast<std::streamsize>(bytes.size()));
            return file ? 0 : 1;
        } else {
            std::cerr << "usage: " << argv[0] << " [--descriptors FILE] | --write VARIANT FILE\n";
            return 2;
        }
    }
    EmulatedUvcCamera camera(options);
    std::string error;
    if (camera.plug(error) != 0) {
        std::cerr << "cannot plug the camera: " << error << "\n";
        return 1;
    }
    std::cout << "plugged on vhci port " << camera.port() << std::endl;
    std::string line;
    while (std::getline(std::cin, line)) {
        if (line == "press" || line == "click")
            camera.button(true);
        if (line == "release" || line == "click")
            camera.button(false);
        if (line == "unplug")
            break;
    }
    camera.unplug();
    std::cout << "unplugged" << std::endl;
    return 0;
}
