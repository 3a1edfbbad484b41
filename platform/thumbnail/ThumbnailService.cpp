#include "ThumbnailService.h"

#include "platform/system/UniqueFd.h"

#include <cerrno>
#include <cstring>

#include <sys/socket.h>
#include <unistd.h>

namespace varnolet {

bool ThumbnailService::receive(int socket, ThumbnailRequest &request, UniqueFd &received)
{
    received.reset();
    int fd = -1;
    uint8_t bytes[ThumbnailProtocol::kRequestBytes];
    alignas(cmsghdr) char control[CMSG_SPACE(sizeof(int))] = {};
    iovec io{bytes, sizeof bytes};
    msghdr message = {};
    message.msg_iov = &io;
    message.msg_iovlen = 1;
    message.msg_control = control;
    message.msg_controllen = sizeof control;
    ssize_t got = 0;
    do {
        got = ::recvmsg(socket, &message, MSG_CMSG_CLOEXEC | MSG_WAITALL);
    } while (got < 0 && errno == EINTR);
    for (cmsghdr *header = CMSG_FIRSTHDR(&message); header;
         header = CMSG_NXTHDR(&message, header)) {
        if (header->cmsg_level == SOL_SOCKET && header->cmsg_type == SCM_RIGHTS &&
            header->cmsg_len == CMSG_LEN(sizeof(int)))
            std::memcpy(&fd, CMSG_DATA(header), sizeof fd);
    }
    const bool ok = got == static_cast<ssize_t>(sizeof bytes) && fd >= 0 &&
                    !(message.msg_flags & MSG_CTRUNC) &&
                    ThumbnailProtocol::decodeRequest(bytes, sizeof bytes, request);
    UniqueFd owned(fd);
    if (ok)
        received = std::move(owned);
    return ok;
}

std::vector<uint8_t> ThumbnailService::answer(int fd, const ThumbnailRequest &request)
{
    BgrImage picture;
    int sourceWidth = 0;
    int sourceHeight = 0;
    ThumbnailReplyHeader header;
    header.status = MovieFrameReader::readFirstFrame(fd, request.container, picture, false,
                                                     request.fit, &sourceWidth, &sourceHeight);
    if (header.status == 0) {
        header.sourceWidth = sourceWidth;
        header.sourceHeight = sourceHeight;
        header.width = picture.width;
        header.height = picture.height;
    }
    const auto head = ThumbnailProtocol::encodeReplyHeader(header);
    std::vector<uint8_t> bytes(head.begin(), head.end());
    if (header.status == 0)
        bytes.insert(bytes.end(), picture.pixels.begin(), picture.pixels.end());
    return bytes;
}

bool ThumbnailService::send(int socket, const std::vector<uint8_t> &bytes)
{
    size_t done = 0;
    while (done < bytes.size()) {
        const ssize_t put = ::send(socket, bytes.data() + done, bytes.size() - done, MSG_NOSIGNAL);
        if (put < 0 && errno == EINTR)
            continue;
        if (put <= 0)
            return false;
        done += static_cast<size_t>(put);
    }
    return true;
}

int ThumbnailService::serve(int socket)
{
    for (;;) {
        ThumbnailRequest request;
        UniqueFd movie;
        if (!receive(socket, request, movie))
            return 0;
        const std::vector<uint8_t> reply = answer(movie.get(), request);
        if (!send(socket, reply))
            return 0;
    }
}

} // namespace varnolet
