#include "platform/system/MessageBox.h"
#include "tests/support/RecordingMessagePresenter.h"
#include "tests/support/TestSupport.h"

#include <stdexcept>
#include <thread>

#include <gtest/gtest.h>

using namespace varnolet;

TEST(MessageBoxTest, OnTheUiThreadTheBoxIsShownAndAnswered)
{
    MessageRecorder recorder;
    recorder->setAnswer(MessageResult::Cancel);
    EXPECT_EQ(recorder.box().question("Exit?"), MessageResult::Cancel);
    ASSERT_EQ(recorder->count(), 1u);
    const MessageRequest box = recorder->messages().front();
    EXPECT_EQ(box.text, "Exit?");
    EXPECT_EQ(box.caption, "Varnolet");
    EXPECT_EQ(box.icon, MessageIcon::Question);
    EXPECT_EQ(box.buttons, MessageButtons::OkCancel);
}

TEST(MessageBoxTest, FromAnotherThreadTheBoxIsQueuedAndTheCallerGoesOn)
{
    MessageRecorder recorder;
    MessageResult fromWorker = MessageResult::Ok;
    const MessageBox messages = recorder.box();
    std::thread worker([&] { fromWorker = messages.warning("disk full"); });
    worker.join();
    // The worker returned before anything was shown: the box waits for the UI thread.
    EXPECT_EQ(fromWorker, MessageResult::Queued);
    EXPECT_EQ(recorder->count(), 0u);
    ASSERT_TRUE(test::processEventsUntil([&] { return recorder->count() == 1; }));
    EXPECT_EQ(recorder->texts().front(), "disk full");
    EXPECT_EQ(recorder->messages().front().icon, MessageIcon::Warning);
}

TEST(MessageBoxTest, WithoutAPresenterNoBoxIsMade)
{
    EXPECT_THROW(MessageBox(nullptr), std::invalid_argument);
}
