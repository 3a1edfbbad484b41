#pragma once

#include <string>

class VxKQueue;

// Told about every change of a watched path, on the main thread.
class VxKQueueDelegate
{
public:
    virtual ~VxKQueueDelegate() = default;
    virtual void watcher(VxKQueue *kq, const std::string &receivedNotification,
                         const std::string &forPath) = 0;
};
