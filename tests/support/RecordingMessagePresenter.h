#pragma once

#include "platform/system/MessageBox.h"

#include <condition_variable>
#include <chrono>
#include <mutex>
#include <vector>

namespace varnolet {

// A presenter that shows nothing: it records every box and answers with a preset
// result. Tests hand it in through a MessageRecorder.
class RecordingMessagePresenter final : public MessagePresenter
{
public:
    MessageResult present(const MessageRequest &request) override;

    std::vector<MessageRequest> messages() const;
    std::vector<std::string> texts() const;
    size_t count() const;
    void clear();
    void setAnswer(MessageResult answer);
    // Waits until at least n boxes were recorded (boxes queued from other threads arrive
    // through the event loop, which the caller must keep running for them).
    bool waitForCount(size_t n, std::chrono::milliseconds timeout) const;

private:
    mutable std::mutex m_lock; // guards all fields below
    mutable std::condition_variable m_changed;
    std::vector<MessageRequest> m_messages;
    MessageResult m_answer = MessageResult::Ok;
};

// A recorder and the message box that shows through it: a test makes one and hands box()
// to the objects under test through their constructors.
class MessageRecorder
{
public:
    MessageRecorder();

    RecordingMessagePresenter &operator*() const { return *m_recorder; }
    RecordingMessagePresenter *operator->() const { return m_recorder.get(); }
    const MessageBox &box() const { return m_box; }
    const std::shared_ptr<RecordingMessagePresenter> &presenter() const { return m_recorder; }

private:
    std::shared_ptr<RecordingMessagePresenter> m_recorder;
    MessageBox m_box;
};

} // namespace varnolet
