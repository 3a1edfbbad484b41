#include "MovieCapturer.h"

#include <chrono>
#include <cmath>

#include "mac/app/SystemLog.h"
#include "platform/media/BgrImage.h"
#include "platform/media/QuickTimeMovieWriter.h"

static_assert(MovieCapturer::kTimeScale == varnolet::QuickTimeMovieWriter::kTimeScale);
static_assert(MovieCapturer::kSampleDuration == varnolet::QuickTimeMovieWriter::kFrameDuration);

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
    const int result = movie->start();
    if (result < 0) {
        m_lastError = result;
        return false;
    }
    m_movie = std::move(movie);
    m_writtenMovie.reset();
    return true;
}

std::string MovieCapturer::temporaryPath() const
{
    return m_movie ? m_movie->temporaryPath() : std::string();
}

void MovieCapturer::addImageToMovie(const varnolet::BgrImage *image)
{
    if (!m_movie && !startRecording())
        return;
    if (!image || image->isEmpty())
        return;
    if (!m_startTime)
        m_startTime = m_clock.wallNow();
    const int result =
        m_movie->addFrame(image->pixels.data(), image->width, image->height, image->bottomUp);
    if (result < 0) {
        if (m_lastError == 0)
            m_lastError = result;
        return;
    }
    ++m_framesCaptured;
}

uint64_t MovieCapturer::savingFileSize()
{
    const uint64_t size = m_movie ? m_movie->videoBytes() : 0;
    SystemLog::write("size is %llu", static_cast<unsigned long long>(size));
    return size;
}

bool MovieCapturer::endRecording()
{
    double elapsed = 0.0;
    if (m_startTime)
        elapsed =
            std::fabs(std::chrono::duration<double>(m_clock.wallNow() - *m_startTime).count());
    SystemLog::write("captured %i frames in %f seconds.", m_framesCaptured, elapsed);
    int64_t duration = static_cast<int64_t>(std::trunc(elapsed)) * kTimeScale;
    if (duration == 0) {
        // Under one whole second the frames keep their real pace rather than shrinking to a
        // movie of no length; the writer gives every frame at least one unit.
        duration = std::llround(elapsed * kTimeScale);
    }
    return saveMovie(duration);
}

bool MovieCapturer::saveMovie()
{
    return saveMovie(0);
}

bool MovieCapturer::saveMovie(int64_t duration)
{
    if (!m_movie || mPath.empty())
        return false;
    const int result = m_movie->finish(mPath, duration);
    // The temporary movie is gone with the writer, written or not.
    m_movie.reset();
    if (result < 0) {
        if (m_lastError == 0)
            m_lastError = result;
        return false;
    }
    m_writtenMovie = mPath;
    return true;
}
