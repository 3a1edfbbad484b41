#pragma once

#include "platform/system/UniqueFd.h"

#include <memory>
#include <string>
#include <vector>

struct udev;
struct udev_monitor;

namespace varnolet {

class VirtualCameraHub;

// Camera arrival and removal: a udev monitor for video4linux plus the plugging of a hub's
// virtual cameras, behind one descriptor. The UI thread watches fd() (a QSocketNotifier)
// and calls readEvents() when it becomes readable.
class CameraHotplugMonitor
{
public:
    enum class Change { Added, Removed };
    struct Event
    {
        Change change = Change::Added;
        std::string devicePath; // the stable device path, as CameraEnumerator lists it
        std::string nodePath;   // /dev/videoN (empty for virtual cameras)
    };

    // hub: the virtual cameras to hear of; it outlives the monitor.
    explicit CameraHotplugMonitor(VirtualCameraHub &hub);
    ~CameraHotplugMonitor();
    CameraHotplugMonitor(const CameraHotplugMonitor &) = delete;
    CameraHotplugMonitor &operator=(const CameraHotplugMonitor &) = delete;

    // Readable while events are pending; -1 when nothing could be set up.
    int fd() const { return m_epoll.get(); }
    // Whether the udev part works (virtual plugging is always reported).
    bool watchesUdev() const { return m_monitor != nullptr; }
    // Every pending event, oldest first; never blocks.
    std::vector<Event> readEvents();

private:
    struct VirtualQueue;
    struct UdevDeleter
    {
        void operator()(udev *u) const;
        void operator()(udev_monitor *m) const;
    };

    std::unique_ptr<udev, UdevDeleter> m_udev;
    std::unique_ptr<udev_monitor, UdevDeleter> m_monitor;
    UniqueFd m_epoll;
    VirtualCameraHub &m_hub;
    std::shared_ptr<VirtualQueue> m_virtual;
    int m_listener = 0;
};

} // namespace varnolet
