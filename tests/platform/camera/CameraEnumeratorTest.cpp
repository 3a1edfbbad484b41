#include "tests/support/FakeClock.h"
#include "platform/camera/CameraEnumerator.h"
#include "platform/camera/VirtualCameraHub.h"

#include "tests/support/TestSupport.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>

using namespace varnolet;

TEST(CameraEnumerator, ByPathLinkIsPickedFromUdevsLinks)
{
    const std::string links = "/dev/v4l/by-id/usb-Vendor_Scope-video-index0 "
                              "/dev/v4l/by-path/pci-0000:00:14.0-usb-0:2.3:1.0-video-index0 "
                              "/dev/v4l/by-path/pci-0000:00:14.0-usbv2-0:2.3:1.0-video-index0";
    EXPECT_EQ(CameraEnumerator::byPathLink(links),
              "/dev/v4l/by-path/pci-0000:00:14.0-usb-0:2.3:1.0-video-index0");
    EXPECT_EQ(CameraEnumerator::byPathLink("/dev/v4l/by-id/usb-x-video-index0"), "");
    EXPECT_EQ(CameraEnumerator::byPathLink(""), "");
}

TEST(CameraEnumerator, StablePathFallsBackToTheFolderThenTheNode)
{
    namespace fs = std::filesystem;
    test::TempFolder folder;
    folder.makeFolder("dev/v4l/by-path");
    const std::string node0 = folder.write("dev/video0", "");
    const std::string node1 = folder.write("dev/video1", "");
    const std::string node2 = folder.write("dev/video2", "");
    const std::string byPath = folder.file("dev/v4l/by-path");
    fs::create_symlink("../../video0", byPath + "/pci-0000:00:14.0-usb-0:1:1.0-video-index0");
    fs::create_symlink("../../video1", byPath + "/pci-0000:00:14.0-usb-0:1:1.0-video-index1");
    fs::create_symlink("../../video2", byPath + "/pci-0000:00:14.0-usb-0:4:1.0");
    fs::create_symlink("../../video2", byPath + "/pci-0000:00:14.0-usb-0:4:1.0-video-index0");

    EXPECT_EQ(CameraEnumerator::findLinkTo(node0, byPath),
              byPath + "/pci-0000:00:14.0-usb-0:1:1.0-video-index0");
    EXPECT_EQ(CameraEnumerator::findLinkTo(node1, byPath),
              byPath + "/pci-0000:00:14.0-usb-0:1:1.0-video-index1");
    // Two aliases of one node: the one that names the node index.
    EXPECT_EQ(CameraEnumerator::findLinkTo(node2, byPath),
              byPath + "/pci-0000:00:14.0-usb-0:4:1.0-video-index0");

    EXPECT_EQ(CameraEnumerator::stableDevicePath(node0, "/dev/v4l/by-path/from-udev-video-index0",
                                                 byPath),
              "/dev/v4l/by-path/from-udev-video-index0");
    EXPECT_EQ(CameraEnumerator::stableDevicePath(node0, "", byPath),
              byPath + "/pci-0000:00:14.0-usb-0:1:1.0-video-index0");
    const std::string lonely = folder.write("dev/video7", "");
    EXPECT_EQ(CameraEnumerator::stableDevicePath(lonely, "", byPath), lonely);
    EXPECT_EQ(CameraEnumerator::stableDevicePath(lonely, "", folder.file("missing")), lonely);
}

TEST(CameraEnumerator, ALinkUdevGaveToAnotherNodeIsNotTaken)
{
    // Two instances of one platform driver both claim "platform-vivid.0-video-index0"; udev
    // points the link at the later node. The earlier one must keep its own node as name, or
    // both would be listed under one path and the first could never be opened.
    namespace fs = std::filesystem;
    test::TempFolder folder;
    folder.makeFolder("dev/v4l/by-path");
    const std::string node0 = folder.write("dev/video0", "");
    const std::string node2 = folder.write("dev/video2", "");
    const std::string byPath = folder.file("dev/v4l/by-path");
    fs::create_symlink("../../video2", byPath + "/platform-vivid.0-video-index0");
    const std::string links = "/dev/v4l/by-path/platform-vivid.0-video-index0";

    EXPECT_EQ(CameraEnumerator::stableDevicePath(node0, links, byPath), node0);
    EXPECT_EQ(CameraEnumerator::stableDevicePath(node2, links, byPath), links);
    // A removal has no folder to check against: udev's name stands.
    EXPECT_EQ(CameraEnumerator::stableDevicePath(node0, links, ""), links);
}

TEST(CameraEnumerator, VirtualCamerasAreListedOnlyWhilePlugged)
{
    VirtualCameraHub hub(std::make_shared<varnolet::FakeClock>(2024, 3, 5, 10, 0, 0));
    CameraEnumerator enumerator(hub);
    const auto before = enumerator.list();
    for (const auto &identity : before)
        EXPECT_FALSE(identity.isVirtual);

    const std::string path = hub.plug();
    auto cameras = enumerator.list();
    ASSERT_EQ(cameras.size(), before.size() + 1);
    EXPECT_EQ(cameras.back().devicePath, path);
    EXPECT_EQ(cameras.back().friendlyName, "Varnolet Virtual Camera");

    int error = 1;
    auto source = enumerator.open(path, error);
    ASSERT_TRUE(source);
    EXPECT_EQ(error, 0);
    EXPECT_EQ(source->identity().devicePath, path);

    hub.unplug(path);
    EXPECT_EQ(enumerator.list().size(), before.size());
    EXPECT_FALSE(enumerator.open(path, error));
    EXPECT_EQ(error, -ENODEV);
    EXPECT_FALSE(enumerator.open("/dev/v4l/by-path/no-such-camera", error));
    EXPECT_EQ(error, -ENODEV);
}

namespace {

// A fake that serves nothing of its own and leaves list() and open() to the base.
class HublessEnumerator final : public CameraEnumerator
{
};

} // namespace

TEST(CameraEnumerator, ListsAndOpensOnlyTheCamerasOfItsOwnHub)
{
    const auto clock = std::make_shared<varnolet::FakeClock>(2024, 3, 5, 10, 0, 0);
    VirtualCameraHub mine(clock);
    VirtualCameraHub other(clock);
    CameraEnumerator enumerator(mine);
    HublessEnumerator hubless;
    const std::string path = other.plug();
    ASSERT_EQ(mine.plug({"Mine", false, true}), path) << "both hubs number their cameras alike";

    const auto listed = enumerator.list();
    EXPECT_EQ(std::count_if(listed.begin(), listed.end(),
                            [](const CameraIdentity &identity) { return identity.isVirtual; }),
              1);
    int error = 0;
    auto source = enumerator.open(path, error);
    ASSERT_TRUE(source);
    EXPECT_EQ(source->identity().friendlyName, "Mine");

    for (const CameraIdentity &identity : hubless.list())
        EXPECT_FALSE(identity.isVirtual);
    EXPECT_FALSE(hubless.open(path, error));
    EXPECT_EQ(error, -ENODEV);
}
