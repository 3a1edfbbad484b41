#include "VirtualCameraHub.h"

#include "VirtualCamera.h"

#include <cerrno>
#include <stdexcept>

namespace varnolet {

VirtualCameraHub::VirtualCameraHub(std::shared_ptr<const Clock> clock)
    : m_clock(std::move(clock))
{
    if (!m_clock)
        throw std::invalid_argument("a virtual camera hub needs a clock");
}

bool VirtualCameraHub::isVirtualPath(const std::string &devicePath)
{
    return devicePath.rfind(kPathPrefix, 0) == 0;
}

std::string VirtualCameraHub::plug(const VirtualCameraOptions &options)
{
    auto device = std::make_shared<Device>();
    device->clock = m_clock;
    std::string path;
    {
        std::lock_guard guard(m_lock);
        int number = 0;
        while (m_devices.count(number))
            ++number;
        path = kPathPrefix + std::to_string(number);
        device->identity.devicePath = path;
        device->identity.friendlyName =
            !options.name.empty() ? options.name
            : number == 0         ? std::string(kDefaultName)
                                  : std::string(kDefaultName) + " " + std::to_string(number + 1);
        // A location on a bus no real machine has, one port per camera.
        device->identity.usbLocation =
            0xFE000000u | (static_cast<uint32_t>((number + 1) & 0xF) << 20);
        device->identity.usbProductId = static_cast<uint16_t>(number + 1);
        device->identity.isVirtual = true;
        device->snapshotButton = options.snapshotButton;
        device->busy = options.busy;
        m_devices[number] = device;
    }
    notify(true, path);
    return path;
}

bool VirtualCameraHub::unplug(const std::string &devicePath)
{
    std::shared_ptr<Device> device;
    {
        std::lock_guard guard(m_lock);
        for (auto it = m_devices.begin(); it != m_devices.end(); ++it) {
            if (it->second->identity.devicePath == devicePath) {
                device = it->second;
                m_devices.erase(it);
                break;
            }
        }
    }
    if (!device)
        return false;
    {
        std::lock_guard guard(device->lock);
        device->present = false;
    }
    notify(false, devicePath);
    return true;
}

void VirtualCameraHub::unplugAll()
{
    for (const CameraIdentity &identity : list())
        unplug(identity.devicePath);
}

std::shared_ptr<VirtualCameraHub::Device>
VirtualCameraHub::find(const std::string &devicePath) const
{
    std::lock_guard guard(m_lock);
    for (const auto &[number, device] : m_devices) {
        if (device->identity.devicePath == devicePath)
            return device;
    }
    return nullptr;
}

bool VirtualCameraHub::setBusy(const std::string &devicePath, bool busy)
{
    auto device = find(devicePath);
    if (!device)
        return false;
    std::lock_guard guard(device->lock);
    device->busy = busy;
    return true;
}

bool VirtualCameraHub::setButton(const std::string &devicePath, bool pressed)
{
    auto device = find(devicePath);
    if (!device || !device->snapshotButton)
        return false;
    std::lock_guard guard(device->buttonLock);
    if (device->buttonCallback)
        device->buttonCallback(pressed);
    return true;
}

bool VirtualCameraHub::pressButton(const std::string &devicePath)
{
    return setButton(devicePath, true) && setButton(devicePath, false);
}

std::vector<CameraIdentity> VirtualCameraHub::list() const
{
    std::lock_guard guard(m_lock);
    std::vector<CameraIdentity> identities;
    for (const auto &[number, device] : m_devices)
        identities.push_back(device->identity);
    return identities;
}

bool VirtualCameraHub::contains(const std::string &devicePath) const
{
    return find(devicePath) != nullptr;
}

std::unique_ptr<CameraSource> VirtualCameraHub::open(const std::string &devicePath,
                                                     int &error) const
{
    auto device = find(devicePath);
    if (!device) {
        error = -ENODEV;
        return nullptr;
    }
    error = 0;
    return std::make_unique<VirtualCamera>(device);
}

int VirtualCameraHub::addListener(Listener listener)
{
    std::lock_guard guard(m_lock);
    const int id = m_nextListener++;
    m_listeners[id] = std::move(listener);
    return id;
}

void VirtualCameraHub::removeListener(int id)
{
    std::lock_guard guard(m_lock);
    m_listeners.erase(id);
}

void VirtualCameraHub::notify(bool added, const std::string &devicePath)
{
    std::vector<Listener> listeners;
    {
        std::lock_guard guard(m_lock);
        for (const auto &[id, listener] : m_listeners)
            listeners.push_back(listener);
    }
    for (const Listener &listener : listeners)
        listener(added, devicePath);
}

} // namespace varnolet
