// A thumbnail helper for tests: the real one, sandboxed the same way, except for files whose
// first bytes name a fault. "CRASH" ends the helper by a signal, "HANG" spins until killed,
// "GARBAGE" answers bytes that are no reply, "HUGE" announces a picture larger than asked
// for, "OPEN" tries to open a file by name and answers EACCES as a failed decode when the
// sandbox refused it (and a picture-less success, which the client rejects, when it did not).
#include "platform/thumbnail/HelperSandbox.h"
#include "platform/thumbnail/ThumbnailService.h"

#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstring>
#include <string>

#include <fcntl.h>
#include <unistd.h>

using varnolet::ThumbnailProtocol;
using varnolet::ThumbnailReplyHeader;
using varnolet::ThumbnailService;

namespace {

std::vector<uint8_t> header(const ThumbnailReplyHeader &h)
{
    const auto bytes = ThumbnailProtocol::encodeReplyHeader(h);
    return {bytes.begin(), bytes.end()};
}

} // namespace

int main()
{
    std::string error;
    if (!varnolet::HelperSandbox::enter(error)) {
        std::fprintf(stderr, "misbehaving thumbnailer: %s\n", error.c_str());
        return 2;
    }
    const int socket = ThumbnailService::kSocketFd;
    for (;;) {
        varnolet::ThumbnailRequest request;
        varnolet::UniqueFd fd;
        if (!ThumbnailService::receive(socket, request, fd))
            return 0;
        char start[8] = {};
        const ssize_t got = ::pread(fd.get(), start, sizeof start - 1, 0);
        const std::string fault = got > 0 ? std::string(start, static_cast<size_t>(got)) : "";
        std::vector<uint8_t> reply;
        if (fault.rfind("CRASH", 0) == 0) {
            std::raise(SIGSEGV);
        } else if (fault.rfind("HANG", 0) == 0) {
            volatile unsigned spin = 0;
            for (;;)
                spin = spin + 1;
        } else if (fault.rfind("GARBAGE", 0) == 0) {
            reply.assign(4096, 0x5a);
        } else if (fault.rfind("HUGE", 0) == 0) {
            ThumbnailReplyHeader h;
            h.sourceWidth = h.sourceHeight = 16000;
            h.width = h.height = 16000;
            reply = header(h);
        } else if (fault.rfind("OPEN", 0) == 0) {
            const varnolet::UniqueFd other(::open("/etc/hostname", O_RDONLY | O_CLOEXEC));
            ThumbnailReplyHeader h;
            h.status = !other && errno == EACCES ? -EACCES : 0;
            reply = header(h);
        } else {
            reply = ThumbnailService::answer(fd.get(), request);
        }
        fd.reset();
        if (!ThumbnailService::send(socket, reply))
            return 0;
    }
}
