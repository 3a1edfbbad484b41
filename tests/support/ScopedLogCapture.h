#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "mac/core/SystemLog.h"

// The log lines written, by any thread, since the object was made.
class ScopedLogCapture
{
public:
    ScopedLogCapture();
    ScopedLogCapture(const ScopedLogCapture &) = delete;
    ScopedLogCapture &operator=(const ScopedLogCapture &) = delete;

    std::vector<std::string> lines() const;

private:
    const uint64_t m_start;
};
