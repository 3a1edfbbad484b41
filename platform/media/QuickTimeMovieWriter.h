#pragma once

#include "FfmpegHandles.h"
#include "FrameScaler.h"
#include "Mpeg4FrameEncoder.h"

#include <cstdint>
#include <string>
#include <vector>

namespace varnolet {

// Builds a QuickTime movie with one MPEG-4 video track ("mp4v") from single frames.
// While recording, every frame is encoded into a temporary movie in the system's temporary
// folder, each frame lasting kFrameDuration units of time scale kTimeScale. finish() writes
// the final self-contained .mov with the frame times spread evenly over the given total
// duration (the real recording time), so N frames recorded in T seconds play for T seconds.
// The temporary file is removed when the writer is destroyed. Not thread-safe.
class QuickTimeMovieWriter
{
public:
    static constexpr int kTimeScale = 600;
    static constexpr int kFrameDuration = 30;
    static constexpr uint32_t kCodecTag = MKTAG('m', 'p', '4', 'v');

    QuickTimeMovieWriter() = default;
    ~QuickTimeMovieWriter();
    QuickTimeMovieWriter(const QuickTimeMovieWriter &) = delete;
    QuickTimeMovieWriter &operator=(const QuickTimeMovieWriter &) = delete;

    // Reserves the temporary file. 0 or a negative AVERROR.
    int start();
    bool isStarted() const { return !m_temporaryPath.empty(); }
    const std::string &temporaryPath() const { return m_temporaryPath; }

    // Adds one 24-bit BGR frame (rows of 3 × width bytes). The first frame fixes the movie's
    // size; later frames of another size are scaled to it. Starts the temporary movie when
    // start() was not called. 0 or a negative AVERROR (latched).
    int addFrame(const uint8_t *bgr, int width, int height, bool bottomUp);

    int framesAdded() const { return m_framesAdded; }
    // Bytes of encoded video so far (headers and index not counted).
    uint64_t videoBytes() const { return m_videoBytes; }
    int width() const { return m_width; }
    int height() const { return m_height; }

    // Writes the final movie to path (never replacing an existing file; nothing is left at
    // path on failure). totalDuration is in kTimeScale units; 0 or less keeps the nominal
    // kFrameDuration per frame, and a duration shorter than one unit per frame is raised to
    // that. 0 or a negative AVERROR; AVERROR(ENODATA) when no frame was added.
    int finish(const std::string &path, int64_t totalDuration);

private:
    int openTemporaryMovie(int width, int height);
    int closeTemporaryMovie();
    int fail(int error);

    std::string m_temporaryPath;
    OutputContextPtr m_format;
    AVStream *m_stream = nullptr; // owned by m_format
    Mpeg4FrameEncoder m_encoder;
    FrameScaler m_scaler;
    std::vector<uint8_t> m_scaled;
    bool m_headerWritten = false;
    int m_error = 0;
    int m_width = 0;
    int m_height = 0;
    int m_framesAdded = 0;
    uint64_t m_videoBytes = 0;
};

} // namespace varnolet
