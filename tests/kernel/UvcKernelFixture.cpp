#include "UvcKernelFixture.h"

#include "tests/kernel/uvc/UvcTestPattern.h"

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <thread>

namespace varnolet::test {

using namespace std::chrono_literals;

void UvcKernelFixture::SetUp()
{
    VARNOLET_REQUIRE_KERNEL_GUEST();
    ASSERT_EQ(KernelGuest::load("vhci-hcd"), 0);
    ASSERT_EQ(KernelGuest::load("uvcvideo"), 0);
    ASSERT_EQ(KernelGuest::load("evdev"), 0);
}

void UvcKernelFixture::TearDown()
{
    if (camera) {
        camera->unplug();
        camera.reset();
        waitForListed(0, 20s);
    }
}

std::vector<CameraIdentity> UvcKernelFixture::listed() const
{
    std::vector<CameraIdentity> cameras;
    for (CameraIdentity &identity : CameraEnumerator::listV4l2()) {
        if (identity.usbVendorId == vendorId && identity.usbProductId == productId)
            cameras.push_back(std::move(identity));
    }
    return cameras;
}

std::vector<CameraIdentity> UvcKernelFixture::waitForListed(size_t count,
                                                            std::chrono::seconds timeout) const
{
    const auto end = std::chrono::steady_clock::now() + timeout;
    while (true) {
        KernelGuest::settle();
        auto cameras = listed();
        // Wait for udev's by-path links too: they name the cameras.
        bool named = true;
        for (const auto &c : cameras)
            named = named && c.devicePath != c.nodePath;
        if ((cameras.size() == count && named) || std::chrono::steady_clock::now() > end)
            return cameras;
        std::this_thread::sleep_for(100ms);
    }
}

std::vector<CameraIdentity> UvcKernelFixture::plug(std::vector<uint8_t> descriptors, size_t nodes)
{
    EmulatedUvcCamera::Options options;
    options.configuration = std::move(descriptors);
    return plug(std::move(options), nodes);
}

std::vector<CameraIdentity> UvcKernelFixture::plug(EmulatedUvcCamera::Options options, size_t nodes)
{
    vendorId = options.vendorId;
    productId = options.productId;
    camera = std::make_unique<EmulatedUvcCamera>(options);
    std::string error;
    if (camera->plug(error) != 0) {
        ADD_FAILURE() << "cannot plug the emulated camera: " << error;
        return {};
    }
    auto cameras = waitForListed(nodes, 30s);
    EXPECT_EQ(cameras.size(), nodes) << "the emulated camera's capture nodes did not show up";
    return cameras;
}

namespace {

// The interface folders ("1-1:1.0", ...) of a USB device.
std::vector<std::string> interfacesOf(const std::string &usbSysfsPath)
{
    std::vector<std::string> names;
    const std::string device = std::filesystem::path(usbSysfsPath).filename().string();
    std::error_code error;
    for (const auto &entry : std::filesystem::directory_iterator(usbSysfsPath, error)) {
        const std::string name = entry.path().filename().string();
        if (name.rfind(device + ":", 0) == 0)
            names.push_back(name);
    }
    std::sort(names.begin(), names.end());
    return names;
}

bool writeText(const std::string &path, const std::string &text)
{
    std::ofstream file(path);
    file << text;
    file.flush();
    return static_cast<bool>(file);
}

} // namespace

int UvcKernelFixture::unbindUvcvideo(const CameraIdentity &identity)
{
    int changed = 0;
    for (const std::string &name : interfacesOf(identity.usbSysfsPath)) {
        std::error_code error;
        const auto driver =
            std::filesystem::read_symlink(identity.usbSysfsPath + "/" + name + "/driver", error);
        if (!error && driver.filename() == "uvcvideo" &&
            writeText("/sys/bus/usb/drivers/uvcvideo/unbind", name))
            ++changed;
    }
    KernelGuest::settle();
    return changed;
}

int UvcKernelFixture::bindUvcvideo(const CameraIdentity &identity)
{
    int changed = 0;
    for (const std::string &name : interfacesOf(identity.usbSysfsPath)) {
        if (std::filesystem::exists(identity.usbSysfsPath + "/" + name + "/driver"))
            continue;
        // The streaming interfaces come with the control interface's binding.
        if (writeText("/sys/bus/usb/drivers/uvcvideo/bind", name))
            ++changed;
    }
    KernelGuest::settle();
    return changed;
}

void PatternLog::add(const uint8_t *bgr, size_t length, int width, int height)
{
    std::string problem;
    std::optional<uint32_t> number;
    if (length == static_cast<size_t>(width) * height * 3)
        number = UvcTestPattern::readBottomUpBgr(bgr, width, height, &problem);
    else
        problem = "frame of " + std::to_string(length) + " bytes";
    std::lock_guard guard(lock);
    numbers.push_back(number ? static_cast<int64_t>(*number) : -1);
    sizes.emplace_back(width, height);
    if (!number && firstProblem.empty())
        firstProblem = problem;
}

size_t PatternLog::count()
{
    std::lock_guard guard(lock);
    return numbers.size();
}

bool PatternLog::waitFor(size_t wanted, std::chrono::milliseconds timeout)
{
    return KernelGuest::waitUntil([&] { return count() >= wanted; }, timeout);
}

bool PatternLog::waitForEnd(std::chrono::milliseconds timeout)
{
    return KernelGuest::waitUntil([&] { return ended != 0; }, timeout);
}

::testing::AssertionResult PatternLog::allGood(int width, int height)
{
    std::lock_guard guard(lock);
    if (numbers.empty())
        return ::testing::AssertionFailure() << "no frame";
    for (size_t i = 0; i < numbers.size(); ++i) {
        if (sizes[i] != std::make_pair(width, height))
            return ::testing::AssertionFailure()
                   << "frame " << i << " is " << sizes[i].first << "x" << sizes[i].second;
        if (numbers[i] < 0)
            return ::testing::AssertionFailure() << "frame " << i << ": " << firstProblem;
        if (i > 0 && numbers[i] <= numbers[i - 1])
            return ::testing::AssertionFailure()
                   << "frame numbers " << numbers[i - 1] << " then " << numbers[i];
    }
    return ::testing::AssertionSuccess();
}

std::vector<uint8_t> readBinaryFile(const std::string &path)
{
    std::ifstream file(path, std::ios::binary);
    return std::vector<uint8_t>(std::istreambuf_iterator<char>(file), {});
}

} // namespace varnolet::test
