#pragma once

#include "ThumbnailProtocol.h"
#include "platform/system/UniqueFd.h"

#include <vector>

namespace varnolet {

// The thumbnail helper's side of the socket: takes requests with their open files and
// answers each with the first frame of the movie fitted into the requested box.
class ThumbnailService
{
public:
    // The socket the programs hand the helper, as its descriptor 3.
    static constexpr int kSocketFd = 3;

    // A request and the descriptor that came with it, now the caller's. False, with no
    // descriptor, when the other side has gone or sent something that is not a request (the
    // helper then ends).
    static bool receive(int socket, ThumbnailRequest &request, UniqueFd &fd);
    // The answer for one file: the header and the rows that follow it.
    static std::vector<uint8_t> answer(int fd, const ThumbnailRequest &request);
    // Writes all of bytes; false when the other side has gone.
    static bool send(int socket, const std::vector<uint8_t> &bytes);
    // Receives and answers requests until the other side goes; the helper's whole life.
    static int serve(int socket);
};

} // namespace varnolet
