#include "platform/system/WindowMessage.h"
#include "tests/support/TestSupport.h"

#include <thread>
#include <vector>

#include <QObject>

#include <gtest/gtest.h>

using namespace varnolet;

namespace {

class MessageSink : public QObject
{
public:
    std::vector<int> received;

protected:
    bool event(QEvent *e) override
    {
        if (e->type() >= QEvent::User) {
            received.push_back(static_cast<WindowMessage *>(e)->message());
            return true;
        }
        return QObject::event(e);
    }
};

} // namespace

TEST(WindowMessageTest, MessagesPostedFromThreadsArriveOnTheUiThreadInOrder)
{
    MessageSink sink;
    std::thread worker([&] {
        WindowMessage::post(&sink, 1025);
        WindowMessage::post(&sink, 1027);
    });
    worker.join();
    EXPECT_TRUE(sink.received.empty());
    ASSERT_TRUE(test::processEventsUntil([&] { return sink.received.size() == 2; }));
    EXPECT_EQ(sink.received, (std::vector<int>{1025, 1027}));
    EXPECT_FALSE(WindowMessage::post(nullptr, 1026));
}

TEST(WindowMessageTest, SendDeliversAtOnce)
{
    MessageSink sink;
    EXPECT_TRUE(WindowMessage::send(&sink, 1124));
    EXPECT_EQ(sink.received, (std::vector<int>{1124}));
}
