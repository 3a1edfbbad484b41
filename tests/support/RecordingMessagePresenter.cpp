#include "RecordingMessagePresenter.h"

namespace varnolet {

MessageResult RecordingMessagePresenter::present(const MessageRequest &request)
{
    std::lock_guard lock(m_lock);
    m_messages.push_back(request);
    m_changed.notify_all();
    return m_answer;
}

std::vector<MessageRequest> RecordingMessagePresenter::messages() const
{
    std::lock_guard lock(m_lock);
    return m_messages;
}

std::vector<std::string> RecordingMessagePresenter::texts() const
{
    std::lock_guard lock(m_lock);
    std::vector<std::string> result;
    for (const MessageRequest &m : m_messages)
        result.push_back(m.text);
    return result;
}

size_t RecordingMessagePresenter::count() const
{
    std::lock_guard lock(m_lock);
    return m_messages.size();
}

void RecordingMessagePresenter::clear()
{
    std::lock_guard lock(m_lock);
    m_messages.clear();
}

void RecordingMessagePresenter::setAnswer(MessageResult answer)
{
    std::lock_guard lock(m_lock);
    m_answer = answer;
}

bool RecordingMessagePresenter::waitForCount(size_t n, std::chrono::milliseconds timeout) const
{
    std::unique_lock lock(m_lock);
    return m_changed.wait_for(lock, timeout, [&] { return m_messages.size() >= n; });
}

MessageRecorder::MessageRecorder()
    : m_recorder(std::make_shared<RecordingMessagePresenter>())
    , m_box(m_recorder)
{
}

} // namespace varnolet
