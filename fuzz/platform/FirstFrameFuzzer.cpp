// Any bytes as a movie file: the first frame read that thumbnails use. The bytes go to one
// temporary file per process, rewritten for every input, named like an AVI recording when
// they start like one and like a QuickTime movie otherwise.
#include "FuzzerDefaults.h"

#include "platform/media/MovieFrameReader.h"

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <string>

#include <fcntl.h>
#include <unistd.h>

extern "C" {
#include <libavutil/log.h>
}

using varnolet::BgrImage;
using varnolet::MovieFrameReader;

namespace {

std::string g_stem;
std::string g_path;

void removeFile()
{
    if (!g_stem.empty()) {
        std::remove((g_stem + ".avi").c_str());
        std::remove((g_stem + ".mov").c_str());
    }
}

bool writeFile(const uint8_t *data, size_t size)
{
    FILE *file = std::fopen(g_path.c_str(), "wbe");
    if (!file)
        return false;
    const bool written = size == 0 || std::fwrite(data, 1, size, file) == size;
    return std::fclose(file) == 0 && written;
}

} // namespace

extern "C" int LLVMFuzzerInitialize(int *argc, char ***argv)
{
    // FFmpeg is not instrumented and can be slow on odd input; a frame up to 16384 x 16384
    // is allowed, which needs about 2 GB with the decoder's own buffers.
    fuzzdefaults::addDefaults(argc, argv, {"-timeout=30", "-rss_limit_mb=3072", "-max_len=262144"});
    av_log_set_level(AV_LOG_QUIET);
    const char *folder = std::getenv("TMPDIR");
    g_stem = std::string(folder && *folder ? folder : "/tmp") + "/varnolet-fuzz-first-frame-" +
             std::to_string(::getpid());
    std::atexit(removeFile);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const bool avi = size >= 4 && std::memcmp(data, "RIFF", 4) == 0;
    g_path = g_stem + (avi ? ".avi" : ".mov");
    FUZZ_CHECK(writeFile(data, size));
    const bool bottomUp = size % 2 == 1;
    // Every third input is also scaled down, as the thumbnail helper asks for.
    const varnolet::FrameFit fit =
        size % 3 == 0 ? varnolet::FrameFit{64, 48} : varnolet::FrameFit{};
    BgrImage image;
    image.width = 7; // anything left over must be cleared
    int result = 0;
    if (fit.maxWidth == 0) {
        result = MovieFrameReader::readFirstFrame(g_path, image, bottomUp);
    } else {
        const int fd = ::open(g_path.c_str(), O_RDONLY | O_CLOEXEC);
        FUZZ_CHECK(fd >= 0);
        result = MovieFrameReader::readFirstFrame(
            fd, avi ? varnolet::MovieContainer::Avi : varnolet::MovieContainer::QuickTime, image,
            bottomUp, fit);
        ::close(fd);
    }
    if (result == 0) {
        FUZZ_CHECK(image.width > 0 && image.height > 0);
        FUZZ_CHECK(image.width <= 16384 && image.height <= 16384);
        FUZZ_CHECK(fit.maxWidth == 0 ||
                   (image.width <= fit.maxWidth && image.height <= fit.maxHeight));
        FUZZ_CHECK(image.bottomUp == bottomUp);
        FUZZ_CHECK(image.pixels.size() == static_cast<size_t>(image.width) * image.height * 3);
        FUZZ_CHECK(!image.isEmpty());
    } else {
        FUZZ_CHECK(result < 0);
        FUZZ_CHECK(image.isEmpty() && image.width == 0);
    }
    return 0;
}
