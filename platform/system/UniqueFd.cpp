#include "UniqueFd.h"

#include <unistd.h>

namespace varnolet {

void UniqueFd::reset(int fd)
{
    if (m_fd >= 0 && m_fd != fd)
        ::close(m_fd);
    m_fd = fd;
}

} // namespace varnolet
