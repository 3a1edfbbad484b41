#include "CameraHotplugMonitor.h"

#include "CameraEnumerator.h"
#include "VirtualCameraHub.h"

#include "platform/system/WakeablePoll.h"

#include <cstring>
#include <deque>
#include <mutex>

#include <libudev.h>
#include <sys/epoll.h>
#include <unistd.h>

namespace varnolet {

// Virtual plug events wait here until the UI thread reads them; the wake-up makes the
// monitor's descriptor readable. Shared with the hub's listener, so a late notification
// never touches a destroyed monitor.
struct CameraHotplugMonitor::VirtualQueue
{
    WakeablePoll signal;
    std::mutex lock; // guards events
    std::deque<Event> events;

    void push(Event event)
    {
        {
            std::lock_guard guard(lock);
            events.push_back(std::move(event));
        }
        signal.wake();
    }
};

void CameraHotplugMonitor::UdevDeleter::operator()(udev *u) const
{
    udev_unref(u);
}

void CameraHotplugMonitor::UdevDeleter::operator()(udev_monitor *m) const
{
    udev_monitor_unref(m);
}

CameraHotplugMonitor::CameraHotplugMonitor(VirtualCameraHub &hub)
    : m_udev(udev_new())
    , m_epoll(::epoll_create1(EPOLL_CLOEXEC))
    , m_hub(hub)
    , m_virtual(std::make_shared<VirtualQueue>())
{
    if (m_udev) {
        m_monitor.reset(udev_monitor_new_from_netlink(m_udev.get(), "udev"));
        if (m_monitor && (udev_monitor_filter_add_match_subsystem_devtype(
                              m_monitor.get(), "video4linux", nullptr) < 0 ||
                          udev_monitor_enable_receiving(m_monitor.get()) < 0))
            m_monitor.reset();
    }
    if (m_epoll) {
        epoll_event event{};
        event.events = EPOLLIN;
        if (m_monitor) {
            event.data.u32 = 0;
            epoll_ctl(m_epoll.get(), EPOLL_CTL_ADD, udev_monitor_get_fd(m_monitor.get()), &event);
        }
        event.data.u32 = 1;
        epoll_ctl(m_epoll.get(), EPOLL_CTL_ADD, m_virtual->signal.fd(), &event);
    }
    std::weak_ptr<VirtualQueue> queue = m_virtual;
    m_listener = m_hub.addListener([queue](bool added, const std::string &path) {
        if (auto target = queue.lock())
            target->push(Event{added ? Change::Added : Change::Removed, path, {}});
    });
}

CameraHotplugMonitor::~CameraHotplugMonitor()
{
    m_hub.removeListener(m_listener);
}

std::vector<CameraHotplugMonitor::Event> CameraHotplugMonitor::readEvents()
{
    std::vector<Event> events;
    if (m_monitor) {
        while (udev_device *device = udev_monitor_receive_device(m_monitor.get())) {
            const char *action = udev_device_get_action(device);
            const char *node = udev_device_get_devnode(device);
            if (action && node && (!std::strcmp(action, "add") || !std::strcmp(action, "remove"))) {
                const char *links = udev_device_get_property_value(device, "DEVLINKS");
                Event event;
                event.change = std::strcmp(action, "add") == 0 ? Change::Added : Change::Removed;
                event.nodePath = node;
                // The by-path folder is no help for a removed node; DEVLINKS comes with the event.
                event.devicePath = CameraEnumerator::stableDevicePath(
                    node, links ? links : "",
                    event.change == Change::Added ? "/dev/v4l/by-path" : "");
                events.push_back(std::move(event));
            }
            udev_device_unref(device);
        }
    }
    m_virtual->signal.consumeWake();
    std::lock_guard guard(m_virtual->lock);
    while (!m_virtual->events.empty()) {
        events.push_back(std::move(m_virtual->events.front()));
        m_virtual->events.pop_front();
    }
    return events;
}

} // namespace varnolet
