#include "InotifyWatcher.h"

#include <cerrno>
#include <cstring>
#include <filesystem>
#include <system_error>

#include <sys/inotify.h>
#include <unistd.h>

namespace varnolet {

namespace {

constexpr size_t kBufferSize = 16384;

std::string join(const std::string &folder, const std::string &name)
{
    return folder.empty() ? name : folder + "/" + name;
}

bool isSameOrBelow(const std::string &path, const std::string &folder)
{
    return folder.empty() || path == folder ||
           (path.size() > folder.size() && path.compare(0, folder.size(), folder) == 0 &&
            path[folder.size()] == '/');
}

// Names of the folders right inside folder, links to folders left out.
std::vector<std::string> subfolders(const std::string &folder)
{
    std::vector<std::string> names;
    std::error_code error;
    std::filesystem::directory_iterator it(folder, error);
    for (const std::filesystem::directory_iterator end; !error && it != end; it.increment(error)) {
        std::error_code ignored;
        if (it->symlink_status(ignored).type() == std::filesystem::file_type::directory)
            names.push_back(it->path().filename().string());
    }
    return names;
}

} // namespace

InotifyWatcher::InotifyWatcher(WakeablePoll::PollFunction poll)
    : m_queue(::inotify_init1(IN_NONBLOCK | IN_CLOEXEC))
    , m_waiter(poll)
    , m_buffer(kBufferSize)
{
}

int InotifyWatcher::addWatch(const std::string &path, uint32_t mask)
{
    return ::inotify_add_watch(m_queue.get(), path.c_str(), mask);
}

bool InotifyWatcher::removeWatch(int wd)
{
    return ::inotify_rm_watch(m_queue.get(), wd) == 0;
}

std::string InotifyWatcher::fullPath(const std::string &relative) const
{
    return relative.empty() ? m_root : m_root + "/" + relative;
}

bool InotifyWatcher::watchTree(const std::string &root, uint32_t mask)
{
    if (!m_queue || m_rootWatch >= 0 || root.empty())
        return false;
    m_rootWatch = addWatch(root, mask);
    if (m_rootWatch < 0)
        return false;
    m_root = root;
    m_treeMask = mask;
    m_folders[m_rootWatch] = "";
    watchBelow("");
    return true;
}

void InotifyWatcher::watchBelow(const std::string &relative)
{
    if (m_rootWatch >= 0)
        watchFolder(relative, 0);
}

void InotifyWatcher::watchFolder(const std::string &relative, int depth)
{
    if (depth > kMaxDepth)
        return;
    if (!relative.empty()) {
        const int wd = addWatch(fullPath(relative), m_treeMask);
        if (wd < 0)
            return;
        m_folders[wd] = relative;
    }
    for (const std::string &name : subfolders(fullPath(relative)))
        watchFolder(join(relative, name), depth + 1);
}

void InotifyWatcher::dropBelow(const std::string &relative)
{
    for (auto it = m_folders.begin(); it != m_folders.end();) {
        if (it->first != m_rootWatch && isSameOrBelow(it->second, relative)) {
            removeWatch(it->first);
            it = m_folders.erase(it);
        } else {
            ++it;
        }
    }
}

void InotifyWatcher::renameBelow(const std::string &from, const std::string &to)
{
    for (auto &[wd, path] : m_folders) {
        if (wd != m_rootWatch && isSameOrBelow(path, from))
            path = to + path.substr(from.size());
    }
}

void InotifyWatcher::forget(int wd)
{
    m_folders.erase(wd);
}

const std::string *InotifyWatcher::folderOf(int wd) const
{
    const auto found = m_folders.find(wd);
    return found == m_folders.end() ? nullptr : &found->second;
}

WakeablePoll::Result InotifyWatcher::wait(int timeoutMs, int *error)
{
    return m_waiter.wait(m_queue.get(), timeoutMs, error);
}

int InotifyWatcher::read(std::vector<InotifyEvent> &events)
{
    ssize_t length;
    do {
        length = ::read(m_queue.get(), m_buffer.data(), m_buffer.size());
    } while (length < 0 && errno == EINTR);
    if (length < 0)
        return errno == EAGAIN ? 0 : -1;
    if (length == 0)
        return 0;
    size_t at = 0;
    while (at + sizeof(inotify_event) <= static_cast<size_t>(length)) {
        inotify_event event;
        std::memcpy(&event, m_buffer.data() + at, sizeof event);
        const size_t nameAt = at + sizeof(inotify_event);
        if (nameAt + event.len > static_cast<size_t>(length))
            break;
        InotifyEvent &out = events.emplace_back();
        out.wd = event.wd;
        out.mask = event.mask;
        out.cookie = event.cookie;
        if (event.len > 0)
            out.name.assign(m_buffer.data() + nameAt, strnlen(m_buffer.data() + nameAt, event.len));
        at = nameAt + event.len;
    }
    return 1;
}

} // namespace varnolet
