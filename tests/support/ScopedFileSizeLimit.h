#pragma once

#include <csignal>
#include <cstdint>

#include <sys/resource.h>

namespace varnolet::test {

// A disk that fills up, for one process: while the object lives, no file of this process
// can grow past the limit (writes beyond it fail with EFBIG, "File too large") and SIGXFSZ
// is ignored instead of ending the process. Everything is restored on destruction.
class ScopedFileSizeLimit
{
public:
    explicit ScopedFileSizeLimit(uint64_t bytes)
    {
        m_previousHandler = std::signal(SIGXFSZ, SIG_IGN);
        ::getrlimit(RLIMIT_FSIZE, &m_previous);
        rlimit limit = m_previous;
        limit.rlim_cur = static_cast<rlim_t>(bytes);
        ::setrlimit(RLIMIT_FSIZE, &limit);
    }
    ~ScopedFileSizeLimit()
    {
        ::setrlimit(RLIMIT_FSIZE, &m_previous);
        std::signal(SIGXFSZ, m_previousHandler);
    }
    ScopedFileSizeLimit(const ScopedFileSizeLimit &) = delete;
    ScopedFileSizeLimit &operator=(const ScopedFileSizeLimit &) = delete;

private:
    rlimit m_previous{};
    void (*m_previousHandler)(int) = SIG_DFL;
};

} // namespace varnolet::test
