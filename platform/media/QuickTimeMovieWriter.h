#pragma once

#include "FfmpegHandles.h"
#include "FrameScaler.h"
#include "Mpeg4FrameEncoder.h"
#include "RecordingFile.h"

#include <cstdint>
#include <string>
#include <vector>

namespace varnolet {

// Builds a QuickTime movie with one MPEG-4 video track ("mp4v", time scale kTimeScale) from
// single frames, written once, where it will stay:
//   - start() reserves the final name (an empty file created exclusively, so two writers never
//     take the same name) and opens a hidden file beside it ("." + name + ".recording") that
//     the movie is written into, locked while it is written (RecordingFile);
//   - every frame is encoded at once and placed at its capture time; about once a second of
//     movie the frames so far are written out as a movie fragment and flushed to the disk, so
//     after a kill or a power loss the hidden file plays up to its last fragment
//     (RecordingFile::recover() finishes such a file);
//   - a write that fails (a full disk, a file size limit, an I/O error) ends the movie at its
//     last complete fragment: what was recorded before it stays playable;
//   - finish() writes the rest and renames the hidden file onto the reserved name. When the
//     folder has gone meanwhile, the movie is put back at its name; when that is impossible it
//     stays where it lies, and keptPath() says where.
// Nothing is written outside the movie's own folder. Not thread-safe.
class QuickTimeMovieWriter
{
public:
    static constexpr int kTimeScale = 600;
    static constexpr int kFrameDuration = 30;             // nominal: 1/20 s
    static constexpr int64_t kFragmentUnits = 600;        // a fragment about every second
    static constexpr uint64_t kFragmentBytes = 16u << 20; // or every 16 MB of video
    static constexpr uint32_t kCodecTag = MKTAG('m', 'p', '4', 'v');

    QuickTimeMovieWriter() = default;
    // Finishes a movie that was started and not finished.
    ~QuickTimeMovieWriter();
    QuickTimeMovieWriter(const QuickTimeMovieWriter &) = delete;
    QuickTimeMovieWriter &operator=(const QuickTimeMovieWriter &) = delete;

    // Reserves path and opens the hidden recording file beside it. 0 or a negative AVERROR
    // (AVERROR(EEXIST) when the name is taken; nothing is left behind on failure).
    int start(const std::string &path);
    bool isStarted() const { return m_file.isOpen() || m_finished; }
    const std::string &path() const { return m_file.path(); }
    const std::string &recordingPath() const { return m_file.recordingPath(); }

    // Adds one 24-bit BGR frame (rows of 3 × width bytes) captured at time (kTimeScale units
    // since the recording began; a time that does not move on is taken one unit later). The
    // first frame fixes the movie's size; later frames of another size are scaled to it.
    // 0 or a negative AVERROR; a failed write is latched and every later call answers it.
    int addFrame(const uint8_t *bgr, int width, int height, bool bottomUp, int64_t time);
    // The same at the nominal pace (kFrameDuration per frame).
    int addFrame(const uint8_t *bgr, int width, int height, bool bottomUp);

    int framesAdded() const { return m_framesAdded; }
    // Bytes of encoded video so far (headers and index not counted).
    uint64_t videoBytes() const { return m_videoBytes; }
    int width() const { return m_width; }
    int height() const { return m_height; }
    // The first failure (a negative AVERROR), 0 for none.
    int error() const { return m_error; }

    // Ends the movie: the last frame lasts until endTime (kTimeScale units since the
    // recording began; below 0 it lasts kFrameDuration), the file reaches the disk and takes
    // its final name. 0 when the whole movie is at path(); otherwise the first failure, with
    // keptPath() telling where what was recorded lies (empty when nothing was: no frame, or
    // none that reached the disk; then no file is left at all). AVERROR(ENODATA): no frame.
    int finish(int64_t endTime);
    bool isFinished() const { return m_finished; }
    const std::string &keptPath() const { return m_file.keptPath(); }

private:
    int openMovie(int width, int height);
    int writeHeldPacket(int64_t duration);
    int flushFragment();
    int fail(int error);
    void closeMovie();
    int64_t fileSize() const;
    static int writeOut(void *opaque, uint8_t *data, int size);
    static int64_t seekOut(void *opaque, int64_t offset, int whence);

    RecordingFile m_file;
    bool m_finished = false;

    AVIOContext *m_io = nullptr; // owned; the format context only borrows it
    OutputContextPtr m_format;
    AVStream *m_stream = nullptr; // owned by m_format
    Mpeg4FrameEncoder m_encoder;
    FrameScaler m_scaler;
    std::vector<uint8_t> m_scaled;
    PacketPtr m_held; // the newest packet: its duration is known when the next frame comes
    bool m_holding = false;

    int m_error = 0;
    int m_width = 0;
    int m_height = 0;
    int m_framesAdded = 0;
    int64_t m_lastTime = -1;
    int64_t m_fragmentStart = 0;
    uint64_t m_videoBytes = 0;
    int64_t m_durableEnd = 0; // bytes of the file known complete and flushed
    int m_durableFrames = 0;  // frames inside them
    int m_pendingFrames = 0;  // frames given to the muxer since the last fragment
    uint64_t m_pendingBytes = 0;
};

} // namespace varnolet
