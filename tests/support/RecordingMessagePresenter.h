#pragma once

#include "platform/system/MessageBox.h"

#include <condition_variable>
#include <chrono>
#include <mutex>
#include <vector>

namespace varnolet {

// A presenter that shows nothing: it records every box and answers with a preset
// result. Tests install it with ScopedMessageRecorder.
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

// Installs a recorder for the lifetime of the object and puts the previous presenter back.
class ScopedMessageRecorder
{
public:
    ScopedMessageRecorder();
    ~ScopedMessageRecorder();
    ScopedMessageRecorder(const ScopedMessageRecorder &) = delete;
    ScopedMessageRecorder &operator=(const ScopedMessageRecorder &) = delete;

    RecordingMessagePresenter &operator*() const { return *m_recorder; }
    RecordingMessagePresenter *operator->() const { return m_recorder.get(); }

private:
    std::shared_ptr<RecordingMessagePresenter> m_recorder;
    std::shared_ptr<MessagePresenter> m_previous;
};

} // namespace varnolet
