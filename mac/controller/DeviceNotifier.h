#pragma once

#include <memory>

#include <QObject>

class QSocketNotifier;

namespace varnolet {
class CameraHotplugMonitor;
class VirtualCameraHub;
} // namespace varnolet

// Tells the main thread that a camera was connected or disconnected: udev's video4linux
// events and the plugging of a hub's virtual cameras, read from the event loop.
class DeviceNotifier final : public QObject
{
    Q_OBJECT

public:
    // hub: the virtual cameras to hear of; it outlives the notifier.
    explicit DeviceNotifier(varnolet::VirtualCameraHub &hub, QObject *parent = nullptr);
    ~DeviceNotifier() override;

    // False when neither udev nor the virtual cameras can be watched.
    bool isWatching() const { return m_notifier != nullptr; }

signals:
    void deviceWasConnected();
    void deviceWasDisconnected();

private:
    void readEvents();

    std::unique_ptr<varnolet::CameraHotplugMonitor> m_monitor;
    QSocketNotifier *m_notifier = nullptr;
};
