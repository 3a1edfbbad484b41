// varnolet-uvc-emulator [--descriptors FILE] [--id VVVV:PPPP] [--manufacturer TEXT]
//                       [--product TEXT] [--serial TEXT]
// varnolet-uvc-emulator --write VARIANT FILE
// Plugs an emulated UVC camera into vhci_hcd and serves it until stdin ends or says "unplug".
// A descriptor file named VVVV-PPPP[-anything].bin gives the ids when --id does not.
// Commands on stdin, one a line: "press", "release", "click" (press then release), "unplug".
#include "EmulatedUvcCamera.h"
#include "UvcDescriptorBuilder.h"
#include "UvcDeviceIds.h"

#include <cstring>
#include <fstream>
#include <iostream>
#include <iterator>
#include <optional>
#include <string>

using namespace varnolet::test;

namespace {

int usage(const char *program)
{
    std::cerr << "usage: " << program
              << " [--descriptors FILE] [--id VVVV:PPPP] [--manufacturer TEXT] [--product TEXT]"
                 " [--serial TEXT]\n       "
              << program << " --write VARIANT FILE\nvariants:";
    for (const std::string &name : UvcDescriptorBuilder::variants())
        std::cerr << " " << name;
    std::cerr << "\n";
    return 2;
}

} // namespace

int main(int argc, char **argv)
{
    EmulatedUvcCamera::Options options;
    std::optional<UvcDeviceIds> ids;
    for (int i = 1; i < argc; ++i) {
        const std::string argument = argv[i];
        const bool hasValue = i + 1 < argc;
        if (argument == "--descriptors" && hasValue) {
            const std::string path = argv[++i];
            std::ifstream file(path, std::ios::binary);
            if (!file) {
                std::cerr << "cannot read " << path << "\n";
                return 2;
            }
            options.configuration.assign(std::istreambuf_iterator<char>(file), {});
            if (!ids)
                ids = UvcDeviceIds::fromFileName(path);
        } else if (argument == "--id" && hasValue) {
            ids = UvcDeviceIds::parse(argv[++i]);
            if (!ids) {
                std::cerr << "--id wants VVVV:PPPP (hex), not " << argv[i] << "\n";
                return 2;
            }
        } else if (argument == "--manufacturer" && hasValue) {
            options.manufacturer = argv[++i];
        } else if (argument == "--product" && hasValue) {
            options.product = argv[++i];
        } else if (argument == "--serial" && hasValue) {
            options.serial = argv[++i];
        } else if (argument == "--write" && i + 2 < argc) {
            const std::string variant = argv[++i];
            UvcDescriptorBuilder::Options o;
            if (!UvcDescriptorBuilder::variant(variant, o)) {
                std::cerr << "unknown descriptor variant " << variant << "\n";
                return usage(argv[0]);
            }
            const auto bytes = UvcDescriptorBuilder::configuration(o);
            std::ofstream file(argv[++i], std::ios::binary);
            file.write(reinterpret_cast<const char *>(bytes.data()),
                       static_cast<std::streamsize>(bytes.size()));
            return file ? 0 : 1;
        } else {
            return usage(argv[0]);
        }
    }
    if (ids) {
        options.vendorId = ids->vendorId;
        options.productId = ids->productId;
    }
    EmulatedUvcCamera camera(options);
    std::string error;
    if (camera.plug(error) != 0) {
        std::cerr << "cannot plug the camera: " << error << "\n";
        return 1;
    }
    std::cout << "plugged on vhci port " << camera.port() << " as "
              << UvcDeviceIds{options.vendorId, options.productId}.text() << std::endl;
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
