#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>

#include "platform/system/Clock.h"

namespace varnolet {
class QuickTimeMovieWriter;
struct BgrImage;
} // namespace varnolet

// Builds a QuickTime movie with MPEG-4 video ("mp4v", time scale 600, 30 units per image)
// from single images, assembled in a temporary file while recording. endRecording stretches
// the movie to the recording's whole seconds and writes one self-contained file at the
// final path; the temporary file is removed once the final file is written or the movie
// failed. No lock of its own: images are added on the recording thread and the finish
// runs after that thread has stopped adding.
class MovieCapturer
{
public:
    static constexpr int kTimeScale = 600;
    static constexpr int kSampleDuration = 30;

    // The clock gives the recording's start and end; it must outlive the capturer.
    explicit MovieCapturer(const varnolet::Clock &clock = varnolet::Clock::instance());
    virtual ~MovieCapturer();
    MovieCapturer(const MovieCapturer &) = delete;
    MovieCapturer &operator=(const MovieCapturer &) = delete;

    // Creates the temporary movie; false when no temporary file can be made.
    bool startRecording();
    void setFilePath(const std::string &path) { mPath = path; }
    const std::string &moviePath() const { return mPath; }

    // Adds one image as one sample; creates the movie first when there is none. A null
    // image, or one given when no movie could be made, adds nothing.
    void addImageToMovie(const varnolet::BgrImage *image);
    // Bytes of video data so far; 0 without a movie.
    virtual uint64_t savingFileSize();
    // Stretches the movie to the recording time and writes the final file.
    bool endRecording();
    // Writes the final file with the movie's durations as they stand.
    bool saveMovie();

    int framesCaptured() const { return m_framesCaptured; }
    // True while a temporary movie is being built.
    bool isBuilding() const { return m_movie != nullptr; }
    // The written file once saveMovie or endRecording succeeded.
    const std::optional<std::string> &writtenMovie() const { return m_writtenMovie; }
    // The temporary file of the movie being built; empty when there is none.
    std::string temporaryPath() const;
    // The first error the movie toolkit reported (a negative AVERROR), 0 for none.
    int lastError() const { return m_lastError; }

private:
    bool saveMovie(int64_t duration);

    const varnolet::Clock &m_clock;
    std::unique_ptr<varnolet::QuickTimeMovieWriter> m_movie;
    int m_framesCaptured = 0;
    std::optional<varnolet::Clock::WallTime> m_startTime;
    std::string mPath;
    std::optional<std::string> m_writtenMovie;
    int m_lastError = 0;
};
