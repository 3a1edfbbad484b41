#include "ThumbnailHelperClient.h"

#include "ThumbnailService.h"

#include "platform/system/UniqueFd.h"

#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstring>
#include <filesystem>

#include <fcntl.h>
#include <poll.h>
#include <spawn.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

extern "C" {
#include <libavutil/error.h>
}

extern char **environ;

namespace varnolet {

namespace {

std::string errnoText(const char *what)
{
    return std::string(what) + ": " + std::strerror(errno);
}

} // namespace

ThumbnailHelperClient::ThumbnailHelperClient(Options options)
    : m_options(std::move(options))
{
    if (m_options.helperPath.empty())
        m_options.helperPath = defaultHelperPath();
}

ThumbnailHelperClient::~ThumbnailHelperClient()
{
    stop();
}

std::string ThumbnailHelperClient::defaultHelperPath()
{
    // The running executable's own folder, whatever the program folder is set to.
    std::error_code ignored;
    const std::filesystem::path exe = std::filesystem::read_symlink("/proc/self/exe", ignored);
    return (exe.parent_path() / "varnolet-thumbnailer").string();
}

bool ThumbnailHelperClient::start()
{
    int pair[2] = {-1, -1};
    if (::socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, pair) != 0)
        return false;
    UniqueFd ours(pair[0]);
    const UniqueFd helpers(pair[1]);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    // dup2 clears close-on-exec on the copy: the helper gets its end as descriptor 3 only.
    posix_spawn_file_actions_adddup2(&actions, pair[1], ThumbnailService::kSocketFd);
    posix_spawnattr_t attributes;
    posix_spawnattr_init(&attributes);
    sigset_t defaults;
    sigemptyset(&defaults);
    sigaddset(&defaults, SIGPIPE);
    posix_spawnattr_setsigdefault(&attributes, &defaults);
    sigset_t none;
    sigemptyset(&none);
    posix_spawnattr_setsigmask(&attributes, &none);
    posix_spawnattr_setflags(&attributes, POSIX_SPAWN_SETSIGDEF | POSIX_SPAWN_SETSIGMASK);
    char *const argv[] = {const_cast<char *>(m_options.helperPath.c_str()), nullptr};
    pid_t pid = 0;
    const int spawned =
        ::posix_spawn(&pid, m_options.helperPath.c_str(), &actions, &attributes, argv, environ);
    posix_spawn_file_actions_destroy(&actions);
    posix_spawnattr_destroy(&attributes);
    if (spawned != 0) {
        errno = spawned;
        return false;
    }
    m_socket = std::move(ours);
    m_pid = pid;
    ++m_starts;
    return true;
}

void ThumbnailHelperClient::stop()
{
    m_socket.reset();
    if (m_pid > 0) {
        // Closing the socket ends a healthy helper; one that hangs or misbehaves is killed.
        ::kill(m_pid, SIGKILL);
        while (::waitpid(m_pid, nullptr, 0) < 0 && errno == EINTR) {
        }
        m_pid = 0;
    }
}

ThumbnailHelperClient::Result ThumbnailHelperClient::fail(const std::string &path,
                                                          const std::string &why)
{
    stop();
    const std::string line = "thumbnail helper: " + path + ": " + why;
    if (m_options.log)
        m_options.log(line);
    else
        std::fprintf(stderr, "%s\n", line.c_str());
    Result result;
    result.status = kHelperFailed;
    return result;
}

bool ThumbnailHelperClient::readFully(uint8_t *data, size_t size,
                                      std::chrono::steady_clock::time_point deadline,
                                      std::string &why)
{
    size_t done = 0;
    while (done < size) {
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
            deadline - std::chrono::steady_clock::now());
        if (left.count() <= 0) {
            why = "no answer within " + std::to_string(m_options.timeout.count()) + " ms";
            return false;
        }
        pollfd wait{m_socket.get(), POLLIN, 0};
        const int ready = ::poll(&wait, 1, static_cast<int>(left.count()));
        if (ready < 0 && errno == EINTR)
            continue;
        if (ready < 0) {
            why = errnoText("poll");
            return false;
        }
        if (ready == 0)
            continue; // the deadline check above reports it
        const ssize_t got = ::recv(m_socket.get(), data + done, size - done, MSG_DONTWAIT);
        if (got < 0 && (errno == EINTR || errno == EAGAIN))
            continue;
        if (got <= 0) {
            why = got == 0 ? "the helper ended" : errnoText("recv");
            return false;
        }
        done += static_cast<size_t>(got);
    }
    return true;
}

ThumbnailHelperClient::Result ThumbnailHelperClient::firstFrame(const std::string &path,
                                                                FrameFit fit)
{
    Result result;
    ThumbnailRequest request;
    if (!MovieFrameReader::containerOf(path, request.container)) {
        result.status = AVERROR_DEMUXER_NOT_FOUND;
        return result;
    }
    request.fit = fit;
    const auto encoded = ThumbnailProtocol::encodeRequest(request);
    ThumbnailRequest check;
    if (!ThumbnailProtocol::decodeRequest(encoded.data(), encoded.size(), check)) {
        result.status = AVERROR(EINVAL);
        return result;
    }
    // Non-blocking, so that a FIFO under a movie's name cannot stop this thread.
    UniqueFd movie(::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NOCTTY | O_NONBLOCK));
    const int fd = movie.get();
    if (!movie) {
        result.status = AVERROR(errno);
        return result;
    }
    struct stat status = {};
    if (::fstat(fd, &status) != 0 || !S_ISREG(status.st_mode)) {
        result.status = AVERROR(EINVAL);
        return result;
    }
    if (!m_socket && !start()) {
        return fail(path, errnoText(("cannot start " + m_options.helperPath).c_str()));
    }

    alignas(cmsghdr) char control[CMSG_SPACE(sizeof(int))] = {};
    iovec io{const_cast<uint8_t *>(encoded.data()), encoded.size()};
    msghdr message = {};
    message.msg_iov = &io;
    message.msg_iovlen = 1;
    message.msg_control = control;
    message.msg_controllen = sizeof control;
    cmsghdr *header = CMSG_FIRSTHDR(&message);
    header->cmsg_level = SOL_SOCKET;
    header->cmsg_type = SCM_RIGHTS;
    header->cmsg_len = CMSG_LEN(sizeof(int));
    std::memcpy(CMSG_DATA(header), &fd, sizeof fd);
    ssize_t sent = 0;
    do {
        sent = ::sendmsg(m_socket.get(), &message, MSG_NOSIGNAL);
    } while (sent < 0 && errno == EINTR);
    const int sendError = errno;
    movie.reset(); // the helper has its own copy now
    errno = sendError;
    if (sent != static_cast<ssize_t>(encoded.size()))
        return fail(path, sent < 0 ? errnoText("sendmsg") : "short request");

    const auto deadline = std::chrono::steady_clock::now() + m_options.timeout;
    std::string why;
    uint8_t head[ThumbnailProtocol::kReplyHeaderBytes];
    if (!readFully(head, sizeof head, deadline, why))
        return fail(path, why);
    ThumbnailReplyHeader reply;
    if (!ThumbnailProtocol::decodeReplyHeader(head, sizeof head, request, reply))
        return fail(path, "malformed answer");
    if (reply.status != 0) {
        result.status = reply.status; // the file is bad, the helper is fine
        return result;
    }
    result.picture.width = reply.width;
    result.picture.height = reply.height;
    result.picture.bottomUp = false;
    result.picture.pixels.resize(reply.payloadBytes());
    if (!readFully(result.picture.pixels.data(), result.picture.pixels.size(), deadline, why))
        return fail(path, why);
    result.sourceWidth = reply.sourceWidth;
    result.sourceHeight = reply.sourceHeight;
    return result;
}

} // namespace varnolet
