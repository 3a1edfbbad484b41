#pragma once

#include <memory>
#include <string>
#include <vector>

#include "mac/core/SystemLog.h"

// Collects log lines for the lifetime of the object.
class ScopedLogCapture
{
public:
    ScopedLogCapture();
    ~ScopedLogCapture();
    ScopedLogCapture(const ScopedLogCapture &) = delete;
    ScopedLogCapture &operator=(const ScopedLogCapture &) = delete;

    std::vector<std::string> lines() const;

private:
    struct State;
    std::shared_ptr<State> m_state;
    SystemLog::Sink m_previous;
};
