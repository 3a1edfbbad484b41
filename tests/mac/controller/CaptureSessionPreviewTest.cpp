// The capture session with a compressed camera that decodes the live picture reduced when
// only the preview needs the frames, and with a camera of whole frames, which the session
// halves itself.
#include <gtest/gtest.h>

#include <vector>

#include "mac/controller/CaptureSession.h"
#include "platform/camera/CameraEnumerator.h"

namespace {

varnolet::CameraIdentity fakeIdentity()
{
    varnolet::CameraIdentity identity;
    identity.devicePath = "/dev/fake";
    identity.friendlyName = "Fake";
    return identity;
}

// A camera that delivers a frame when the test says so, on the test's thread, at half its
// size while the demand says the live picture alone needs it.
class HalvingCamera final : public varnolet::CameraSource
{
public:
    varnolet::CameraIdentity identity() const override { return fakeIdentity(); }
    std::vector<varnolet::CameraFormat> formats() const override { return {m_format}; }
    varnolet::CameraFormat currentFormat() const override { return m_format; }
    int setFormat(int, int) override { return 0; }
    int start(FrameCallback onFrame, StreamEndCallback) override
    {
        m_onFrame = std::move(onFrame);
        return 0;
    }
    void stop() override { m_onFrame = nullptr; }
    bool isStreaming() const override { return static_cast<bool>(m_onFrame); }
    std::vector<varnolet::CameraControl> controls() const override { return {}; }
    int control(uint32_t, int32_t &) const override { return -EINVAL; }
    int setControl(uint32_t, int32_t) override { return -EINVAL; }
    bool hasSnapshotButton() const override { return false; }
    void setButtonCallback(ButtonCallback) override {}
    void setPreviewDemand(PreviewDemandCallback callback) override
    {
        m_demand = std::move(callback);
    }

    void deliver()
    {
        const PreviewDemand demand = m_demand ? m_demand() : PreviewDemand();
        const bool reduce = decodesReduced && !demand.fullFrames &&
                            demand.shownWidth <= m_format.width / 2 &&
                            demand.shownHeight <= m_format.height / 2;
        varnolet::CameraFrame frame;
        frame.width = reduce ? m_format.width / 2 : m_format.width;
        frame.height = reduce ? m_format.height / 2 : m_format.height;
        std::vector<uint8_t> bytes(static_cast<size_t>(frame.width) * frame.height * 3);
        for (size_t i = 0; i < bytes.size(); ++i)
            bytes[i] = static_cast<uint8_t>(i % 3 == 0 ? 9 : i % 3 == 1 ? 100 : 250);
        frame.data = bytes.data();
        frame.length = bytes.size();
        frame.reduced = reduce;
        if (m_onFrame)
            m_onFrame(frame);
    }

    bool decodesReduced = true; // false: whole frames only, as an uncompressed camera

private:
    varnolet::CameraFormat m_format{0x47504a4d, 1600, 1200, 30.0}; // MJPG
    FrameCallback m_onFrame;
    PreviewDemandCallback m_demand;
};

class OneCameraEnumerator final : public varnolet::CameraEnumerator
{
public:
    std::vector<varnolet::CameraIdentity> list() override { return {fakeIdentity()}; }
    std::unique_ptr<varnolet::CameraSource> open(const std::string &, int &) override
    {
        auto camera = std::make_unique<HalvingCamera>();
        last = camera.get();
        return camera;
    }
    HalvingCamera *last = nullptr;
};

} // namespace

TEST(CaptureSessionPreview, ReducedFramesGoToThePreviewAloneAtTheirOwnSize)
{
    auto enumerator = std::make_shared<OneCameraEnumerator>();
    CaptureSession session(enumerator);
    ASSERT_EQ(session.openDevice(CaptureDevice(enumerator->list().front())), 0);
    session.setPixelBufferSize(1600, 1200);
    std::vector<PixelBufferRef> full;
    std::vector<PixelBufferRef> preview;
    session.setDelegate([&](const PixelBufferRef &frame) { full.push_back(frame); });
    CaptureSession::PreviewDemand demand;
    demand.fullFrames = false;
    demand.shownWidth = 640;
    demand.shownHeight = 480;
    session.setPreviewDemand([&] { return demand; },
                             [&](const PixelBufferRef &frame) { preview.push_back(frame); });
    ASSERT_EQ(session.startRunning(), 0);

    enumerator->last->deliver();
    ASSERT_EQ(preview.size(), 1u);
    EXPECT_TRUE(full.empty());
    EXPECT_EQ(preview[0]->width, 800);
    EXPECT_EQ(preview[0]->height, 600);
    EXPECT_EQ(preview[0]->pixels.size(), 800u * 600u * 3u);

    // A photo or a movie wants the frames: whole ones, at the pixel-buffer size, to the
    // frame routine.
    demand.fullFrames = true;
    enumerator->last->deliver();
    ASSERT_EQ(full.size(), 1u);
    EXPECT_EQ(full[0]->width, 1600);
    EXPECT_EQ(full[0]->height, 1200);
    EXPECT_EQ(preview.size(), 1u);
    session.closeDevice();
}

// A camera of whole frames: the session halves a frame the live picture alone needs, as
// often as the result still covers the shown size, and hands photos and movies whole ones.
TEST(CaptureSessionPreview, WholeFramesForThePreviewAloneAreHalvedToCoverTheShownSize)
{
    struct Case
    {
        bool fullFrames;
        int shownWidth, shownHeight;
        bool toPreview;
        int width, height;
    };
    const Case cases[] = {
        {false, 640, 480, true, 800, 600},    // half covers 640 x 480
        {false, 400, 300, true, 400, 300},    // a quarter covers it exactly
        {false, 401, 300, true, 800, 600},    // a quarter would be a column short
        {false, 801, 600, false, 1600, 1200}, // half would be too narrow
        {false, 0, 0, false, 1600, 1200},     // the shown size not known yet
        {true, 320, 240, false, 1600, 1200},  // a photo or movie wants the frames
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(testing::Message() << c.shownWidth << "x" << c.shownHeight
                                        << (c.fullFrames ? " full" : " preview"));
        auto enumerator = std::make_shared<OneCameraEnumerator>();
        CaptureSession session(enumerator);
        ASSERT_EQ(session.openDevice(CaptureDevice(enumerator->list().front())), 0);
        enumerator->last->decodesReduced = false;
        session.setPixelBufferSize(1600, 1200);
        std::vector<PixelBufferRef> full;
        std::vector<PixelBufferRef> preview;
        session.setDelegate([&](const PixelBufferRef &frame) { full.push_back(frame); });
        CaptureSession::PreviewDemand demand;
        demand.fullFrames = c.fullFrames;
        demand.shownWidth = c.shownWidth;
        demand.shownHeight = c.shownHeight;
        session.setPreviewDemand([&] { return demand; },
                                 [&](const PixelBufferRef &frame) { preview.push_back(frame); });
        ASSERT_EQ(session.startRunning(), 0);
        enumerator->last->deliver();
        session.closeDevice();

        const std::vector<PixelBufferRef> &got = c.toPreview ? preview : full;
        ASSERT_EQ(got.size(), 1u);
        EXPECT_EQ((c.toPreview ? full : preview).size(), 0u);
        ASSERT_TRUE(got[0]);
        EXPECT_EQ(got[0]->width, c.width);
        EXPECT_EQ(got[0]->height, c.height);
        ASSERT_EQ(got[0]->pixels.size(), static_cast<size_t>(c.width) * c.height * 3);
        // Every pixel keeps the camera's colour.
        EXPECT_EQ(got[0]->pixels[0], 9);
        EXPECT_EQ(got[0]->pixels[1], 100);
        EXPECT_EQ(got[0]->pixels.back(), 250);
    }
}
