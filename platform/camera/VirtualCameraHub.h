#pragma once

#include "CameraSource.h"
#include "TestPatternRenderer.h"

#include "platform/system/Clock.h"

#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

namespace varnolet {

struct VirtualCameraOptions
{
    std::string name;  // empty: "Varnolet Virtual Camera", then "... 2", "... 3"
    bool busy = false; // held by another program: starting fails with EBUSY
    bool snapshotButton = true;
};

// A set of virtual cameras. Each program's main makes one and hands it to the enumerators,
// hotplug monitors and camera controls that use it; each test makes its own. None is
// plugged until the program (--virtual-camera) or a test plugs one; then the enumerators
// made on this hub list it and its hotplug monitors hear of it. The cameras show the time
// of the hub's clock on their picture. The hub outlives everything handed it. Thread-safe.
class VirtualCameraHub
{
public:
    static constexpr const char *kPathPrefix = "virtual:";
    static constexpr const char *kDefaultName = "Varnolet Virtual Camera";

    // State of one plugged virtual camera, shared by the hub and the sources opened on it.
    struct Device
    {
        CameraIdentity identity;
        bool snapshotButton = true;
        std::shared_ptr<const Clock> clock; // never null

        std::mutex lock; // guards the fields below
        bool present = true;
        bool busy = false;
        bool streaming = false;
        PictureAdjustments adjustments;

        std::mutex buttonLock; // guards buttonCallback and serialises its calls
        CameraSource::ButtonCallback buttonCallback;
        const void *buttonOwner = nullptr;
    };

    // added = true for a plug, false for an unplug.
    using Listener = std::function<void(bool added, const std::string &devicePath)>;

    // clock: the time on the cameras' picture; throws std::invalid_argument when null.
    explicit VirtualCameraHub(std::shared_ptr<const Clock> clock);
    VirtualCameraHub(const VirtualCameraHub &) = delete;
    VirtualCameraHub &operator=(const VirtualCameraHub &) = delete;

    // Plugs a camera and answers its device path ("virtual:0", the lowest free number).
    std::string plug(const VirtualCameraOptions &options = {});
    // Unplugs a camera; a stream running on it ends with -ENODEV. False when not plugged.
    bool unplug(const std::string &devicePath);
    void unplugAll();
    bool setBusy(const std::string &devicePath, bool busy);
    // Presses and releases the snapshot button. False without that camera or button.
    bool pressButton(const std::string &devicePath);
    bool setButton(const std::string &devicePath, bool pressed);

    std::vector<CameraIdentity> list() const;
    bool contains(const std::string &devicePath) const;
    // Opens a source on a plugged camera; null with error -ENODEV when there is none.
    std::unique_ptr<CameraSource> open(const std::string &devicePath, int &error) const;

    int addListener(Listener listener);
    void removeListener(int id);

    static bool isVirtualPath(const std::string &devicePath);

private:
    std::shared_ptr<Device> find(const std::string &devicePath) const;
    void notify(bool added, const std::string &devicePath);

    const std::shared_ptr<const Clock> m_clock; // never null

    mutable std::mutex m_lock; // guards m_devices, m_listeners, m_nextListener
    std::map<int, std::shared_ptr<Device>> m_devices; // by camera number
    std::map<int, Listener> m_listeners;
    int m_nextListener = 1;
};

} // namespace varnolet
