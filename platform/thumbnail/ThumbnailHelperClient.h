#pragma once

#include "ThumbnailProtocol.h"

#include "platform/system/UniqueFd.h"

#include <chrono>
#include <functional>
#include <string>

#include <sys/types.h>

namespace varnolet {

struct ThumbnailHelperOptions
{
    std::string helperPath; // empty: ThumbnailHelperClient::defaultHelperPath()
    std::chrono::milliseconds timeout{5000};
    std::function<void(const std::string &line)> log; // empty: standard error
};

// The programs' side of the thumbnail helper: starts the helper when first needed, hands it
// each movie as an open descriptor and waits for the picture, at most `timeout` per file.
// A helper that dies, hangs past the timeout or answers anything but a well-formed reply for
// the request is ended; that file gets no picture and one log line, and the next file starts
// a new helper. Blocks the calling thread: used from the thumbnail workers. Not thread-safe:
// one client per worker.
class ThumbnailHelperClient
{
public:
    using Options = ThumbnailHelperOptions;

    struct Result
    {
        int status = 0;   // 0, or a negative AVERROR from the helper or kHelperFailed
        BgrImage picture; // top-down, fitted into the box
        int sourceWidth = 0;
        int sourceHeight = 0;
    };

    // The helper crashed, hung, answered garbage or could not be started.
    static constexpr int kHelperFailed = -0x7468756d;

    explicit ThumbnailHelperClient(Options options = {});
    ~ThumbnailHelperClient();
    ThumbnailHelperClient(const ThumbnailHelperClient &) = delete;
    ThumbnailHelperClient &operator=(const ThumbnailHelperClient &) = delete;

    // The first frame of the movie at path (its container from its name) fitted into fit.
    Result firstFrame(const std::string &path, FrameFit fit);

    // "varnolet-thumbnailer" in the folder of the running executable, where the build and
    // the install both put it.
    static std::string defaultHelperPath();
    // Helpers started so far (a restart after a failure counts again).
    int starts() const { return m_starts; }
    // The running helper's process id, 0 when none runs.
    pid_t helperPid() const { return m_pid; }

private:
    bool start();
    void stop();
    bool readFully(uint8_t *data, size_t size, std::chrono::steady_clock::time_point deadline,
                   std::string &why);
    Result fail(const std::string &path, const std::string &why);

    Options m_options;
    UniqueFd m_socket;
    pid_t m_pid = 0;
    int m_starts = 0;
};

} // namespace varnolet
