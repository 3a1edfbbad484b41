#include "RecordingFile.h"

#include "QuickTimeFragmentScan.h"

#include "platform/system/AtomicFile.h"
#include "platform/system/UniqueFd.h"

#include <cerrno>
#include <cstdio>
#include <string_view>
#include <vector>

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

namespace varnolet {

namespace {

constexpr std::string_view kRecordingSuffix = ".recording";

std::string folderOf(const std::string &path)
{
    const size_t slash = path.rfind('/');
    return slash == std::string::npos ? std::string(".") : path.substr(0, slash);
}

// Makes the folder and the folders above it that are missing. 0 or errno.
int makeFolders(const std::string &folder)
{
    if (folder.empty() || folder == "/" || folder == ".")
        return 0;
    struct stat info
    {
    };
    if (::stat(folder.c_str(), &info) == 0)
        return S_ISDIR(info.st_mode) ? 0 : ENOTDIR;
    if (const int error = makeFolders(folderOf(folder)); error != 0)
        return error;
    if (::mkdir(folder.c_str(), 0755) != 0 && errno != EEXIST)
        return errno;
    return 0;
}

bool isEmptyRegularFile(const std::string &path)
{
    struct stat info
    {
    };
    return ::lstat(path.c_str(), &info) == 0 && S_ISREG(info.st_mode) && info.st_size == 0;
}

bool exists(const std::string &path)
{
    struct stat info
    {
    };
    return ::lstat(path.c_str(), &info) == 0;
}

// Copies the whole of an open file to a new file at path. 0 or errno.
int copyOut(int fd, const std::string &path)
{
    const int out = ::open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0644);
    if (out < 0)
        return errno;
    const UniqueFd closer(out);
    std::vector<uint8_t> buffer(1 << 20);
    off_t offset = 0;
    while (true) {
        const ssize_t got = ::pread(fd, buffer.data(), buffer.size(), offset);
        if (got < 0 && errno == EINTR)
            continue;
        if (got < 0) {
            const int error = errno;
            ::unlink(path.c_str());
            return error;
        }
        if (got == 0)
            break;
        for (ssize_t done = 0; done < got;) {
            const ssize_t put = ::write(out, buffer.data() + done, static_cast<size_t>(got - done));
            if (put < 0 && errno == EINTR)
                continue;
            if (put < 0) {
                const int error = errno;
                ::unlink(path.c_str());
                return error;
            }
            done += put;
        }
        offset += got;
    }
    if (::fsync(out) != 0 && errno != EINVAL) {
        const int error = errno;
        ::unlink(path.c_str());
        return error;
    }
    return 0;
}

} // namespace

std::string RecordingFile::recordingPathFor(const std::string &path)
{
    const size_t slash = path.rfind('/');
    const std::string folder =
        slash == std::string::npos ? std::string() : path.substr(0, slash + 1);
    const std::string name = slash == std::string::npos ? path : path.substr(slash + 1);
    return folder + "." + name + std::string(kRecordingSuffix);
}

std::string RecordingFile::finalPathFor(const std::string &recordingPath)
{
    const size_t slash = recordingPath.rfind('/');
    const std::string folder =
        slash == std::string::npos ? std::string() : recordingPath.substr(0, slash + 1);
    const std::string name =
        slash == std::string::npos ? recordingPath : recordingPath.substr(slash + 1);
    if (name.size() <= kRecordingSuffix.size() + 1 || name[0] != '.' ||
        name.compare(name.size() - kRecordingSuffix.size(), kRecordingSuffix.size(),
                     kRecordingSuffix) != 0)
        return {};
    const std::string finalName = name.substr(1, name.size() - 1 - kRecordingSuffix.size());
    if (finalName.empty() || finalName == "." || finalName == "..")
        return {};
    return folder + finalName;
}

RecordingFile::~RecordingFile()
{
    close();
}

void RecordingFile::close()
{
    m_fd.reset();
}

int RecordingFile::open(const std::string &path)
{
    if (isOpen())
        return EBUSY;
    if (path.empty())
        return ENOENT;
    // The reservation: an empty file under the final name that nobody else can take.
    if (!UniqueFd(::open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0644)))
        return errno;
    const std::string recording = recordingPathFor(path);
    const int fd = ::open(recording.c_str(), O_RDWR | O_CREAT | O_EXCL | O_CLOEXEC, 0644);
    if (fd < 0) {
        const int error = errno;
        ::unlink(path.c_str());
        return error;
    }
    // Held for the whole recording, so that a recovery run elsewhere leaves this file alone.
    ::flock(fd, LOCK_EX | LOCK_NB);
    m_path = path;
    m_recordingPath = recording;
    m_keptPath.clear();
    m_fd.reset(fd);
    return 0;
}

int64_t RecordingFile::size() const
{
    struct stat info
    {
    };
    return m_fd && ::fstat(m_fd.get(), &info) == 0 ? static_cast<int64_t>(info.st_size) : 0;
}

void RecordingFile::discard()
{
    if (!m_fd)
        return;
    close();
    ::unlink(m_recordingPath.c_str());
    if (isEmptyRegularFile(m_path))
        ::unlink(m_path.c_str());
}

int RecordingFile::keep(int64_t length)
{
    if (!m_fd)
        return EBADF;
    const UniqueFd closer(m_fd.release());
    int firstError = 0;
    auto fail = [&firstError](int error) {
        if (firstError == 0)
            firstError = error;
        return firstError;
    };
    struct stat info
    {
    };
    if (::fstat(closer.get(), &info) == 0 && info.st_size > length) {
        // A fragment cut short by the failure: the movie ends at the last complete one.
        if (::ftruncate(closer.get(), length) != 0)
            fail(errno);
    }
    if (::fdatasync(closer.get()) != 0 && errno != EINVAL && errno != EROFS)
        fail(errno);

    if (::rename(m_recordingPath.c_str(), m_path.c_str()) == 0) {
        m_keptPath = m_path;
        return firstError;
    }
    int error = errno;
    if (error == ENOENT || error == ENOTDIR) {
        // The folder went away while recording. Put the movie back at its name: the folder is
        // made again and the file, still open here, renamed or copied into it.
        error = makeFolders(folderOf(m_path));
        if (error == 0 && ::fstat(closer.get(), &info) == 0 && info.st_nlink > 0 &&
            ::rename(m_recordingPath.c_str(), m_path.c_str()) == 0) {
            m_keptPath = m_path;
        } else if (error == 0) {
            if (isEmptyRegularFile(m_path))
                ::unlink(m_path.c_str());
            error = copyOut(closer.get(), m_path);
            if (error == 0) {
                ::unlink(m_recordingPath.c_str());
                m_keptPath = m_path;
            }
        }
        if (m_keptPath.empty()) {
            // The folder cannot be made again (a file took its place): the nearest folder
            // above it that still exists takes the movie instead.
            const std::string name = m_path.substr(m_path.rfind('/') + 1);
            for (std::string folder = folderOf(folderOf(m_path));
                 m_keptPath.empty() && !folder.empty() && folder != "." && folder != "/";
                 folder = folderOf(folder)) {
                struct stat place
                {
                };
                if (::stat(folder.c_str(), &place) == 0 && S_ISDIR(place.st_mode) &&
                    copyOut(closer.get(), folder + "/" + name) == 0)
                    m_keptPath = folder + "/" + name;
            }
        }
        fail(ENOENT); // the user is told: the folder was gone
        if (!m_keptPath.empty())
            return firstError;
    }
    fail(error);
    if (exists(m_recordingPath))
        m_keptPath = m_recordingPath; // where it lies
    return firstError;
}

RecordingFile::Recovery RecordingFile::recover(const std::string &recordingPath)
{
    Recovery recovery;
    const std::string finalPath = finalPathFor(recordingPath);
    if (finalPath.empty()) {
        recovery.error = EINVAL;
        return recovery;
    }
    const int fd = ::open(recordingPath.c_str(), O_RDWR | O_NOFOLLOW | O_CLOEXEC | O_NONBLOCK);
    if (fd < 0) {
        recovery.error = errno;
        return recovery;
    }
    const UniqueFd closer(fd);
    struct stat info
    {
    };
    if (::fstat(fd, &info) != 0 || !S_ISREG(info.st_mode)) {
        recovery.error = EINVAL;
        return recovery;
    }
    if (::flock(fd, LOCK_EX | LOCK_NB) != 0) {
        recovery.outcome = Recovery::Outcome::InUse;
        return recovery;
    }
    const QuickTimeFragmentScan::Result scan = QuickTimeFragmentScan::scan(
        static_cast<uint64_t>(info.st_size), [fd](uint64_t offset, uint8_t *data, size_t size) {
            size_t done = 0;
            while (done < size) {
                const ssize_t got =
                    ::pread(fd, data + done, size - done, static_cast<off_t>(offset + done));
                if (got < 0 && errno == EINTR)
                    continue;
                if (got <= 0)
                    return false;
                done += static_cast<size_t>(got);
            }
            return true;
        });
    recovery.fragments = scan.fragments;
    if (!scan.hasMovieHeader || scan.fragments == 0) {
        if (!scan.hasMovieHeader && info.st_size > 0) {
            // Not a recording of ours: left as it is.
            recovery.error = EINVAL;
            return recovery;
        }
        // A recording that never reached its first fragment holds nothing to keep.
        ::unlink(recordingPath.c_str());
        if (isEmptyRegularFile(finalPath))
            ::unlink(finalPath.c_str());
        recovery.outcome = Recovery::Outcome::Removed;
        return recovery;
    }
    if (static_cast<uint64_t>(info.st_size) > scan.completeLength &&
        ::ftruncate(fd, static_cast<off_t>(scan.completeLength)) != 0) {
        recovery.error = errno;
        return recovery;
    }
    ::fdatasync(fd);
    if (isEmptyRegularFile(finalPath))
        ::unlink(finalPath.c_str()); // the reservation of the recording
    // The final name, or when something else took it meanwhile "name-2.mov" and on.
    const size_t dot = finalPath.rfind('.');
    const bool hasExtension = dot != std::string::npos && dot > finalPath.rfind('/') + 1;
    const std::string stem = hasExtension ? finalPath.substr(0, dot) : finalPath;
    const std::string extension = hasExtension ? finalPath.substr(dot) : std::string();
    for (int attempt = 1; attempt <= 100; ++attempt) {
        const std::string target =
            attempt == 1 ? finalPath : stem + "-" + std::to_string(attempt) + extension;
        recovery.error = AtomicFile::renameKeepingExisting(recordingPath, target);
        if (recovery.error == 0) {
            recovery.outcome = Recovery::Outcome::Recovered;
            recovery.path = target;
            return recovery;
        }
        if (recovery.error != EEXIST)
            break;
    }
    recovery.outcome = Recovery::Outcome::KeptInPlace;
    recovery.path = recordingPath;
    return recovery;
}

} // namespace varnolet
