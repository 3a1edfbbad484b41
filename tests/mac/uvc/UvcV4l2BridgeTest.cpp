#include <gtest/gtest.h>

#include <cerrno>

#include "mac/uvc/LibusbBackend.h"
#include "mac/uvc/UvcV4l2Bridge.h"
#include "tests/mac/uvc/FakeUsb.h"

namespace {

constexpr uint8_t kInterface = 0;
constexpr uint8_t kTerminal = 1;
constexpr uint8_t kProcessing = 3;

struct Bridge
{
    Bridge(uint8_t terminal = kTerminal, uint8_t processing = kProcessing)
        : node(std::make_shared<FakeV4l2Node>())
        , bridge(node->node(node), kInterface, terminal, processing)
    {
    }
    // One request with wLength bytes of data; answers the code and leaves the bytes in data.
    int32_t request(uint8_t type, uint8_t code, uint8_t unit, uint8_t selector, uint16_t length)
    {
        UsbControlRequest r;
        r.bmRequestType = type;
        r.bRequest = code;
        r.wValue = static_cast<uint16_t>(selector << 8);
        r.wIndex = static_cast<uint16_t>(unit << 8 | kInterface);
        r.wLength = length;
        r.pData = data;
        const int32_t result = bridge.controlRequest(r);
        done = r.wLenDone;
        return result;
    }
    int32_t get(uint8_t code, uint8_t unit, uint8_t selector, uint16_t length)
    {
        std::fill(std::begin(data), std::end(data), 0xAA);
        return request(0xA1, code, unit, selector, length);
    }
    int32_t set(uint8_t unit, uint8_t selector, std::vector<uint8_t> bytes)
    {
        std::copy(bytes.begin(), bytes.end(), data);
        return request(0x21, 0x01, unit, selector, static_cast<uint16_t>(bytes.size()));
    }

    std::shared_ptr<FakeV4l2Node> node;
    UvcV4l2Bridge bridge;
    uint8_t data[8] = {};
    uint32_t done = 0;
};

uint8_t unitOf(const UvcV4l2Bridge::Mapping &mapping)
{
    return mapping.unit == UvcV4l2Bridge::Unit::CameraTerminal ? kTerminal : kProcessing;
}

} // namespace

TEST(UvcV4l2BridgeTest, EveryMappedControlReadsAndWritesItsV4l2Control)
{
    for (const UvcV4l2Bridge::Mapping &mapping : UvcV4l2Bridge::table()) {
        if (mapping.isAutoExposure)
            continue;
        SCOPED_TRACE(mapping.selector);
        Bridge b;
        const int32_t low = mapping.isSigned ? -100 : 0;
        b.node->add(mapping.v4l2Id, {low, 3000, 5, 7, 1234});
        const uint8_t unit = unitOf(mapping);

        ASSERT_EQ(b.get(0x81, unit, mapping.selector, mapping.size), 0);
        EXPECT_EQ(b.done, mapping.size);
        EXPECT_EQ(b.data[0], 1234 & 0xFF);
        if (mapping.size > 1) {
            EXPECT_EQ(b.data[1], 1234 >> 8);
        }
        EXPECT_EQ(b.data[mapping.size], 0xAA); // nothing past wLength
        ASSERT_EQ(b.get(0x82, unit, mapping.selector, mapping.size), 0);
        EXPECT_EQ(b.data[0], static_cast<uint8_t>(low));
        ASSERT_EQ(b.get(0x83, unit, mapping.selector, mapping.size), 0);
        EXPECT_EQ(b.data[0], 3000 & 0xFF);
        ASSERT_EQ(b.get(0x84, unit, mapping.selector, mapping.size), 0);
        EXPECT_EQ(b.data[0], 5);
        ASSERT_EQ(b.get(0x87, unit, mapping.selector, mapping.size), 0);
        EXPECT_EQ(b.data[0], 7);

        std::vector<uint8_t> bytes(mapping.size, 0);
        bytes[0] = 0x2C;
        if (mapping.size > 1)
            bytes[1] = 0x01; // 300
        ASSERT_EQ(b.set(unit, mapping.selector, bytes), 0);
        EXPECT_EQ(b.node->control(mapping.v4l2Id).value, mapping.size > 1 ? 300 : 0x2C);
    }
}

TEST(UvcV4l2BridgeTest, SignedControlsAreSignExtended)
{
    Bridge b;
    b.node->add(V4L2_CID_BRIGHTNESS, {-64, 64, 1, 0, -64});
    ASSERT_EQ(b.get(0x81, kProcessing, 0x02, 2), 0);
    EXPECT_EQ(b.data[0], 0xC0);
    EXPECT_EQ(b.data[1], 0xFF);
    ASSERT_EQ(b.set(kProcessing, 0x02, {0xE0, 0xFF}), 0);
    EXPECT_EQ(b.node->control(V4L2_CID_BRIGHTNESS).value, -32);

    // Contrast is unsigned: 0xFFE0 is 65504, which the driver refuses.
    b.node->add(V4L2_CID_CONTRAST, {0, 65535, 1, 0, 0});
    ASSERT_EQ(b.set(kProcessing, 0x03, {0xE0, 0xFF}), 0);
    EXPECT_EQ(b.node->control(V4L2_CID_CONTRAST).value, 65504);
}

TEST(UvcV4l2BridgeTest, AutoExposureModesTranslateBothWays)
{
    const std::pair<uint32_t, int32_t> pairs[] = {{1, V4L2_EXPOSURE_MANUAL},
                                                  {2, V4L2_EXPOSURE_AUTO},
                                                  {4, V4L2_EXPOSURE_SHUTTER_PRIORITY},
                                                  {8, V4L2_EXPOSURE_APERTURE_PRIORITY}};
    for (const auto &[uvc, menu] : pairs) {
        Bridge b;
        b.node->add(V4L2_CID_EXPOSURE_AUTO, {0, 3, 1, V4L2_EXPOSURE_AUTO, 0});
        ASSERT_EQ(b.set(kTerminal, 0x02, {static_cast<uint8_t>(uvc)}), 0);
        EXPECT_EQ(b.node->control(V4L2_CID_EXPOSURE_AUTO).value, menu);
        ASSERT_EQ(b.get(0x81, kTerminal, 0x02, 1), 0);
        EXPECT_EQ(b.data[0], uvc);
    }
    Bridge b;
    b.node->add(V4L2_CID_EXPOSURE_AUTO, {0, 3, 1, V4L2_EXPOSURE_AUTO, 0});
    EXPECT_EQ(b.set(kTerminal, 0x02, {3}), UsbError::kPipe); // two modes at once
    EXPECT_EQ(b.set(kTerminal, 0x02, {0}), UsbError::kPipe);
    EXPECT_EQ(b.node->control(V4L2_CID_EXPOSURE_AUTO).value, 0);
    EXPECT_EQ(b.get(0x82, kTerminal, 0x02, 1), UsbError::kPipe); // the mode has no range
    ASSERT_EQ(b.get(0x87, kTerminal, 0x02, 1), 0);
    EXPECT_EQ(b.data[0], 2);
}

TEST(UvcV4l2BridgeTest, RequestsWithoutACounterpartStall)
{
    Bridge b;
    b.node->add(V4L2_CID_BRIGHTNESS, {-64, 64, 1, 0, 5});
    EXPECT_EQ(b.get(0x81, kProcessing, 0x13, 2), UsbError::kPipe); // unknown selector
    EXPECT_EQ(b.get(0x81, kTerminal, 0x0B, 2), UsbError::kPipe);   // zoom is not carried
    EXPECT_EQ(b.get(0x81, 2, 0x02, 2), UsbError::kPipe);           // no such unit
    EXPECT_EQ(b.get(0x85, kProcessing, 0x02, 2), UsbError::kPipe); // GET_LEN
    EXPECT_EQ(b.get(0x81, kProcessing, 0x02, 0), UsbError::kPipe); // no data stage
    EXPECT_EQ(b.get(0x81, kProcessing, 0x02, 5), UsbError::kPipe); // longer than any control
    EXPECT_EQ(b.request(0x21, 0x81, kProcessing, 0x02, 2), UsbError::kPipe); // wrong direction
    EXPECT_EQ(b.request(0xA1, 0x01, kProcessing, 0x02, 2), UsbError::kPipe);
    EXPECT_EQ(b.done, 0u);

    UsbControlRequest otherInterface;
    otherInterface.bmRequestType = 0xA1;
    otherInterface.bRequest = 0x81;
    otherInterface.wValue = 0x0200;
    otherInterface.wIndex = 0x0301;
    otherInterface.wLength = 2;
    otherInterface.pData = b.data;
    EXPECT_EQ(b.bridge.controlRequest(otherInterface), UsbError::kPipe);
    UsbControlRequest noBuffer = otherInterface;
    noBuffer.wIndex = 0x0300;
    noBuffer.pData = nullptr;
    EXPECT_EQ(b.bridge.controlRequest(noBuffer), UsbError::kInvalidParameter);
}

TEST(UvcV4l2BridgeTest, DriverFailuresPassThrough)
{
    Bridge b;
    b.node->add(V4L2_CID_SATURATION, {0, 100, 1, 50, 50, 0, -EBUSY, 0});
    EXPECT_EQ(b.get(0x81, kProcessing, 0x07, 2), -EBUSY);
    EXPECT_EQ(b.set(kProcessing, 0x07, {200, 0}), -ERANGE);
    EXPECT_EQ(b.get(0x82, kProcessing, 0x08, 2), -EINVAL); // the driver lacks sharpness
    b.node->add(V4L2_CID_HUE, {0, 10, 1, 0, 0, V4L2_CTRL_FLAG_DISABLED});
    EXPECT_EQ(b.get(0x82, kProcessing, 0x06, 2), UsbError::kPipe);
    b.node->setUnplugged(true);
    EXPECT_EQ(b.set(kProcessing, 0x07, {20, 0}), -ENODEV);
}

TEST(UvcV4l2BridgeTest, UnitsFollowTheDescriptorsEntityIds)
{
    Bridge b(2, 5);
    b.node->add(V4L2_CID_BRIGHTNESS, {-64, 64, 1, 0, 9});
    ASSERT_EQ(b.get(0x81, 5, 0x02, 2), 0);
    EXPECT_EQ(b.data[0], 9);
    EXPECT_EQ(b.get(0x81, 3, 0x02, 2), UsbError::kPipe);

    Bridge unknown(0, 0); // no entity IDs known: the usual 1 and 3
    unknown.node->add(V4L2_CID_BRIGHTNESS, {-64, 64, 1, 0, 9});
    EXPECT_EQ(unknown.get(0x81, 3, 0x02, 2), 0);
}

TEST(LibusbBackendTest, ConfigurationFromTheSysfsDescriptorsFile)
{
    std::vector<uint8_t> file = {18,   0x01, 0x00, 0x02, 0xEF, 0x02, 0x01, 0x40, 0x6D,
                                 0x04, 0x25, 0x08, 0x00, 0x01, 0,    0,    0,    1};
    const std::vector<uint8_t> config = {9, 0x02, 14, 0, 1, 1, 0, 0x80, 250, 5, 0x24, 0x01, 0, 0};
    file.insert(file.end(), config.begin(), config.end());
    file.insert(file.end(), {9, 0x02, 9, 0, 0, 2, 0, 0x80, 50}); // a second configuration
    std::vector<uint8_t> out;
    ASSERT_EQ(LibusbBackend::configurationFromSysfs(file, out), 0);
    EXPECT_EQ(out, config);

    // Short by one byte, or cut before the configuration header.
    std::vector<uint8_t> shortFile(file.begin(), file.begin() + 18 + 13);
    EXPECT_EQ(LibusbBackend::configurationFromSysfs(shortFile, out), -EIO);
    EXPECT_TRUE(out.empty());
    EXPECT_EQ(LibusbBackend::configurationFromSysfs({file.begin(), file.begin() + 20}, out), -EIO);
    EXPECT_EQ(LibusbBackend::configurationFromSysfs({}, out), -EIO);

    std::vector<uint8_t> corrupt = file;
    corrupt[19] = 0x04; // not a configuration descriptor
    EXPECT_EQ(LibusbBackend::configurationFromSysfs(corrupt, out), -EIO);
    corrupt = file;
    corrupt[20] = 3; // wTotalLength below the header
    EXPECT_EQ(LibusbBackend::configurationFromSysfs(corrupt, out), -EIO);
    corrupt = file;
    corrupt[21] = 0xFF; // wTotalLength far past the end
    EXPECT_EQ(LibusbBackend::configurationFromSysfs(corrupt, out), -EIO);
    corrupt = file;
    corrupt[0] = 9; // not a device descriptor first
    EXPECT_EQ(LibusbBackend::configurationFromSysfs(corrupt, out), -EIO);
}

TEST(LibusbBackendTest, SysfsNamesOfPortPaths)
{
    EXPECT_EQ(LibusbBackend::sysfsName(1, {2, 3}), "1-2.3");
    EXPECT_EQ(LibusbBackend::sysfsName(12, {4}), "12-4");
    EXPECT_EQ(LibusbBackend::sysfsName(1, {}), "");
}

TEST(LibusbBackendTest, OpeningPastTheListFails)
{
    LibusbBackend backend;
    const size_t count = backend.enumerateDevices();
    std::unique_ptr<UsbDevice> device;
    EXPECT_NE(backend.openDevice(count, device), 0);
    EXPECT_EQ(device, nullptr);
}
