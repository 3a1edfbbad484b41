#include "ScopedLogCapture.h"

ScopedLogCapture::ScopedLogCapture()
    : m_start(SystemLog::lineCount())
{
}

std::vector<std::string> ScopedLogCapture::lines() const
{
    return SystemLog::linesSince(m_start);
}
