#pragma once

#include <atomic>
#include <cstdint>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "platform/system/InotifyWatcher.h"

class VxKQueueDelegate;
class VxMainThreadProxy;

// Notification names of the seven change kinds, in the order they are reported.
extern const char *const VxFileWatcherRenameNotification;
extern const char *const VxFileWatcherWriteNotification;
extern const char *const VxFileWatcherDeleteNotification;
extern const char *const VxFileWatcherAttributeChangeNotification;
extern const char *const VxFileWatcherSizeIncreaseNotification;
extern const char *const VxFileWatcherLinkCountChangeNotification;
extern const char *const VxFileWatcherAccessRevocationNotification;

// Watches paths on a thread of its own (inotify) and reports each change to a delegate on
// the main thread, or, without a delegate (or with alwaysNotify), as a notification on the
// process-wide VxNotificationCenter with the user information {"path": path}.
//
// For a watched folder, adding, removing or renaming an entry reports a write (and a link
// count change when the entry is a folder); renaming or deleting the watched path itself
// reports a rename or a delete. Destroying the watcher ends and joins its thread at once,
// also while the thread waits for a delegate call on the main thread (that call is then
// dropped); without the wake-up the 5-second wait would bound it.
class VxKQueue
{
public:
    // Change kinds, with the values of the kernel event flags they stand for.
    enum Note : uint32_t {
        NoteDelete = 0x01,
        NoteWrite = 0x02,
        NoteExtend = 0x04,
        NoteAttrib = 0x08,
        NoteLink = 0x10,
        NoteRename = 0x20,
        NoteRevoke = 0x40,
    };
    static constexpr uint32_t kDefaultInterest =
        NoteDelete | NoteWrite | NoteAttrib | NoteRename; // 43

    // A running watcher; none when no kernel queue can be made.
    // The poll() the watcher thread waits with: null for the system's, or a stand-in that
    // fails on purpose.
    using PollFunction = varnolet::WakeablePoll::PollFunction;
    static std::unique_ptr<VxKQueue> init(PollFunction poll = nullptr);
    // One process-wide watcher, made on first use; null when it could not be made. It is
    // ended and its thread joined when the application object goes (or by
    // releaseSharedFileWatcher()).
    static VxKQueue *sharedFileWatcher();
    static void releaseSharedFileWatcher();
    ~VxKQueue();
    VxKQueue(const VxKQueue &) = delete;
    VxKQueue &operator=(const VxKQueue &) = delete;

    void addPath(const std::string &path);
    // Watches the path for the change kinds in flags. A path that cannot be watched is
    // ignored; a path added twice is reported twice.
    void addPathToQueue(const std::string &path, uint32_t notifyingAbout);
    void removePath(const std::string &path);
    void removePathFromQueue(const std::string &path);
    void removeAllPathsFromQueue();

    void setDelegate(VxKQueueDelegate *delegate);
    VxKQueueDelegate *delegate() const;
    void setAlwaysNotify(bool on);
    bool alwaysNotify() const;
    int queueFD() const { return m_queue.fd(); }

    void postNotification(const std::string &name, const std::string &forFile);
    // Reports every change kind set in flags, in table order.
    void postChanges(const std::string &path, uint32_t flags);
    std::string description() const;
    std::vector<std::string> watchedPaths() const;

private:
    struct Entry
    {
        std::string path;
        int wd;         // inotify watch, -1 once the kernel dropped it
        uint32_t flags; // change kinds asked for
        int64_t size;   // last size seen, for size increases
    };

    explicit VxKQueue(PollFunction poll);
    void watcherThread();
    void readEvents();
    bool isRunning() const;

    varnolet::InotifyWatcher m_queue; // its wake-up ends the thread

    mutable std::mutex m_lock;    // guards the fields below
    std::vector<Entry> m_watched; // watchedPaths and watchedFDs, entry by entry
    VxKQueueDelegate *m_delegate = nullptr;
    std::shared_ptr<VxMainThreadProxy> m_delegateProxy;
    bool m_alwaysNotify = false;
    bool m_keepThreadRunning = true;

    std::thread m_thread;
};
