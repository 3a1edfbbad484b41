#pragma once

#include "platform/media/AviMpeg4Writer.h"
#include "platform/system/Clock.h"
#include "platform/system/MessageBox.h"

#include <cstddef>
#include <cstdint>
#include <memory>
#include <mutex>
#include <string>

class AppServices;
class IResourceAnnouncer;

// One recording's AVI file: a single MPEG-4 video stream under the handler code "XVID".
// Frames arrive from the preview frame sink on the capture thread, under the movie writer
// lock; creation and closing run on the UI thread (CreateMovieWriter / CloseMovieWriter).
// After closing, the stream's rate field (file offset 132) is patched with the rate that was
// really measured, so the movie plays at the speed it was recorded. The writer has no lock
// of its own.
class AviMovieWriter
{
public:
    enum State : int32_t {
        StateReleased = 0, // failed or released
        StateCreated = 1,  // created, stream not set up yet
        StateWriting = 2,
    };

    static constexpr int32_t kNominalRate = 12;
    static constexpr size_t kMaxErrorText = 259;
    static constexpr const char *kWriteFailureText =
        "Unable to Write Video Stream to the output Movie File";

    // Creation: nothing is touched on disk until the first admitted frame. setUpRate: the
    // rate written into the headers at set-up, the camera's current frame rate (a file
    // left without its close plays at it); 0 or less: the nominal 12. clock: the process
    // clock the measured rate is timed by; throws std::invalid_argument when null.
    // services: the settings whose capture size admits frames and the texts of failures;
    // they must outlive the writer. messages: where the recording's failures are told
    // (FailureMessages()). encoderName: another name than kEncoderName stands for a machine
    // without the codec.
    AviMovieWriter(const std::string &path, std::shared_ptr<const varnolet::Clock> clock,
                   const AppServices &services, varnolet::MessageBox messages,
                   double setUpRate = kNominalRate, std::string encoderName = kEncoderName);
    ~AviMovieWriter();
    AviMovieWriter(const AviMovieWriter &) = delete;
    AviMovieWriter &operator=(const AviMovieWriter &) = delete;

    // Appends one bottom-up BGR24 frame of width × height pixels; length is the buffer's size
    // in bytes (a buffer shorter than width × height × 3 is skipped, nothing is read past
    // it). 0 (written, or dropped by the admission rule), or a negative code with the last
    // error text set.
    int AppendMovieFrame(int width, int height, const uint8_t *buffer, size_t length);
    // The bytes written so far: each call adds the size of the last written sample, so
    // called once per frame before appending it sums every frame but the newest.
    uint64_t CurrentMovieBytes();
    const std::string &LastErrorText() const { return m_lastErrorText; }

    // Releases everything, then (unless a failure happened) patches the measured rate into
    // the closed file. Called by CloseMovieWriter under the writer lock. Answers the text
    // to show the user when closing or patching failed (the trailer or the index could not
    // be written, the file could not be reopened), empty when all went well.
    std::string Close();

    // A failed append is shown to the user once: the first caller to ask gets true.
    bool TakeFailureToReport();
    // Where a failed append or close of this recording is shown.
    const varnolet::MessageBox &FailureMessages() const { return m_messages; }

    const std::string &FilePath() const { return m_filePath; }
    int32_t GetState() const { return m_state; }
    // The frames per second written at set-up (the stream's rate until the patch).
    int32_t SetUpRate() const { return m_nominalRate; }
    bool HasError() const { return m_errorFlag != 0; }
    int32_t FramesWritten() const { return m_framesWritten; }
    int32_t FramesSkipped() const { return m_framesSkipped; }
    // The rate Close() wrote at offset 132 (0 when it did not patch).
    uint32_t PatchedRate() const { return m_patchedRate; }
    size_t StagingSize() const { return m_stagingSize; }

    // The rate written for frames recorded over elapsed process-clock milliseconds: frames
    // × 1000 / elapsed, truncated; at least 1, at most the most a movie header takes, and
    // the set-up rate when no millisecond passed (the division is undefined).
    static uint32_t MeasuredRate(uint64_t framesWritten, uint64_t elapsedMilliseconds,
                                 uint32_t setUpRate = kNominalRate);
    // The set-up rate for a camera's frame rate: rounded, within 1 .. the most a movie
    // header takes; the nominal 12 when the camera does not say.
    static int32_t SetUpRateFor(double cameraFramesPerSecond);

    // The FFmpeg encoder movies are written with.
    static constexpr const char *kEncoderName = "mpeg4";

private:
    bool SetUpStream(int width, int height);
    bool Fail(const std::string &text);
    int ReleaseMemory();
    bool AdmitFrame();
    std::string PatchRate();

    // Staging buffer: zero-filled, allocated once at set-up, every frame is copied into it.
    std::unique_ptr<uint8_t[]> m_stagingBuffer;
    size_t m_stagingSize = 0;
    int32_t m_nextSampleIndex = 0;
    // The open file with its video stream and compressor.
    std::unique_ptr<varnolet::AviMpeg4Writer> m_aviFile;
    const std::shared_ptr<const varnolet::Clock> m_clock;
    const AppServices &m_services;
    const varnolet::MessageBox m_messages;
    int m_streamWidth = 0;
    int m_streamHeight = 0;
    uint32_t m_codecCode = varnolet::AviMpeg4Writer::kCodecTag;
    std::string m_filePath;
    std::string m_lastErrorText;
    int32_t m_state = StateCreated;
    uint64_t m_byteTotal = 0;
    int32_t m_nominalRate = kNominalRate;
    uint64_t m_setUpClock = 0;
    int32_t m_errorFlag = 0;
    int32_t m_framesWritten = 0;
    int32_t m_framesSkipped = 0;
    int m_screenWidth = 0;
    int m_screenHeight = 0;
    uint32_t m_patchedRate = 0;
    std::string m_encoderName;
    bool m_failureReported = false;
};

// The movie writer lock: guards the writer slot and every call into the writer.
std::mutex &MovieWriterLock();
// The open writer, or nullptr. Call with MovieWriterLock() held.
AviMovieWriter *OpenMovieWriter();

// Installs a new writer for path, closing (and announcing) a writer still open first.
// cameraFramesPerSecond: the camera's current rate, written at set-up (0: the nominal 12);
// encoderName as for AviMovieWriter.
// The writer tells its failures in messages.
void CreateMovieWriter(const std::string &path, std::shared_ptr<const varnolet::Clock> clock,
                       const AppServices &services, const varnolet::MessageBox &messages,
                       IResourceAnnouncer *resourceWindow = nullptr,
                       double cameraFramesPerSecond = 0,
                       std::string encoderName = AviMovieWriter::kEncoderName);
// Closes the open writer under the lock (release, rate patch), frees it, empties the slot;
// then, outside the lock, shows a failed close in the writer's message box and announces the file
// (even a half-written one) to the resource window when there is one.
void CloseMovieWriter(IResourceAnnouncer *resourceWindow = nullptr);
