#include "platform/system/Clock.h"
#include "mac/uvc/CameraRequestQueue.h"

#include <gtest/gtest.h>

#include <condition_variable>
#include <map>
#include <mutex>
#include <thread>
#include <vector>

#include "mac/uvc/UVCCameraControl.h"
#include "tests/mac/uvc/CameraFixture.h"
#include "tests/support/TestSupport.h"

using namespace std::chrono_literals;

namespace {

// Requests that wait until the test lets them go, and record what ran where.
class Recorder
{
public:
    CameraRequestQueue::Request request(int value)
    {
        return [this, value] {
            std::unique_lock lock(m_lock);
            m_sent.push_back(value);
            m_threads.push_back(std::this_thread::get_id());
            m_changed.notify_all();
            m_changed.wait(lock, [this] { return m_open; });
            return CameraRequestQueue::Answer([this, value] {
                m_answered.push_back(value);
                m_answerThreads.push_back(std::this_thread::get_id());
            });
        };
    }
    void open()
    {
        std::lock_guard lock(m_lock);
        m_open = true;
        m_changed.notify_all();
    }
    bool waitSent(size_t count)
    {
        std::unique_lock lock(m_lock);
        return m_changed.wait_for(lock, 5s, [&] { return m_sent.size() >= count; });
    }
    std::vector<int> sent()
    {
        std::lock_guard lock(m_lock);
        return m_sent;
    }
    std::vector<std::thread::id> threads()
    {
        std::lock_guard lock(m_lock);
        return m_threads;
    }

    std::vector<int> m_answered; // main thread only
    std::vector<std::thread::id> m_answerThreads;

private:
    std::mutex m_lock;
    std::condition_variable m_changed;
    bool m_open = false;
    std::vector<int> m_sent;
    std::vector<std::thread::id> m_threads;
};

} // namespace

TEST(CameraRequestQueueTest, RequestsRunOffTheCallerAndTheNewestOfAKeyWins)
{
    Recorder recorder;
    CameraRequestQueue queue;
    queue.submit(1, recorder.request(10)); // runs at once and waits
    ASSERT_TRUE(recorder.waitSent(1));
    queue.submit(2, recorder.request(20));
    queue.submit(1, recorder.request(11));
    queue.submit(2, recorder.request(21)); // replaces 20 and goes after 11
    queue.submit(-1, recorder.request(30));
    queue.submit(-1, recorder.request(31)); // no key: both kept
    recorder.open();
    ASSERT_TRUE(queue.waitUntilIdle(5s));
    EXPECT_EQ(recorder.sent(), (std::vector<int>{10, 11, 21, 30, 31}));
    for (std::thread::id thread : recorder.threads())
        EXPECT_NE(thread, std::this_thread::get_id());

    ASSERT_TRUE(
        varnolet::test::processEventsUntil([&] { return recorder.m_answered.size() == 5; }));
    EXPECT_EQ(recorder.m_answered, recorder.sent()) << "answered in the order they ran";
    for (std::thread::id thread : recorder.m_answerThreads)
        EXPECT_EQ(thread, std::this_thread::get_id());
}

TEST(CameraRequestQueueTest, CancelDropsTheWaitingRequestsAndTheAnswersNotYetDelivered)
{
    Recorder recorder;
    CameraRequestQueue queue;
    queue.submit(1, recorder.request(1));
    ASSERT_TRUE(recorder.waitSent(1));
    queue.submit(2, recorder.request(2));
    std::thread opener([&] {
        std::this_thread::sleep_for(50ms);
        recorder.open();
    });
    queue.cancelAndWait(); // returns once the running request is done
    opener.join();
    EXPECT_EQ(recorder.sent(), std::vector<int>{1});
    varnolet::test::processEventsFor(50ms);
    EXPECT_TRUE(recorder.m_answered.empty());

    // The queue goes on serving afterwards.
    queue.submit(1, recorder.request(3));
    ASSERT_TRUE(queue.waitUntilIdle(5s));
    ASSERT_TRUE(varnolet::test::processEventsUntil([&] { return !recorder.m_answered.empty(); }));
    EXPECT_EQ(recorder.m_answered, std::vector<int>{3});
}

namespace {

// The adjust panel's outlets as the camera control fills them.
class RecordingView final : public CameraAdjustView
{
public:
    void setSliderValue(AdjustField field, float value) override { sliders[field] = value; }
    void setTextValue(AdjustField, float) override {}
    void setTexts(const CameraAdjustTexts &) override {}
    std::map<AdjustField, float> sliders;
};

} // namespace

// The camera control with its request thread, against the controller's reads on the main
// thread and a camera switch while a request runs (also run under ThreadSanitizer).
TEST(CameraRequestQueueTest, CameraControlSendsThePanelsRequestsOnItsOwnThread)
{
    using namespace uvctest;
    auto camera = makeCamera(kLocation, false, {0, 51, -90, 100, 7});
    UVCCameraControl control(std::make_unique<FakeUsbBackend>(std::vector{camera}),
                             std::make_shared<varnolet::SystemClock>(),
                             UVCCameraControl::PanelRequests::OnRequestThread);
    RecordingView view;
    control.setAdjustView(&view);
    ASSERT_TRUE(control.initWithLocationID(kLocation));
    control.clearDefaultValue();
    control.getDefaultValue();
    camera->setRequestDelay(20ms);

    control.requestValueFor(AdjustField::Brightness, 0.75f);
    control.setDefaultValue();
    control.getDefaultValue(); // the controller reading meanwhile
    ASSERT_TRUE(control.waitForPanelRequests(5s));
    ASSERT_TRUE(varnolet::test::processEventsUntil(
        [&] { return view.sliders.count(AdjustField::Hub) > 0; }));
    EXPECT_FLOAT_EQ(control.getBrightness(), 0.5f) << "the default, asked last";
    EXPECT_EQ(camera->control(3, 0x02).cur, 0);

    control.requestValueFor(AdjustField::Saturation, 0.0f);
    control.requestValueFor(AdjustField::Sharpness, 0.0f);
    control.releaseControl(); // waits for the request on its way, drops the other
    ASSERT_TRUE(control.initWithLocationID(kLocation));
    varnolet::test::processEventsFor(50ms);
    EXPECT_FLOAT_EQ(control.getSharpness(), 1.0f);
}
