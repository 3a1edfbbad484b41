#pragma once

#include "platform/system/UniqueFd.h"

#include "platform/system/WakeablePoll.h"

#include <functional>
#include <memory>
#include <string>
#include <thread>

namespace varnolet {

// The snapshot button of a USB camera: the evdev input device that the camera driver
// creates below the same USB device and that reports KEY_CAMERA. A reader thread reports
// presses and releases; stop() (and destruction) joins it.
class SnapshotButtonReader
{
public:
    using Callback = std::function<void(bool pressed)>;

    // The event node ("/dev/input/event5") of the KEY_CAMERA input below usbSysfsPath, or
    // empty. sysfsRoot lets tests point at a fixture tree; dev nodes are named after the
    // event folder.
    static std::string findEventDevice(const std::string &usbSysfsPath,
                                       const std::string &sysfsRoot = "/sys",
                                       const std::string &devRoot = "/dev");
    // Whether a sysfs "capabilities/key" bitmap (hex words, most significant first) has
    // KEY_CAMERA.
    static bool keyBitmapHasCamera(const std::string &bitmapText);

    explicit SnapshotButtonReader(std::string eventNode);
    ~SnapshotButtonReader();
    SnapshotButtonReader(const SnapshotButtonReader &) = delete;
    SnapshotButtonReader &operator=(const SnapshotButtonReader &) = delete;

    const std::string &eventNode() const { return m_eventNode; }
    // Opens the node and starts the reader thread. 0 or a negative errno.
    int start(Callback callback);
    void stop();
    bool isRunning() const { return m_thread.joinable(); }

private:
    void run(Callback callback);

    std::string m_eventNode;
    UniqueFd m_input;
    std::unique_ptr<WakeablePoll> m_waiter; // its wake-up ends the reader
    std::thread m_thread;
};

} // namespace varnolet
