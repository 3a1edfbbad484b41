#include "DeviceNotifier.h"

#include <QSocketNotifier>

#include "platform/camera/CameraHotplugMonitor.h"

DeviceNotifier::DeviceNotifier(varnolet::VirtualCameraHub &hub, QObject *parent)
    : QObject(parent)
    , m_monitor(std::make_unique<varnolet::CameraHotplugMonitor>(hub))
{
    if (m_monitor->fd() < 0)
        return;
    m_notifier = new QSocketNotifier(m_monitor->fd(), QSocketNotifier::Read, this);
    connect(m_notifier, &QSocketNotifier::activated, this, &DeviceNotifier::readEvents);
}

DeviceNotifier::~DeviceNotifier() = default;

void DeviceNotifier::readEvents()
{
    bool added = false;
    bool removed = false;
    for (const varnolet::CameraHotplugMonitor::Event &event : m_monitor->readEvents()) {
        if (event.change == varnolet::CameraHotplugMonitor::Change::Added)
            added = true;
        else
            removed = true;
    }
    // One notice per kind for a burst: the controller lists the devices again anyway.
    if (removed)
        emit deviceWasDisconnected();
    if (added)
        emit deviceWasConnected();
}
