#include "platform/camera/SnapshotButtonReader.h"

#include "tests/support/TestSupport.h"

#include <gtest/gtest.h>

#include <atomic>
#include <filesystem>
#include <mutex>
#include <vector>

#include <fcntl.h>
#include <linux/input.h>
#include <sys/stat.h>
#include <unistd.h>

using namespace varnolet;
namespace fs = std::filesystem;

TEST(SnapshotButtonReader, KeyBitmapTellsKeyCamera)
{
    // KEY_CAMERA is 212: bit 20 of the fourth 64-bit word from the right.
    EXPECT_TRUE(SnapshotButtonReader::keyBitmapHasCamera("100000 0 0 0"));
    EXPECT_TRUE(SnapshotButtonReader::keyBitmapHasCamera("1 100000 0 0 0\n"));
    EXPECT_FALSE(SnapshotButtonReader::keyBitmapHasCamera("0 0 0"));
    EXPECT_FALSE(SnapshotButtonReader::keyBitmapHasCamera("200000 0 0 0"));
    EXPECT_FALSE(SnapshotButtonReader::keyBitmapHasCamera("0"));
    EXPECT_FALSE(SnapshotButtonReader::keyBitmapHasCamera("zz 0 0 0"));
    EXPECT_FALSE(SnapshotButtonReader::keyBitmapHasCamera(""));
}

TEST(SnapshotButtonReader, FindsTheEventDeviceBelowTheSameUsbDevice)
{
    test::TempFolder sys;
    const std::string usb = "devices/pci0000:00/0000:00:14.0/usb1/1-2";
    // The camera's button input, a keyboard elsewhere, and an input of the camera
    // without KEY_CAMERA.
    sys.write(usb + "/1-2:1.0/input/input7/capabilities/key", "100000 0 0 0\n");
    sys.makeFolder(usb + "/1-2:1.0/input/input7/event5");
    sys.write("devices/platform/i8042/serio0/input/input1/capabilities/key", "100000 0 0 0\n");
    sys.makeFolder("devices/platform/i8042/serio0/input/input1/event0");
    sys.write(usb + "/1-2:1.1/input/input8/capabilities/key", "0\n");
    sys.makeFolder(usb + "/1-2:1.1/input/input8/event6");
    sys.makeFolder("class/input");
    auto link = [&](const std::string &event, const std::string &input) {
        fs::create_symlink(sys.file(input + "/" + event), sys.file("class/input/" + event));
        fs::create_symlink("..", sys.file(input + "/" + event + "/device"));
    };
    link("event5", usb + "/1-2:1.0/input/input7");
    link("event0", "devices/platform/i8042/serio0/input/input1");
    link("event6", usb + "/1-2:1.1/input/input8");

    EXPECT_EQ(SnapshotButtonReader::findEventDevice(sys.file(usb), sys.path(), "/dev"),
              "/dev/input/event5");
    EXPECT_EQ(SnapshotButtonReader::findEventDevice(
                  sys.file("devices/pci0000:00/0000:00:14.0/usb1/1-3"), sys.path(), "/dev"),
              "");
    // A button below the sibling "1-21" (sorted first) is not the button of "1-2".
    const std::string sibling = "devices/pci0000:00/0000:00:14.0/usb1/1-21/1-21:1.0/input/input9";
    sys.write(sibling + "/capabilities/key", "100000 0 0 0\n");
    sys.makeFolder(sibling + "/event4");
    link("event4", sibling);
    EXPECT_EQ(SnapshotButtonReader::findEventDevice(sys.file(usb), sys.path(), "/dev"),
              "/dev/input/event5");
    EXPECT_EQ(SnapshotButtonReader::findEventDevice(
                  sys.file("devices/pci0000:00/0000:00:14.0/usb1/1-21"), sys.path(), "/dev"),
              "/dev/input/event4");
    EXPECT_EQ(SnapshotButtonReader::findEventDevice("", sys.path()), "");
}

TEST(SnapshotButtonReader, ReportsPressesAndReleasesAndStops)
{
    test::TempFolder folder;
    const std::string fifo = folder.file("event5");
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
    // Held open for writing so the reader never sees the writer go away.
    const int writer = ::open(fifo.c_str(), O_RDWR | O_NONBLOCK);
    ASSERT_GE(writer, 0);

    std::mutex lock;
    std::vector<bool> seen;
    SnapshotButtonReader reader(fifo);
    ASSERT_EQ(reader.start([&](bool pressed) {
        std::lock_guard guard(lock);
        seen.push_back(pressed);
    }),
              0);
    EXPECT_EQ(reader.start([](bool) {}), -EBUSY);

    auto key = [](unsigned short type, unsigned short code, int value) {
        input_event event{};
        event.type = type;
        event.code = code;
        event.value = value;
        return event;
    };
    const input_event events[] = {key(EV_KEY, KEY_CAMERA, 1), key(EV_SYN, SYN_REPORT, 0),
                                  key(EV_KEY, KEY_CAMERA, 2), key(EV_KEY, KEY_A, 1),
                                  key(EV_KEY, KEY_CAMERA, 0), key(EV_SYN, SYN_REPORT, 0)};
    ASSERT_EQ(::write(writer, events, sizeof events), static_cast<ssize_t>(sizeof events));

    EXPECT_TRUE(test::processEventsUntil(
        [&] {
            std::lock_guard guard(lock);
            return seen.size() >= 2;
        },
        std::chrono::milliseconds(3000)));
    reader.stop();
    EXPECT_FALSE(reader.isRunning());
    {
        std::lock_guard guard(lock);
        EXPECT_EQ(seen, (std::vector<bool>{true, false}));
    }
    ::close(writer);
    EXPECT_LT(SnapshotButtonReader(folder.file("missing")).start([](bool) {}), 0);
}
