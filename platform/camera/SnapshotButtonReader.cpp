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

SnapshotButtonReader::SnapshotButtonReader(std::string eventNode)
    : m_eventNode(std::move(eventNode))
{
}

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
    auto waiter = std::make_unique<WakeablePoll>();
    if (!waiter->valid())
        return -errno;
    m_input = std::move(input);
    m_waiter = std::move(waiter);
    m_thread = std::thread(&SnapshotButtonReader::run, this, std::move(callback));
    return 0;
}

void SnapshotButtonReader::stop()
{
    if (!m_thread.joinable())
        return;
    m_waiter->wake();
    m_thread.join();
    m_input.reset();
    m_waiter.reset();
}

void SnapshotButtonReader::run(Callback callback)
{
    ThreadName::set("SnapshotButton");
    while (true) {
        const WakeablePoll::Result result = m_waiter->wait(m_input.get());
        if (result == WakeablePoll::Result::Woken || result == WakeablePoll::Result::Failed)
            return; // stop() asked, or the camera is gone
        if (result != WakeablePoll::Result::Ready)
            continue;
        input_event events[16];
        const ssize_t bytes = ::read(m_input.get(), events, sizeof events);
        if (bytes < 0) {
            if (errno == EAGAIN || errno == EINTR)
                continue;
            return;
        }
        const size_t count = static_cast<size_t>(bytes) / sizeof(input_event);
        for (size_t i = 0; i < count; ++i) {
            if (events[i].type == EV_KEY && events[i].code == KEY_CAMERA && events[i].value != 2 &&
                callback)
                callback(events[i].value != 0);
        }
    }
}

} // namespace varnolet
