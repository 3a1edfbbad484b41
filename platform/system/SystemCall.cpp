#include "SystemCall.h"

#include <cerrno>

#include <sys/ioctl.h>

namespace varnolet {

int SystemCall::ioctl(int fd, unsigned long request, void *argument)
{
    int result;
    do {
        result = ::ioctl(fd, request, argument);
    } while (result < 0 && errno == EINTR);
    return result < 0 ? -errno : 0;
}

} // namespace varnolet
