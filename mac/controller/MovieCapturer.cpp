#include "MovieCapturer.h"

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstring>

#include <dirent.h>
#include <sys/stat.h>

#include "mac/core/SystemLog.h"
#include "platform/media/BgrImage.h"
#include "platform/media/QuickTimeMovieWriter.h"

static_assert(MovieCapturer::kTimeScale == varnolet::QuickTimeMovieWriter::kTimeScale);
static_assert(MovieCapturer::kSampleDuration == varnolet::QuickTimeMovieWriter::kFrameDuration);

namespace {

std::vector<std::string> entriesOf(const std::string &folder)
{
    std::vector<std::string> names;
    DIR *dir = ::opendir(folder.c_str());
    if (!dir)
        return names;
    while (const dirent *entry = ::readdir(dir)) {
        const std::string name = entry->d_name;
        if (name != "." && name != "..")
            names.push_back(name);
    }
    ::closedir(dir);
    std::sort(names.begin(), names.end());
    return names;
}

bool isFolder(const std::string &path)
{
    struct stat info
    {
    };
    return ::lstat(path.c_str(), &info) == 0 && S_ISDIR(info.st_mode);
}

} // namespace

MovieCapturer::MovieCapturer(const varnolet::Clock &clock)
    : m_clock(clock)
{
}

MovieCapturer::~MovieCapturer() = default;

bool MovieCapturer::startRecording()
{
    if (m_movie)
        return true;
    auto movie = std::make_unique<varnolet::QuickTimeMovieWriter>();
    const int result = movie->start(mPath);
    if (result < 0) {
        m_lastError = result;
        return false;
    }
    m_movie = std::move(movie);
    m_lastError = 0;
    m_writtenMovie.reset();
    m_keptPath.clear();
    return true;
}

bool MovieCapturer::isBuilding() const
{
    return m_movie && !m_movie->isFinished();
}

std::string MovieCapturer::temporaryPath() const
{
    return isBuilding() ? m_movie->recordingPath() : std::string();
}

std::string MovieCapturer::lastErrorText() const
{
    return m_lastError == 0 ? std::string() : varnolet::ffmpegErrorText(m_lastError);
}

void MovieCapturer::addImageToMovie(const varnolet::BgrImage *image)
{
    addImageToMovie(image, m_clock.wallNow());
}

void MovieCapturer::addImageToMovie(const varnolet::BgrImage *image,
                                    varnolet::Clock::WallTime captureTime)
{
    if (!m_movie && !startRecording())
        return;
    if (!image || image->isEmpty() || !isBuilding())
        return;
    if (!m_startTime)
        m_startTime = captureTime;
    const auto offset = std::chrono::duration<double>(captureTime - *m_startTime).count();
    const int64_t time = std::max<int64_t>(0, std::llround(offset * kTimeScale));
    const int result =
        m_movie->addFrame(image->pixels.data(), image->width, image->height, image->bottomUp, time);
    if (result < 0) {
        if (m_lastError == 0)
            m_lastError = result;
        return;
    }
    ++m_framesCaptured;
}

uint64_t MovieCapturer::savingFileSize()
{
    return m_movie ? m_movie->videoBytes() : 0;
}

bool MovieCapturer::endRecording()
{
    double elapsed = 0.0;
    if (m_startTime)
        elapsed =
            std::fabs(std::chrono::duration<double>(m_clock.wallNow() - *m_startTime).count());
    SystemLog::write("captured %i frames in %f seconds.", m_framesCaptured.load(), elapsed);
    SystemLog::write("size is %llu", static_cast<unsigned long long>(savingFileSize()));
    if (!isBuilding())
        return false;
    // The last image lasts until now: the movie is as long as the time recorded.
    const int result = m_movie->finish(std::llround(elapsed * kTimeScale));
    m_keptPath = m_movie->keptPath();
    if (result < 0) {
        if (m_lastError == 0)
            m_lastError = result;
        return false;
    }
    m_writtenMovie = mPath;
    return true;
}

bool MovieCapturer::saveMovie()
{
    return endRecording();
}

std::vector<std::string> MovieCapturer::recoverUnfinishedMovies(const std::string &folder)
{
    std::vector<std::string> kept;
    std::vector<std::string> folders{folder};
    for (const std::string &name : entriesOf(folder)) {
        const std::string path = folder + "/" + name;
        if (name[0] != '.' && isFolder(path))
            folders.push_back(path);
    }
    for (const std::string &place : folders) {
        for (const std::string &name : entriesOf(place)) {
            const std::string path = place + "/" + name;
            if (varnolet::RecordingFile::finalPathFor(path).empty())
                continue;
            const auto recovery = varnolet::RecordingFile::recover(path);
            using Outcome = varnolet::RecordingFile::Recovery::Outcome;
            switch (recovery.outcome) {
            case Outcome::Recovered:
            case Outcome::KeptInPlace:
                SystemLog::write("unfinished movie %s finished as %s (%d fragments)", path.c_str(),
                                 recovery.path.c_str(), recovery.fragments);
                kept.push_back(recovery.path);
                break;
            case Outcome::Removed:
                SystemLog::write("unfinished movie %s held no frame; removed", path.c_str());
                break;
            case Outcome::InUse:
                break;
            case Outcome::Failed:
                SystemLog::write("unfinished movie %s cannot be finished: %s", path.c_str(),
                                 std::strerror(recovery.error));
                break;
            }
        }
    }
    return kept;
}
