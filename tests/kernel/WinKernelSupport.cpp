#include "WinKernelSupport.h"

#include "tests/kernel/uvc/UvcTestPattern.h"
#include "tests/win/app/MainViewerTestSupport.h"

#include "platform/media/JpegDecoder.h"

#include <gtest/gtest.h>

#include <QImage>

#include <cstdio>

namespace varnolet::test {

// The pattern's number in a JPEG photo; none when the picture does not show the pattern
// upright and unmirrored.
std::optional<uint32_t> patternInJpeg(const std::string &path, QSize *size, std::string *problem)
{
    JpegDecoder decoder;
    QImage image;
    decoder.decodeFile(path, image);
    if (image.isNull()) {
        *problem = "cannot decode " + path;
        return std::nullopt;
    }
    *size = image.size();
    image = image.convertToFormat(QImage::Format_RGB888);
    std::vector<uint8_t> bgr(static_cast<size_t>(image.width()) * image.height() * 3);
    for (int y = 0; y < image.height(); ++y) {
        const uint8_t *row = image.constScanLine(y);
        uint8_t *out = bgr.data() + static_cast<size_t>(image.height() - 1 - y) * image.width() * 3;
        for (int x = 0; x < image.width(); ++x) {
            out[3 * x] = row[3 * x + 2];
            out[3 * x + 1] = row[3 * x + 1];
            out[3 * x + 2] = row[3 * x];
        }
    }
    return UvcTestPattern::readBottomUpBgr(bgr.data(), image.width(), image.height(), problem);
}

// ffprobe's count of decodable video frames and the duration; false when it fails.
bool probeMovie(const std::string &path, int &frames, double &seconds)
{
    const std::string command =
        "ffprobe -v error -count_frames -select_streams v:0 -show_entries "
        "stream=nb_read_frames:format=duration -of default=noprint_wrappers=1 '" +
        path + "' 2>&1";
    FILE *pipe = ::popen(command.c_str(), "r");
    if (!pipe)
        return false;
    char line[256];
    frames = -1;
    seconds = -1;
    std::string all;
    while (std::fgets(line, sizeof line, pipe)) {
        all += line;
        std::sscanf(line, "nb_read_frames=%d", &frames);
        std::sscanf(line, "duration=%lf", &seconds);
    }
    const int status = ::pclose(pipe);
    if (status != 0 || frames < 0)
        ADD_FAILURE() << "ffprobe " << path << ": " << all;
    return status == 0 && frames >= 0;
}

std::string takePhoto(CMainViewerDlg &window, const std::string &photosFolder)
{
    using namespace std::chrono_literals;
    window.OnTakePhoto();
    EXPECT_TRUE(processEventsUntil([&] { return !window.IsPhotoPending(); }, 40s));
    const auto photos = apptest::filesIn(photosFolder, ".jpg");
    EXPECT_EQ(photos.size(), 1u);
    return photos.size() == 1 ? photos.front() : std::string();
}

std::string recordMovie(CMainViewerDlg &window, const std::string &moviesFolder,
                        std::chrono::milliseconds duration)
{
    window.OnRecording();
    EXPECT_TRUE(window.IsRecording());
    processEventsFor(duration);
    window.OnRecording();
    EXPECT_FALSE(window.IsRecording());
    const auto movies = apptest::filesIn(moviesFolder, ".avi");
    EXPECT_EQ(movies.size(), 1u);
    return movies.size() == 1 ? movies.front() : std::string();
}

} // namespace varnolet::test
