#pragma once

#include "UvcKernelFixture.h"

#include "win/app/CMainViewerDlg.h"
#include "win/capture/IFrameSink.h"

#include <QSize>

#include <atomic>
#include <chrono>
#include <optional>
#include <string>

namespace varnolet::test {

// A frame sink that reads the test pattern from every frame.
class PatternSink final : public IFrameSink
{
public:
    long BufferCB(double, unsigned char *buffer, long length) override
    {
        log.add(buffer, static_cast<size_t>(length), width.load(), height.load());
        return 0;
    }
    void SetFrameSize(int w, int h) override
    {
        width = w;
        height = h;
    }
    void SetLargestSize(int, int) override {}

    std::atomic<int> width{0}, height{0};
    PatternLog log;
};

// The pattern's number in a JPEG photo; none when the picture does not show the pattern
// upright and unmirrored.
std::optional<uint32_t> patternInJpeg(const std::string &path, QSize *size, std::string *problem);

// ffprobe's count of decodable video frames and the duration; false when it fails.
bool probeMovie(const std::string &path, int &frames, double &seconds);

// Takes a photo with the main window's button; the one photo in the folder (empty, with a
// failure, when there is not exactly one).
std::string takePhoto(CMainViewerDlg &window, const std::string &photosFolder);

// Records for that long through the main window's recording button; the one movie in the
// folder (empty, with a failure, when there is not exactly one).
std::string recordMovie(CMainViewerDlg &window, const std::string &moviesFolder,
                        std::chrono::milliseconds duration);

} // namespace varnolet::test
