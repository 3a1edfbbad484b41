// Every descriptor file under tests/kernel/descriptors/ as a camera: it enumerates, binds to
// uvcvideo, the kernel holds exactly its bytes, and the Mac program's descriptor parser
// finds the same uncompressed sizes as the driver's own format list.
#include "UvcKernelFixture.h"

#include "mac/uvc/UVCResolutionList.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>

#include <linux/videodev2.h>

using namespace varnolet;
using namespace varnolet::test;
using namespace std::chrono_literals;

namespace {

std::vector<std::string> descriptorFiles()
{
    std::vector<std::string> files;
    for (const auto &entry : std::filesystem::directory_iterator(VARNOLET_KERNEL_DESCRIPTORS))
        if (entry.path().extension() == ".bin")
            files.push_back(entry.path().string());
    std::sort(files.begin(), files.end());
    return files;
}

class UvcDescriptorFilesTest : public UvcKernelFixture,
                               public ::testing::WithParamInterface<std::string>
{
};

std::string driverOf(const std::string &interfaceFolder)
{
    std::error_code error;
    const auto target = std::filesystem::read_symlink(interfaceFolder + "/driver", error);
    return error ? std::string() : target.filename().string();
}

} // namespace

TEST_P(UvcDescriptorFilesTest, BindsToUvcvideoAndTheSizesAgreeWithTheMacParser)
{
    const std::vector<uint8_t> bytes = readBinaryFile(GetParam());
    ASSERT_FALSE(bytes.empty());
    std::string parseError;
    const auto config = UvcConfiguration::parse(bytes, parseError);
    ASSERT_TRUE(config) << parseError;

    const auto cameras = plug(bytes, config->streaming.size());
    ASSERT_EQ(cameras.size(), config->streaming.size());
    const std::string usb = cameras.front().usbSysfsPath;
    const std::string usbName = std::filesystem::path(usb).filename().string();
    EXPECT_EQ(driverOf(usb + "/" + usbName + ":1." + std::to_string(config->controlInterface)),
              "uvcvideo");

    // The kernel's copy of the descriptors: device descriptor, then the configuration.
    const std::vector<uint8_t> served = readBinaryFile(usb + "/descriptors");
    ASSERT_GT(served.size(), 18u);
    EXPECT_EQ(std::vector<uint8_t>(served.begin() + 18, served.end()), bytes);

    // The driver's uncompressed sizes over all its capture nodes.
    std::vector<std::pair<int, int>> driverSizes;
    bool anyButton = false;
    for (const CameraIdentity &identity : cameras) {
        CameraEnumerator enumerator;
        int error = 0;
        auto source = enumerator.open(identity.devicePath, error);
        ASSERT_TRUE(source) << error;
        EXPECT_FALSE(source->formats().empty());
        for (const CameraFormat &format : source->formats()) {
            if (format.pixelFormat == V4L2_PIX_FMT_YUYV)
                driverSizes.emplace_back(format.width, format.height);
        }
        anyButton = anyButton || source->hasSnapshotButton();
    }

    UVCResolutionList list;
    const bool trigger = list.getMaxResolution(served.data() + 18, served.size() - 18);
    std::vector<std::pair<int, int>> macSizes;
    for (const CaptureResolution &resolution : list.getPixelsArray())
        macSizes.emplace_back(resolution.nResolutionWidth, resolution.nResolutionHeight);
    std::sort(driverSizes.begin(), driverSizes.end());
    std::sort(macSizes.begin(), macSizes.end());
    EXPECT_EQ(macSizes, driverSizes);

    const bool declared = std::any_of(config->streaming.begin(), config->streaming.end(),
                                      [](const auto &s) { return s.triggerSupport; });
    EXPECT_EQ(trigger, declared);
    // uvcvideo makes the button's input device from the status endpoint.
    EXPECT_EQ(anyButton, config->statusEndpoint != 0);
}

INSTANTIATE_TEST_SUITE_P(Files, UvcDescriptorFilesTest, ::testing::ValuesIn(descriptorFiles()),
                         [](const ::testing::TestParamInfo<std::string> &info) {
                             std::string name = std::filesystem::path(info.param).stem().string();
                             std::replace(name.begin(), name.end(), '-', '_');
                             return name;
                         });
