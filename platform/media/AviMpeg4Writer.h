#pragma once

#include "FfmpegHandles.h"
#include "Mpeg4FrameEncoder.h"

#include <cstdint>
#include <functional>
#include <string>

namespace varnolet {

// Writes one AVI file with one MPEG-4 Visual video stream under the handler code "XVID",
// fed with 24-bit BGR bottom-up frames. Every frame is an intra frame, written as soon as it
// is encoded, so the size of each sample is known right after writeFrame().
//
// FFmpeg's AVI muxer lays the header out as RIFF/AVI, LIST hdrl, avih (56 bytes), LIST strl,
// strh: the stream's rate field sits at file offset 132 (kRateOffset). Files grow past 1 GB as
// OpenDML (AVIX) files. The first failure is latched: later frames are refused with that
// error, and close() still writes the trailer whenever the header was written, so a recording
// ended by any failure plays up to its last written frame.
class AviMpeg4Writer
{
public:
    // The step of open() that failed, for callers that word each differently.
    enum class Stage { None, File, Stream, Encoder, Format, Write };

    struct Options
    {
        int framesPerSecond = 12; // written as scale 1 / rate framesPerSecond, 1 .. 1000
        int quantizer = 3;
        std::string encoderName = "mpeg4";
        // Bytes still free for the file (empty: what statvfs says of its file system).
        std::function<uint64_t()> availableBytes;
    };

    static constexpr uint32_t kCodecTag = MKTAG('X', 'V', 'I', 'D');
    // The stream header's rate field (strh, scale 1) and the main header's microseconds
    // per frame (avih).
    static constexpr long kRateOffset = 132;
    static constexpr long kMicroSecondsPerFrameOffset = 32;
    static constexpr int kMaxFramesPerSecond = 1000;
    // The MPEG-4 stream counts time in ticks of 1 / (framesPerSecond × ticksPerFrame)
    // seconds, at least this many per second. Decoders take that resolution (the VOL
    // header's vop_time_increment_resolution) as the highest rate the stream can have, so
    // a fine one never contradicts the rate the container is patched to later.
    static constexpr int kMinEncoderTicksPerSecond = 1000;
    // Room kept free for the trailer beyond its index entries: a frame that would eat into
    // it is refused with ENOSPC before anything of it is written, so a full disk ends the
    // movie with whole frames and a trailer that still fits.
    static constexpr uint64_t kTrailerReserve = 64 * 1024;
    static int encoderTicksPerFrame(int framesPerSecond);

    // Makes every rate field of a closed file say framesPerSecond: the stream's rate at
    // kRateOffset and the main header's microseconds per frame. 0 or a negative errno
    // (also when writing or closing the file fails).
    static int patchFrameRate(const std::string &path, uint32_t framesPerSecond);

    AviMpeg4Writer() = default;
    ~AviMpeg4Writer();
    AviMpeg4Writer(const AviMpeg4Writer &) = delete;
    AviMpeg4Writer &operator=(const AviMpeg4Writer &) = delete;

    // Creates (or truncates) the file and writes the header. 0 or a negative AVERROR; a
    // POSIX failure of the file is AVERROR(errno).
    int open(const std::string &path, int width, int height, const Options &options);
    int open(const std::string &path, int width, int height)
    {
        return open(path, width, height, Options());
    }
    // Encodes and writes one frame of the size given to open(). 0 or the (latched) error.
    int writeFrame(const uint8_t *bgrBottomUp);
    // Drains the encoder, writes the trailer when the header was written and closes the
    // file. Safe to call more than once. 0 or the first error of the whole file.
    int close();

    bool isOpen() const { return m_format != nullptr; }
    int error() const { return m_error; }
    Stage failedStage() const { return m_failedStage; }
    int width() const { return m_width; }
    int height() const { return m_height; }
    int64_t framesWritten() const { return m_framesWritten; }
    int lastPacketSize() const { return m_lastPacketSize; }
    uint64_t totalPacketBytes() const { return m_totalPacketBytes; }

private:
    int fail(Stage stage, int error);
    int writePacket(AVPacket *packet);
    bool roomFor(uint64_t packetBytes) const;

    OutputContextPtr m_format;
    AVStream *m_stream = nullptr; // owned by m_format
    Mpeg4FrameEncoder m_encoder;
    bool m_headerWritten = false;
    int m_error = 0;
    Stage m_failedStage = Stage::None;
    int m_width = 0;
    int m_height = 0;
    int64_t m_framesWritten = 0;
    int m_lastPacketSize = 0;
    uint64_t m_totalPacketBytes = 0;
    int m_ticksPerFrame = 1;
    std::string m_path;
    std::function<uint64_t()> m_availableBytes;
};

} // namespace varnolet
