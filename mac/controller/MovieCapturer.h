#pragma once

#include <atomic>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "platform/system/Clock.h"

namespace varnolet {
class QuickTimeMovieWriter;
struct BgrImage;
} // namespace varnolet

// Builds a QuickTime movie with MPEG-4 video ("mp4v", time scale 600) from single images,
// written from the first image on in the movie's own folder under a hidden name and renamed
// onto its final path when finished (the final name is reserved when recording starts).
// Every image is placed at its capture time, so the movie lasts the time recorded. The movie
// survives what can go wrong: a failed write ends it at its last complete second, a kill
// leaves a file that recoverUnfinishedMovies() finishes at the next start. No lock of its own:
// images are added on the recording thread and the finish runs after that thread has stopped
// adding.
class MovieCapturer
{
public:
    static constexpr int kTimeScale = 600;
    static constexpr int kSampleDuration = 30;

    // The clock gives the capture times when none is passed and the end; it must outlive the
    // capturer.
    explicit MovieCapturer(const varnolet::Clock &clock);
    virtual ~MovieCapturer();
    MovieCapturer(const MovieCapturer &) = delete;
    MovieCapturer &operator=(const MovieCapturer &) = delete;

    // Reserves the final path (setFilePath) and opens the movie; false when that cannot be
    // done, with the reason in lastError() (AVERROR(EEXIST): the name was taken meanwhile).
    bool startRecording();
    void setFilePath(const std::string &path) { mPath = path; }
    const std::string &moviePath() const { return mPath; }

    // Adds one image captured at captureTime (now when not given); starts the movie first
    // when it was not. A null image, or one given when no movie could be made, adds nothing.
    void addImageToMovie(const varnolet::BgrImage *image);
    void addImageToMovie(const varnolet::BgrImage *image, varnolet::Clock::WallTime captureTime);
    // Bytes of video data so far; 0 without a movie.
    virtual uint64_t savingFileSize();
    // Ends the movie now and gives it its final name. True when the whole movie is at
    // moviePath(); otherwise lastError() says why and keptPath() where what was recorded is.
    bool endRecording();
    // The same as endRecording.
    bool saveMovie();

    // Read from any thread while the movie grows.
    int framesCaptured() const { return m_framesCaptured.load(); }
    // True while a movie is being built.
    bool isBuilding() const;
    // The written file once saveMovie or endRecording succeeded.
    const std::optional<std::string> &writtenMovie() const { return m_writtenMovie; }
    // After the end: where the movie lies (moviePath(), or elsewhere when its folder could
    // not take it), empty when nothing recorded could be kept.
    const std::string &keptPath() const { return m_keptPath; }
    // The hidden file the movie is written into; empty when there is none.
    std::string temporaryPath() const;
    // The first error (a negative AVERROR), 0 for none, and the system's text for it.
    int lastError() const { return m_lastError; }
    std::string lastErrorText() const;

    // Finishes the movies that recordings which never ended (a kill, a crash, a power loss)
    // left in folder or one level of folders below it; answers the paths of the movies now
    // kept. Recordings still being written by another program are left alone.
    static std::vector<std::string> recoverUnfinishedMovies(const std::string &folder);

private:
    const varnolet::Clock &m_clock;
    std::unique_ptr<varnolet::QuickTimeMovieWriter> m_movie;
    std::atomic<int> m_framesCaptured{0};
    std::optional<varnolet::Clock::WallTime> m_startTime;
    std::string mPath;
    std::optional<std::string> m_writtenMovie;
    std::string m_keptPath;
    int m_lastError = 0;
};
