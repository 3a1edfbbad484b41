#include "SnapshotButtonReader.h"

#include "platform/system/ThreadName.h"

#include <algorithm>
#include <cerrno>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <vector>

#include <fcntl.h>
#include <linux/input.h>
#include <poll.h>
#include <sys/eventfd.h>
#include <unistd.h>

namespace varnolet {

namespace fs = std::filesystem;

bool SnapshotButtonReader::keyBitmapHasCamera(const std::string &bitmapText)
{
    std::istringstream stream(bitmapText);
    std::vector<std::string> words;
    std::string word;
    while (stream >> word)
        words.push_back(word);
    // The last word holds bits 0..63 (the kernel prints unsigned longs, highest first).
    constexpr unsigned kWordBits = 64;
    const size_t index = KEY_CAMERA / kWordBits;
    if (index >= words.size())
        return false;
    const std::string &text = words[words.size() - 1 - index];
    unsigned long long value = 0;
    try {
        size_t used = 0;
        value = std::stoull(text, &used, 16);
        if (used != text.size())
            return false;
    } catch (...) {
        return false;
    }
    return (value >> (KEY_CAMERA % kWordBits)) & 1u;
}

std::string SnapshotButtonReader::findEventDevice(const std::string &usbSysfsPath,
                                                  const std::string &sysfsRoot,
                                                  const std::string &devRoot)
{
    if (usbSysfsPath.empty())
        return {};
    std::error_code error;
    const fs::path usb = fs::weakly_canonical(usbSysfsPath, error);
    if (error)
        return {};
    const std::string prefix = usb.string() + "/";
    std::vector<std::string> found;
    for (const auto &entry : fs::directory_iterator(fs::path(sysfsRoot) / "class/input", error)) {
        const std::string name = entry.path().filename().string();
        if (name.rfind("event", 0) != 0)
            continue;
        std::error_code entryError;
        // eventN/device is the inputN folder, which sits below the USB device.
        const fs::path input = fs::canonical(entry.path() / "device", entryError);
        if (entryError || input.string().rfind(prefix, 0) != 0)
            continue;
        std::ifstream key(input / "capabilities/key");
        std::string bitmap;
        std::getline(key, bitmap);
        if (keyBitmapHasCamera(bitmap))
            found.push_back(name);
    }
    if (found.empty())
        return {};
    std::sort(found.begin(), found.end());
    return devRoot + "/input/" + found.front();
}

SnapshotButtonReader::SnapshotButtonReader(std::string eventNode) : m_eventNode(std::move(eventNode)) {}

SnapshotButtonReader::~SnapshotButtonReader()
{
    stop();
}

int SnapshotButtonReader::start(Callback callback)
{
    if (m_thread.joinable())
        return -EBUSY;
    UniqueFd input(::open(m_eventNode.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC));
    if (!input)
        return -errno;
    UniqueFd wake(::eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK));
    if (!wake)
        return -errno;
    m_input = std::move(input);
    m_wake = std::move(wake);
    m_thread = std::thread(&SnapshotButtonReader::run, this, std::move(callback));
    return 0;
}

void SnapshotButtonReader::stop()
{
    if (!m_thread.joinable())
        return;
    const uint64_t one = 1;
    [[maybe_unused]] ssize_t written = ::write(m_wake.get(), &one, sizeof one);
    m_thread.join();
    m_input.reset();
    m_wake.reset();
}

void SnapshotButtonReader::run(Callback callback)
{
    ThreadName::set("SnapshotButton");
    pollfd fds[2] = {{m_input.get(), POLLIN, 0}, {m_wake.get(), POLLIN, 0}};
    while (true) {
        const int ready = ::poll(fds, 2, -1);
        if (ready < 0) {
            if (errno == EINTR)
                continue;
            return;
        }
        if (fds[1].revents)
            return;
        if (fds[0].revents & (POLLERR | POLLHUP | POLLNVAL))
            return; // the camera is gone
        input_event events[16];
        const ssize_t bytes = ::read(m_input.get(), events, sizeof events);
        if (bytes < 0) {
            if (errno == EAGAIN || errno == EINTR)
                continue;
            return;
        }
        const size_t count = static_cast<size_t>(bytes) / sizeof(input_event);
        for (size_t i = 0; i < count; ++i) {
            if (events[i].type == EV_KEY && events[i].code == KEY_CAMERA && events[i].value != 2 && callback)
                callback(events[i].value != 0);
        }
    }
}

} // namespace varnolet
