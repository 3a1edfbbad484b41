#include "platform/camera/UsbLocation.h"

#include <gtest/gtest.h>

using namespace varnolet;

TEST(UsbLocation, OneNibblePerPortBelowTheBusByte)
{
    EXPECT_EQ(UsbLocation::fromDeviceName("1-2.3"), 0x01230000u);
    EXPECT_EQ(UsbLocation::fromDeviceName("1-2"), 0x01200000u);
    EXPECT_EQ(UsbLocation::fromDeviceName("3-10.1.4"), 0x03A14000u);
    EXPECT_EQ(UsbLocation::fromDeviceName("12-1.2.3.4.5.6"), 0x0C123456u);
    EXPECT_EQ(UsbLocation::hexText(0x01230000u), "0x01230000");
    EXPECT_EQ(UsbLocation::uniqueIdentifier(0x01230000u, 0x046d, 0x0825), "0x01230000046d0825");
    EXPECT_EQ(UsbLocation::uniqueIdentifier(0xfe100000u, 0, 1), "0xfe10000000000001");
}

TEST(UsbLocation, RejectsHubsInterfacesAndJunk)
{
    EXPECT_FALSE(UsbLocation::fromDeviceName("usb1"));
    EXPECT_FALSE(UsbLocation::fromDeviceName("1-2.3:1.0"));
    EXPECT_FALSE(UsbLocation::fromDeviceName("1-"));
    EXPECT_FALSE(UsbLocation::fromDeviceName("-2"));
    EXPECT_FALSE(UsbLocation::fromDeviceName("1-2..3"));
    EXPECT_FALSE(UsbLocation::fromDeviceName("0000:00:14.0"));
    EXPECT_FALSE(UsbLocation::fromDeviceName("300-1"));
}

TEST(UsbLocation, FromAVideoNodesSysfsPath)
{
    const std::string node =
        "/sys/devices/pci0000:00/0000:00:14.0/usb1/1-2/1-2.3/1-2.3:1.0/video4linux/video0";
    EXPECT_EQ(UsbLocation::fromSysfsPath(node), 0x01230000u);
    EXPECT_EQ(UsbLocation::usbDevicePath(node),
              "/sys/devices/pci0000:00/0000:00:14.0/usb1/1-2/1-2.3");
    EXPECT_EQ(UsbLocation::fromSysfsPath("/sys/devices/pci0000:00/0000:00:14.0/usb2/2-1"),
              0x02100000u);
    EXPECT_FALSE(UsbLocation::fromSysfsPath("/sys/devices/platform/vivid.0/video4linux/video3"));
    EXPECT_EQ(UsbLocation::usbDevicePath("/sys/devices/virtual/video4linux/video9"), "");
}
