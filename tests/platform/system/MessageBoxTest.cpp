#include "platform/system/MessageBox.h"
#include "tests/support/RecordingMessagePresenter.h"
#include "tests/support/TestSupport.h"

#include <thread>

#include <gtest/gtest.h>

using namespace varnolet;

TEST(MessageBoxTest, OnTheUiThreadTheBoxIsShownAndAnswered)
{
    ScopedMessageRecorder recorder;
    recorder->setAnswer(MessageResult::Cancel);
    EXPECT_EQ(MessageBox::question("Exit?"), MessageResult::Cancel);
    ASSERT_EQ(recorder->count(), 1u);
    const MessageRequest box = recorder->messages().front();
    EXPECT_EQ(box.text, "Exit?");
    EXPECT_EQ(box.caption, "Varnolet");
    EXPECT_EQ(box.icon, MessageIcon::Question);
    EXPECT_EQ(box.buttons, MessageButtons::OkCancel);
}

TEST(MessageBoxTest, FromAnotherThreadTheBoxIsQueuedAndTheCallerGoesOn)
{
    ScopedMessageRecorder recorder;
    MessageResult fromWorker = MessageResult::Ok;
    std::thread worker([&] { fromWorker = MessageBox::warning("disk full"); });
    worker.join();
    // The worker returned before anything was shown: the box waits for the UI thread.
    EXPECT_EQ(fromWorker, MessageResult::Queued);
    EXPECT_EQ(recorder->count(), 0u);
    ASSERT_TRUE(test::processEventsUntil([&] { return recorder->count() == 1; }));
    EXPECT_EQ(recorder->texts().front(), "disk full");
    EXPECT_EQ(recorder->messages().front().icon, MessageIcon::Warning);
}

TEST(MessageBoxTest, TheRecorderIsRemovedWithItsScope)
{
    auto before = MessageBox::presenter();
    {
        ScopedMessageRecorder recorder;
        EXPECT_NE(MessageBox::presenter(), before);
    }
    EXPECT_EQ(MessageBox::presenter(), before);
}
