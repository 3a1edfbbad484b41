#pragma once

namespace varnolet {

// System calls in the form the device code wants them: interrupted calls are retried and
// the answer is 0 or a negative errno.
class SystemCall
{
public:
    static int ioctl(int fd, unsigned long request, void *argument);
};

} // namespace varnolet
