#include <gtest/gtest.h>

#include "tests/support/FakeClock.h"
#include "mac/controller/CaptureDevice.h"
#include "platform/camera/CameraTypes.h"
#include "platform/camera/VirtualCameraHub.h"
#include "tests/mac/controller/MacTestFrames.h"

using varnolet::CameraIdentity;
using varnolet::VirtualCameraHub;

TEST(CaptureDeviceTest, UsbCameraIdentifierCarriesTheLocationAndReadsBack)
{
    CameraIdentity identity;
    identity.devicePath = "/dev/v4l/by-path/pci-0000:00:14.0-usb-0:2.3:1.0-video-index0";
    identity.friendlyName = "USB Microscope";
    identity.usbLocation = 0x01230000;
    identity.usbVendorId = 0x046d;
    identity.usbProductId = 0x0825;
    const CaptureDevice device(identity);
    EXPECT_EQ(device.uniqueID(), "0x01230000046d0825");
    EXPECT_EQ(device.localizedDisplayName(), "USB Microscope");
    EXPECT_EQ(device.devicePath(), identity.devicePath);
    EXPECT_EQ(CaptureDevice::locationOfUniqueID(device.uniqueID()), 0x01230000u);
}

TEST(CaptureDeviceTest, CameraWithoutUsbLocationGetsAnIdentifierThatDoesNotParse)
{
    CameraIdentity identity;
    identity.devicePath = "/dev/video3";
    const CaptureDevice device(identity);
    EXPECT_EQ(device.uniqueID().rfind("0x", 0), std::string::npos);
    EXPECT_EQ(device.localizedDisplayName(), "/dev/video3"); // no card name: the path
    EXPECT_FALSE(CaptureDevice::locationOfUniqueID(device.uniqueID()));
}

TEST(CaptureDeviceTest, LocationReadsAtMostEightHexDigitsAfterThePrefix)
{
    EXPECT_EQ(CaptureDevice::locationOfUniqueID("0x1a"), 0x1au);
    EXPECT_EQ(CaptureDevice::locationOfUniqueID("0xFA120000"), 0xfa120000u);
    EXPECT_EQ(CaptureDevice::locationOfUniqueID("0x0123000a046d"), 0x0123000au);
    EXPECT_EQ(CaptureDevice::locationOfUniqueID("0x12zz"), 0x12u);
    EXPECT_FALSE(CaptureDevice::locationOfUniqueID("0x"));
    EXPECT_FALSE(CaptureDevice::locationOfUniqueID("0xg1"));
    EXPECT_FALSE(CaptureDevice::locationOfUniqueID("x0123"));
    EXPECT_FALSE(CaptureDevice::locationOfUniqueID("virtual:0"));
    EXPECT_FALSE(CaptureDevice::locationOfUniqueID(""));
}

TEST(CaptureDeviceTest, ListsEveryCameraOfTheEnumeratorInOrder)
{
    VirtualCameraHub hub(std::make_shared<varnolet::FakeClock>(2024, 3, 5, 10, 0, 0));
    const std::string first = hub.plug({"First", false, true});
    const std::string second = hub.plug({"Second", false, true});
    mactest::VirtualOnlyEnumerator enumerator(hub);
    enumerator.usbIdentities[second] = 0x02100000;
    const std::vector<CaptureDevice> devices =
        CaptureDevice::inputDevicesWithMediaTypeVideo(enumerator);
    ASSERT_EQ(devices.size(), 2u);
    EXPECT_EQ(devices[0].localizedDisplayName(), "First");
    // A virtual camera carries its own location, for the camera control to find.
    EXPECT_EQ(devices[0].uniqueID(), "0xfe10000000000001");
    EXPECT_EQ(devices[0].devicePath(), first);
    EXPECT_EQ(devices[1].localizedDisplayName(), "Second");
    EXPECT_EQ(devices[1].uniqueID(), "0x02100000046d0825");
}
