#pragma once

#include "KernelGuest.h"
#include "tests/kernel/uvc/EmulatedUvcCamera.h"

#include "platform/camera/CameraEnumerator.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

namespace varnolet::test {

// Loads vhci-hcd, uvcvideo and evdev in the guest and plugs emulated cameras.
class UvcKernelFixture : public ::testing::Test
{
protected:
    void SetUp() override;
    void TearDown() override;

    // Plugs a camera (descriptors empty: the default one) and waits until its capture nodes
    // are listed; the listed cameras of it, in node order (empty after a failure).
    std::vector<CameraIdentity> plug(std::vector<uint8_t> descriptors = {}, size_t nodes = 1);
    std::vector<CameraIdentity> plug(EmulatedUvcCamera::Options options, size_t nodes);
    // The emulated camera's capture nodes (by its ids) as listed now.
    std::vector<CameraIdentity> listed() const;
    // Waits until the emulated camera's nodes are listed (count) or gone (0).
    std::vector<CameraIdentity> waitForListed(size_t count, std::chrono::seconds timeout) const;

    // Unbinds uvcvideo from (or binds it again to) the emulated camera's interfaces, as the
    // Mac program's USB layer needs before it talks to the camera through libusb. The
    // number of interfaces changed.
    int unbindUvcvideo(const CameraIdentity &identity);
    int bindUvcvideo(const CameraIdentity &identity);

    std::unique_ptr<EmulatedUvcCamera> camera;
    uint16_t vendorId = 0x1209;
    uint16_t productId = 0x0001;
};

// Frames seen on a capture thread, with the test pattern's number read from each.
struct PatternLog
{
    std::mutex lock;
    std::vector<int64_t> numbers; // -1: pattern did not check out
    std::vector<std::pair<int, int>> sizes;
    std::string firstProblem;
    std::atomic<int> ended{0};
    std::atomic<int> endError{0};

    void add(const uint8_t *bgr, size_t length, int width, int height);
    size_t count();
    bool waitFor(size_t wanted, std::chrono::milliseconds timeout);
    bool waitForEnd(std::chrono::milliseconds timeout);
    // Every frame checked out, at that size, numbers strictly increasing.
    ::testing::AssertionResult allGood(int width, int height);
};

std::vector<uint8_t> readBinaryFile(const std::string &path);

} // namespace varnolet::test
