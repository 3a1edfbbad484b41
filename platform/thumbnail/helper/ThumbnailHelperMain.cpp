// varnolet-thumbnailer: makes the first frames of movies for the programs' browsers, one
// file after another, shut in by HelperSandbox. Started by ThumbnailHelperClient with its
// socket as descriptor 3; ends when that socket closes.
#include "platform/thumbnail/HelperSandbox.h"
#include "platform/thumbnail/ThumbnailService.h"

#include <cstdio>
#include <string>

extern "C" {
#include <libavutil/log.h>
}

int main()
{
    av_log_set_level(AV_LOG_QUIET);
    std::string error;
    if (!varnolet::HelperSandbox::enter(error)) {
        std::fprintf(stderr, "varnolet-thumbnailer: %s\n", error.c_str());
        return 2;
    }
    return varnolet::ThumbnailService::serve(varnolet::ThumbnailService::kSocketFd);
}
