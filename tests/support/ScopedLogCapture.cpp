#include "ScopedLogCapture.h"

#include <mutex>

struct ScopedLogCapture::State
{
    mutable std::mutex lock; // guards lines
    std::vector<std::string> lines;
};

ScopedLogCapture::ScopedLogCapture()
    : m_state(std::make_shared<State>())
{
    std::shared_ptr<State> state = m_state;
    m_previous = SystemLog::setSink([state](const std::string &line) {
        std::lock_guard lock(state->lock);
        state->lines.push_back(line);
    });
}

ScopedLogCapture::~ScopedLogCapture()
{
    SystemLog::setSink(m_previous);
}

std::vector<std::string> ScopedLogCapture::lines() const
{
    std::lock_guard lock(m_state->lock);
    return m_state->lines;
}
