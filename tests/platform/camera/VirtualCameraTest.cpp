#include "platform/camera/CameraHotplugMonitor.h"
#include "platform/camera/TestPatternRenderer.h"
#include "platform/camera/VirtualCamera.h"
#include "platform/camera/VirtualCameraHub.h"

#include "tests/support/FakeClock.h"
#include "tests/support/TestSupport.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cmath>
#include <cstring>
#include <functional>
#include <mutex>
#include <stdexcept>
#include <thread>

#include <linux/videodev2.h>
#include <poll.h>

using namespace varnolet;
using namespace std::chrono_literals;

namespace {

// Collects what a stream delivers; the last frame is kept for inspection.
struct FrameLog
{
    std::mutex lock;
    int frames = 0;
    int badLayout = 0;
    std::vector<uint8_t> last;
    int width = 0, height = 0;
    std::chrono::steady_clock::time_point first, latest;
    std::atomic<int> endError{0};

    CameraSource::FrameCallback callback()
    {
        return [this](const CameraFrame &frame) {
            std::lock_guard guard(lock);
            if (frame.length != static_cast<size_t>(frame.width) * frame.height * 3)
                ++badLayout;
            if (frames == 0)
                first = std::chrono::steady_clock::now();
            latest = std::chrono::steady_clock::now();
            ++frames;
            last.assign(frame.data, frame.data + frame.length);
            width = frame.width;
            height = frame.height;
        };
    }
    CameraSource::StreamEndCallback endCallback()
    {
        return [this](int error) { endError = error; };
    }
    int count()
    {
        std::lock_guard guard(lock);
        return frames;
    }
    bool waitFor(int n, std::chrono::milliseconds timeout = 5000ms)
    {
        return test::processEventsUntil([&] { return count() >= n; }, timeout);
    }
    // BGR of (x, y counted from the top) in the last frame.
    std::array<uint8_t, 3> pixel(int x, int y)
    {
        std::lock_guard guard(lock);
        const uint8_t *p = last.data() + (static_cast<size_t>(height - 1 - y) * width + x) * 3;
        return {p[0], p[1], p[2]};
    }
    long long regionSum(int x0, int y0, int w, int h)
    {
        std::lock_guard guard(lock);
        long long sum = 0;
        for (int y = y0; y < y0 + h; ++y)
            for (int x = x0; x < x0 + w; ++x)
                for (int c = 0; c < 3; ++c)
                    sum += last[(static_cast<size_t>(height - 1 - y) * width + x) * 3 + c];
        return sum;
    }
};

class VirtualCameraTest : public ::testing::Test
{
protected:
    std::unique_ptr<CameraSource> openCamera(const std::string &path)
    {
        int error = 0;
        auto source = hub.open(path, error);
        EXPECT_EQ(error, 0);
        return source;
    }

    std::shared_ptr<FakeClock> clock = std::make_shared<FakeClock>(2024, 3, 5, 10, 20, 30);
    VirtualCameraHub hub{clock};
};

std::array<uint8_t, 3> marker(const uint8_t bgr[3])
{
    return {bgr[0], bgr[1], bgr[2]};
}

} // namespace

TEST(TestPatternRenderer, MovesOverTimeAndKeepsItsMarkers)
{
    TestPatternRenderer renderer;
    renderer.setSize(640, 480);
    const size_t size = 640 * 480 * 3;
    std::vector<uint8_t> a(size), b(size), c(size);
    renderer.render(0, "12:00:00.000", a.data());
    renderer.render(0, "12:00:00.000", b.data());
    renderer.render(15, "12:00:00.500", c.data());
    EXPECT_EQ(a, b); // deterministic
    EXPECT_NE(a, c); // moving

    // Bottom-up: buffer row 0 is the bottom of the picture, with the blue marker at its left.
    EXPECT_EQ(std::memcmp(a.data(), TestPatternRenderer::kBottomLeftMarker, 3), 0);
    EXPECT_EQ(std::memcmp(a.data() + (479 * 640) * 3, TestPatternRenderer::kTopLeftMarker, 3), 0);
    const int m = renderer.markerSize();
    EXPECT_NE(
        std::memcmp(a.data() + (479 * 640 + m + 1) * 3, TestPatternRenderer::kTopLeftMarker, 3), 0);

    // Different frame numbers draw different digits in the text box (above the scene).
    std::vector<uint8_t> d(size);
    renderer.render(1, "12:00:00.000", d.data());
    const size_t textRowsFromTop = 480 / 20 + 480 / 80;
    bool differs = false;
    for (int y = 0; y < static_cast<int>(textRowsFromTop) + 6 && !differs; ++y) {
        const size_t row = static_cast<size_t>(479 - y) * 640 * 3;
        differs =
            std::memcmp(a.data() + row + (m + 12) * 3, d.data() + row + (m + 12) * 3, 300 * 3) != 0;
    }
    EXPECT_TRUE(differs);
}

// Frames are runs of rows in the renderer's own slide with the overlays stamped on; each
// frame must look the same whatever frames came before it, across the wrap of the slide.
TEST(TestPatternRenderer, AFrameIsTheSameWhateverFramesCameBefore)
{
    const int width = 640, height = 480;
    const size_t size = static_cast<size_t>(width) * height * 3;
    const int speed = 3; // rows per frame at this height
    struct Case
    {
        const char *name;
        std::vector<uint64_t> before;
        uint64_t frame;
    };
    const Case cases[] = {
        {"after the previous frame", {40}, 41},
        {"after a frame across the wrap", {159, 160}, 161},
        {"after going back", {100, 7}, 3},
        {"after many frames", {1, 2, 3, 4, 5, 6, 7, 8, 9, 10}, 11},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        TestPatternRenderer fresh, used;
        fresh.setSize(width, height);
        used.setSize(width, height);
        std::vector<uint8_t> expected(size), got(size);
        fresh.render(c.frame, "01:02:03.456", expected.data());
        for (uint64_t n : c.before)
            used.render(n, "23:59:59.999", got.data());
        used.render(c.frame, "01:02:03.456", got.data());
        EXPECT_TRUE(got == expected);
    }

    // Below the text box the picture is the slide moved down by a few rows per frame.
    TestPatternRenderer renderer;
    renderer.setSize(width, height);
    std::vector<uint8_t> first(size), later(size);
    renderer.render(0, "00:00:00.000", first.data());
    renderer.render(2, "00:00:00.000", later.data());
    const size_t row = static_cast<size_t>(width) * 3;
    int shifted = 0;
    for (int y = 200; y < 400; ++y) { // from the top
        const uint8_t *now = later.data() + static_cast<size_t>(height - 1 - y) * row;
        const uint8_t *then =
            first.data() + static_cast<size_t>(height - 1 - (y - 2 * speed)) * row;
        shifted += std::memcmp(now + 64 * 3, then + 64 * 3, row - 64 * 3) == 0;
    }
    EXPECT_EQ(shifted, 200);
}

TEST_F(VirtualCameraTest, StreamsAboutThirtyFramesPerSecondInBottomUpLayout)
{
    const std::string path = hub.plug();
    auto camera = openCamera(path);
    ASSERT_TRUE(camera);
    EXPECT_EQ(camera->identity().friendlyName, "Varnolet Virtual Camera");
    EXPECT_EQ(camera->formats().size(), 5u);
    EXPECT_EQ(camera->currentFormat().width, 640);

    FrameLog log;
    ASSERT_EQ(camera->start(log.callback(), log.endCallback()), 0);
    EXPECT_TRUE(camera->isStreaming());
    EXPECT_EQ(camera->start(log.callback()), -EBUSY);
    ASSERT_TRUE(log.waitFor(31));
    camera->stop();
    EXPECT_FALSE(camera->isStreaming());
    const int frames = log.count();
    const double seconds = std::chrono::duration<double>(log.latest - log.first).count();
    const double rate = (frames - 1) / seconds;
    EXPECT_GT(rate, 24.0);
    EXPECT_LT(rate, 36.0);
    EXPECT_EQ(log.badLayout, 0);
    EXPECT_EQ(log.width, 640);
    // The top-left marker is red: at the end of the buffer (its last row is the top row).
    EXPECT_EQ(log.pixel(2, 2), marker(TestPatternRenderer::kTopLeftMarker));
    EXPECT_EQ(log.pixel(2, 477), marker(TestPatternRenderer::kBottomLeftMarker));
    EXPECT_EQ(log.endError, 0); // stopped, not ended
    std::this_thread::sleep_for(80ms);
    EXPECT_EQ(log.count(), frames); // nothing after stop()
}

TEST_F(VirtualCameraTest, SizeChangeAndNearestSize)
{
    auto camera = openCamera(hub.plug());
    ASSERT_TRUE(camera);
    ASSERT_EQ(camera->setFormat(1280, 720), 0);
    EXPECT_EQ(camera->currentFormat(), (CameraFormat{V4L2_PIX_FMT_BGR24, 1280, 720, 30.0}));
    ASSERT_EQ(camera->setFormat(1920, 1080), 0); // not offered: the nearest
    EXPECT_EQ(camera->currentFormat().width, 1600);
    ASSERT_EQ(camera->setFormat(2048, 1536), 0);

    FrameLog log;
    ASSERT_EQ(camera->start(log.callback()), 0);
    EXPECT_EQ(camera->setFormat(640, 480), -EBUSY);
    ASSERT_TRUE(log.waitFor(2));
    camera->stop();
    EXPECT_EQ(log.width, 2048);
    EXPECT_EQ(log.height, 1536);
    EXPECT_EQ(log.badLayout, 0);
    EXPECT_EQ(log.pixel(1, 1), marker(TestPatternRenderer::kTopLeftMarker));
}

TEST_F(VirtualCameraTest, ControlsChangeThePicture)
{
    auto camera = openCamera(hub.plug());
    ASSERT_TRUE(camera);
    const auto controls = camera->controls();
    ASSERT_EQ(controls.size(), 5u);
    FrameLog log;
    ASSERT_EQ(camera->start(log.callback()), 0);
    ASSERT_TRUE(log.waitFor(1));
    camera->stop();
    // Every stream starts at frame 0, so the first frames of two streams show the same scene.
    const long long before = log.regionSum(200, 460, 200, 10);

    EXPECT_EQ(camera->setControl(V4L2_CID_BRIGHTNESS, 64), 0);
    EXPECT_EQ(camera->setControl(V4L2_CID_BRIGHTNESS, 65), -ERANGE);
    EXPECT_EQ(camera->setControl(V4L2_CID_ZOOM_ABSOLUTE, 1), -EINVAL);
    int32_t value = 0;
    ASSERT_EQ(camera->control(V4L2_CID_BRIGHTNESS, value), 0);
    EXPECT_EQ(value, 64);
    FrameLog brighter;
    ASSERT_EQ(camera->start(brighter.callback()), 0);
    ASSERT_TRUE(brighter.waitFor(1));
    camera->stop();
    EXPECT_GT(brighter.regionSum(200, 460, 200, 10), before + 200 * 10 * 3 * 20);

    EXPECT_EQ(camera->resetControls(), 0);
    ASSERT_EQ(camera->control(V4L2_CID_BRIGHTNESS, value), 0);
    EXPECT_EQ(value, 0);
    // A second source on the same camera sees its control values, like hardware.
    camera->setControl(V4L2_CID_SATURATION, 0);
    auto other = openCamera(camera->identity().devicePath);
    ASSERT_EQ(other->control(V4L2_CID_SATURATION, value), 0);
    EXPECT_EQ(value, 0);
}

TEST_F(VirtualCameraTest, UnplugWhileStreamingEndsTheStream)
{
    const std::string path = hub.plug();
    auto camera = openCamera(path);
    FrameLog log;
    ASSERT_EQ(camera->start(log.callback(), log.endCallback()), 0);
    ASSERT_TRUE(log.waitFor(3));
    ASSERT_TRUE(hub.unplug(path));
    EXPECT_TRUE(test::processEventsUntil([&] { return log.endError != 0; }, 2000ms));
    EXPECT_EQ(log.endError, -ENODEV);
    const int frames = log.count();
    std::this_thread::sleep_for(80ms);
    EXPECT_EQ(log.count(), frames);
    camera->stop(); // joins the ended thread
    EXPECT_FALSE(camera->isStreaming());
    EXPECT_EQ(camera->start(log.callback()), -ENODEV);
    EXPECT_EQ(camera->setFormat(800, 600), -ENODEV);
    EXPECT_FALSE(hub.unplug(path));
}

TEST_F(VirtualCameraTest, BusyCameraRefusesToStartAndSecondCameraStreamsAlongside)
{
    const std::string first = hub.plug();
    const std::string second = hub.plug(VirtualCameraOptions{"", true, false});
    EXPECT_EQ(first, "virtual:0");
    EXPECT_EQ(second, "virtual:1");
    auto busy = openCamera(second);
    EXPECT_EQ(busy->identity().friendlyName, "Varnolet Virtual Camera 2");
    EXPECT_FALSE(busy->hasSnapshotButton());
    FrameLog log;
    EXPECT_EQ(busy->start(log.callback()), -EBUSY);
    ASSERT_TRUE(hub.setBusy(second, false));

    auto camera = openCamera(first);
    FrameLog firstLog;
    ASSERT_EQ(camera->start(firstLog.callback()), 0);
    ASSERT_EQ(busy->start(log.callback()), 0);
    EXPECT_TRUE(log.waitFor(3));
    EXPECT_TRUE(firstLog.waitFor(3));
    // One camera streams to one source at a time.
    auto again = openCamera(first);
    EXPECT_EQ(again->start(log.callback()), -EBUSY);
    camera->stop();
    busy->stop();
    EXPECT_EQ(again->start(log.callback()), 0);
    again->stop();
}

TEST_F(VirtualCameraTest, SnapshotButtonReachesTheOpenSource)
{
    const std::string path = hub.plug();
    auto camera = openCamera(path);
    ASSERT_TRUE(camera->hasSnapshotButton());
    std::mutex lock;
    std::vector<bool> presses;
    camera->setButtonCallback([&](bool pressed) {
        std::lock_guard guard(lock);
        presses.push_back(pressed);
    });
    EXPECT_TRUE(hub.pressButton(path));
    camera->setButtonCallback({});
    EXPECT_TRUE(hub.pressButton(path)); // nobody listens any more
    std::lock_guard guard(lock);
    EXPECT_EQ(presses, (std::vector<bool>{true, false}));
    EXPECT_FALSE(hub.pressButton("virtual:9"));
}

TEST_F(VirtualCameraTest, HotplugMonitorReportsVirtualPlugging)
{
    CameraHotplugMonitor monitor(hub);
    ASSERT_GE(monitor.fd(), 0);
    EXPECT_TRUE(monitor.readEvents().empty());

    const std::string path = hub.plug();
    pollfd ready{monitor.fd(), POLLIN, 0};
    ASSERT_EQ(::poll(&ready, 1, 1000), 1);
    auto events = monitor.readEvents();
    ASSERT_EQ(events.size(), 1u);
    EXPECT_EQ(events[0].change, CameraHotplugMonitor::Change::Added);
    EXPECT_EQ(events[0].devicePath, path);

    hub.unplug(path);
    events = monitor.readEvents();
    ASSERT_EQ(events.size(), 1u);
    EXPECT_EQ(events[0].change, CameraHotplugMonitor::Change::Removed);
    // Drained: the descriptor is quiet again.
    ready.revents = 0;
    EXPECT_EQ(::poll(&ready, 1, 0), 0);
}

TEST_F(VirtualCameraTest, AHotplugMonitorHearsOnlyItsOwnHub)
{
    VirtualCameraHub other(clock);
    CameraHotplugMonitor monitor(hub);
    ASSERT_GE(monitor.fd(), 0);
    const std::string elsewhere = other.plug();
    other.unplug(elsewhere);
    EXPECT_TRUE(monitor.readEvents().empty());

    const std::string path = hub.plug();
    const auto events = monitor.readEvents();
    ASSERT_EQ(events.size(), 1u);
    EXPECT_EQ(events[0].devicePath, path);
}

namespace {

// What a picture control changes, measured over a whole rendered frame.
struct PictureStats
{
    double luma = 0;     // mean
    double contrast = 0; // standard deviation of the luma
    double chroma = 0;   // mean of (largest - smallest channel)
    double detail = 0;   // mean step between horizontal neighbours
};

std::vector<uint8_t> renderWith(const PictureAdjustments &adjustments)
{
    TestPatternRenderer renderer;
    renderer.setSize(320, 240);
    renderer.setAdjustments(adjustments);
    std::vector<uint8_t> frame(320 * 240 * 3);
    renderer.render(0, "12:00:00.000", frame.data());
    return frame;
}

// Over the scene in the middle of the frame, away from the overlays (corner markers,
// frame number and time), which the controls leave alone.
PictureStats measure(const std::vector<uint8_t> &frame)
{
    PictureStats s;
    double sumSquares = 0;
    int pixels = 0;
    for (int row = 40; row < 200; ++row) {
        for (int x = 40; x < 280; ++x, ++pixels) {
            const uint8_t *p = frame.data() + (row * 320 + x) * 3;
            const double y = 0.114 * p[0] + 0.587 * p[1] + 0.299 * p[2];
            s.luma += y;
            sumSquares += y * y;
            s.chroma += std::max({p[0], p[1], p[2]}) - std::min({p[0], p[1], p[2]});
            s.detail += std::abs(int(p[1]) - int(p[4]));
        }
    }
    s.luma /= pixels;
    s.contrast = std::sqrt(sumSquares / pixels - s.luma * s.luma);
    s.chroma /= pixels;
    s.detail /= pixels;
    return s;
}

// Mean difference of the channels between two frames.
double meanDifference(const std::vector<uint8_t> &a, const std::vector<uint8_t> &b)
{
    double sum = 0;
    for (size_t i = 0; i < a.size(); ++i)
        sum += std::abs(int(a[i]) - int(b[i]));
    return sum / a.size();
}

} // namespace

TEST(TestPatternRenderer, EachPictureControlChangesThePictureItsWay)
{
    const std::vector<uint8_t> neutralFrame = renderWith({});
    const PictureStats neutral = measure(neutralFrame);
    struct Case
    {
        const char *name;
        PictureAdjustments adjustments;
        std::function<bool(const PictureStats &)> holds;
    };
    auto with = [](auto field, int value) {
        PictureAdjustments a;
        a.*field = value;
        return a;
    };
    // The slide is bright, so what lifts the picture meets the white end early.
    const Case cases[] = {
        {"brightness up", with(&PictureAdjustments::brightness, 64),
         [&](const PictureStats &s) { return s.luma > neutral.luma + 20; }},
        {"brightness down", with(&PictureAdjustments::brightness, -64),
         [&](const PictureStats &s) { return s.luma < neutral.luma - 60; }},
        {"contrast up", with(&PictureAdjustments::contrast, 64),
         [&](const PictureStats &s) { return s.contrast > neutral.contrast * 1.1; }},
        {"contrast off: everything mid-grey but the colour", with(&PictureAdjustments::contrast, 0),
         [&](const PictureStats &s) { return std::abs(s.luma - 128) < 10; }},
        {"saturation off", with(&PictureAdjustments::saturation, 0),
         [&](const PictureStats &s) { return s.chroma < neutral.chroma * 0.2; }},
        {"saturation up", with(&PictureAdjustments::saturation, 128),
         [&](const PictureStats &s) { return s.chroma > neutral.chroma * 1.5; }},
        {"sharpness down", with(&PictureAdjustments::sharpness, 0),
         [&](const PictureStats &s) { return s.detail < neutral.detail * 0.85; }},
        {"sharpness up", with(&PictureAdjustments::sharpness, 7),
         [&](const PictureStats &s) { return s.detail > neutral.detail * 1.5; }},
    };
    for (const Case &c : cases) {
        const PictureStats s = measure(renderWith(c.adjustments));
        EXPECT_TRUE(c.holds(s)) << c.name << ": luma " << s.luma << " contrast " << s.contrast
                                << " chroma " << s.chroma << " detail " << s.detail << " (neutral "
                                << neutral.luma << ", " << neutral.contrast << ", "
                                << neutral.chroma << ", " << neutral.detail << ")";
    }
    // Hue turns the colours round and keeps the brightness.
    const std::vector<uint8_t> turned = renderWith(with(&PictureAdjustments::hue, 180));
    EXPECT_GT(meanDifference(turned, neutralFrame), 20.0);
    EXPECT_NEAR(measure(turned).luma, neutral.luma, 10.0);
}

TEST_F(VirtualCameraTest, ThePictureShowsTheTimeOfTheClockItWasPluggedWith)
{
    struct Case
    {
        int hour, minute, second;
        const char *text;
    };
    const Case cases[] = {
        {10, 20, 30, "10:20:30.000"}, {23, 59, 59, "23:59:59.000"}, {0, 0, 1, "00:00:01.000"}};
    for (const Case &c : cases) {
        SCOPED_TRACE(c.text);
        clock->setLocal(2024, 3, 5, c.hour, c.minute, c.second);
        auto camera = openCamera(hub.plug());
        ASSERT_TRUE(camera);
        std::mutex lock;
        std::vector<uint8_t> first;
        uint64_t sequence = 0;
        ASSERT_EQ(camera->start(
                      [&](const CameraFrame &frame) {
                          std::lock_guard guard(lock);
                          if (first.empty()) {
                              first.assign(frame.data, frame.data + frame.length);
                              sequence = frame.sequence;
                          }
                      },
                      {}),
                  0);
        const auto deadline = std::chrono::steady_clock::now() + 5s;
        auto delivered = [&] {
            std::lock_guard guard(lock);
            return !first.empty();
        };
        while (!delivered() && std::chrono::steady_clock::now() < deadline)
            std::this_thread::sleep_for(5ms);
        ASSERT_TRUE(delivered());
        camera->stop();
        const CameraFormat format = camera->currentFormat();
        TestPatternRenderer renderer;
        renderer.setSize(format.width, format.height);
        renderer.setAdjustments(PictureAdjustments{});
        std::vector<uint8_t> expected(first.size());
        renderer.render(sequence, c.text, expected.data());
        EXPECT_TRUE(first == expected) << "the frame carries the plugged clock's time";
        hub.unplugAll();
    }
}

TEST(VirtualCameraHubClock, AHubWithoutAClockIsNotMade)
{
    EXPECT_THROW(VirtualCameraHub hub(nullptr), std::invalid_argument);
}
