#include "AtomicFile.h"

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <vector>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace varnolet {

namespace {

std::string temporaryPattern(const std::string &path)
{
    const size_t slash = path.rfind('/');
    const std::string folder =
        slash == std::string::npos ? std::string() : path.substr(0, slash + 1);
    const std::string name = slash == std::string::npos ? path : path.substr(slash + 1);
    return folder + "." + name + ".XXXXXX";
}

int writeAll(int fd, const uint8_t *data, size_t size)
{
    while (size > 0) {
        const ssize_t written = ::write(fd, data, size);
        if (written < 0) {
            if (errno == EINTR)
                continue;
            return errno;
        }
        data += written;
        size -= static_cast<size_t>(written);
    }
    return 0;
}

// Where a write to path really lands: the file a symbolic link names, or path itself.
std::string resolvedTarget(const std::string &path)
{
    char *real = ::realpath(path.c_str(), nullptr);
    if (!real)
        return path;
    std::string target = real;
    std::free(real);
    return target;
}

} // namespace

int AtomicFile::createTemporary(const std::string &path, std::string &temporaryPath)
{
    temporaryPath.clear();
    if (path.empty())
        return -ENOENT;
    std::string pattern = temporaryPattern(path);
    std::vector<char> name(pattern.begin(), pattern.end());
    name.push_back('\0');
    const int fd = ::mkostemp(name.data(), O_CLOEXEC);
    if (fd < 0)
        return -errno;
    temporaryPath = name.data();
    return fd;
}

int AtomicFile::renameKeepingExisting(const std::string &from, const std::string &to)
{
    if (::renameat2(AT_FDCWD, from.c_str(), AT_FDCWD, to.c_str(), RENAME_NOREPLACE) == 0)
        return 0;
    if (errno != EINVAL && errno != ENOSYS)
        return errno;
    // File systems without the flag: a hard link fails on an existing name just the same.
    if (::link(from.c_str(), to.c_str()) != 0)
        return errno;
    ::unlink(from.c_str());
    return 0;
}

int AtomicFile::commit(const std::string &temporaryPath, const std::string &path, Mode mode)
{
    int error = ::chmod(temporaryPath.c_str(), 0644) == 0 ? 0 : errno;
    if (error == 0) {
        if (mode == Mode::Overwrite)
            error = ::rename(temporaryPath.c_str(), path.c_str()) == 0 ? 0 : errno;
        else
            error = renameKeepingExisting(temporaryPath, path);
    }
    if (error != 0)
        ::unlink(temporaryPath.c_str());
    return error;
}

int AtomicFile::write(const std::string &path, const uint8_t *data, size_t size, Mode mode)
{
    if (path.empty())
        return ENOENT;
    if (mode == Mode::KeepExisting && ::access(path.c_str(), F_OK) == 0)
        return EEXIST;

    std::string temporary;
    const int fd = createTemporary(path, temporary);
    if (fd < 0)
        return -fd;
    int error = writeAll(fd, data, size);
    if (::close(fd) != 0 && error == 0)
        error = errno;
    if (error != 0) {
        ::unlink(temporary.c_str());
        return error;
    }
    return commit(temporary, path, mode);
}

int AtomicFile::replace(const std::string &path, std::string_view bytes)
{
    if (path.empty())
        return ENOENT;
    const std::string target = resolvedTarget(path);
    struct stat old
    {
    };
    const mode_t permissions = ::stat(target.c_str(), &old) == 0 ? (old.st_mode & 07777) : 0644;

    std::string temporary;
    const int fd = createTemporary(target, temporary);
    if (fd < 0)
        return -fd;
    int error = writeAll(fd, reinterpret_cast<const uint8_t *>(bytes.data()), bytes.size());
    if (error == 0 && ::fchmod(fd, permissions) != 0)
        error = errno;
    if (error == 0 && ::fsync(fd) != 0)
        error = errno;
    if (::close(fd) != 0 && error == 0)
        error = errno;
    if (error == 0 && ::rename(temporary.c_str(), target.c_str()) != 0)
        error = errno;
    if (error != 0)
        ::unlink(temporary.c_str());
    return error;
}

} // namespace varnolet
