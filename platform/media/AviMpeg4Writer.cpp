#include "AviMpeg4Writer.h"

#include <cerrno>
#include <cstdio>

#include <sys/statvfs.h>

namespace varnolet {

int AviMpeg4Writer::encoderTicksPerFrame(int framesPerSecond)
{
    if (framesPerSecond <= 0)
        return 1;
    return (kMinEncoderTicksPerSecond + framesPerSecond - 1) / framesPerSecond;
}

int AviMpeg4Writer::patchFrameRate(const std::string &path, uint32_t framesPerSecond)
{
    if (framesPerSecond == 0)
        return -EINVAL;
    FILE *file = std::fopen(path.c_str(), "r+be");
    if (!file)
        return -errno;
    auto writeLe32 = [file](long offset, uint32_t value) {
        const unsigned char bytes[4] = {static_cast<unsigned char>(value & 0xff),
                                        static_cast<unsigned char>((value >> 8) & 0xff),
                                        static_cast<unsigned char>((value >> 16) & 0xff),
                                        static_cast<unsigned char>((value >> 24) & 0xff)};
        return std::fseek(file, offset, SEEK_SET) == 0 &&
               std::fwrite(bytes, 1, sizeof bytes, file) == sizeof bytes;
    };
    errno = 0;
    bool written = writeLe32(kRateOffset, framesPerSecond);
    written = written && writeLe32(kMicroSecondsPerFrameOffset, 1'000'000u / framesPerSecond);
    int error = written ? 0 : (errno ? errno : EIO);
    // The bytes reach the file only here: a failing close is a failed patch.
    if (std::fclose(file) != 0 && error == 0)
        error = errno ? errno : EIO;
    return -error;
}

AviMpeg4Writer::~AviMpeg4Writer()
{
    close();
}

int AviMpeg4Writer::fail(Stage stage, int error)
{
    if (m_error == 0) {
        m_error = error;
        m_failedStage = stage;
    }
    return m_error;
}

int AviMpeg4Writer::open(const std::string &path, int width, int height, const Options &options)
{
    close();
    m_error = 0;
    m_failedStage = Stage::None;
    m_headerWritten = false;
    m_framesWritten = 0;
    m_lastPacketSize = 0;
    m_totalPacketBytes = 0;
    m_width = width;
    m_height = height;
    if (width <= 0 || height <= 0 || options.framesPerSecond <= 0 ||
        options.framesPerSecond > kMaxFramesPerSecond)
        return fail(Stage::Stream, AVERROR(EINVAL));
    m_ticksPerFrame = encoderTicksPerFrame(options.framesPerSecond);
    m_path = path;
    m_availableBytes = options.availableBytes;

    AVFormatContext *raw = nullptr;
    int result = avformat_alloc_output_context2(&raw, nullptr, "avi", path.c_str());
    if (result < 0 || !raw)
        return fail(Stage::File, result < 0 ? result : AVERROR(ENOMEM));
    m_format.reset(raw);

    // The file first, so an unwritable folder is reported as such before anything else.
    result = avio_open(&m_format->pb, path.c_str(), AVIO_FLAG_WRITE);
    if (result < 0)
        return fail(Stage::File, result);

    m_stream = avformat_new_stream(m_format.get(), nullptr);
    if (!m_stream)
        return fail(Stage::Stream, AVERROR(ENOMEM));
    m_stream->time_base = AVRational{1, options.framesPerSecond};

    Mpeg4FrameEncoder::Settings settings;
    settings.width = width;
    settings.height = height;
    settings.timeBase = AVRational{1, options.framesPerSecond * m_ticksPerFrame};
    settings.frameRate = AVRational{options.framesPerSecond, 1};
    settings.codecTag = kCodecTag;
    settings.quantizer = options.quantizer;
    settings.encoderName = options.encoderName;
    settings.globalHeader = (m_format->oformat->flags & AVFMT_GLOBALHEADER) != 0;
    result = m_encoder.open(settings);
    if (result < 0)
        return fail(Stage::Encoder, result);

    result = avcodec_parameters_from_context(m_stream->codecpar, m_encoder.context());
    if (result < 0)
        return fail(Stage::Format, result);
    m_stream->codecpar->codec_tag = kCodecTag;
    m_stream->avg_frame_rate = AVRational{options.framesPerSecond, 1};

    // Every packet goes to the file as soon as it is written, and the header right now: a
    // process killed mid-recording leaves a file with its header and all but the last frame.
    m_format->flush_packets = 1;
    result = avformat_write_header(m_format.get(), nullptr);
    if (result < 0)
        return fail(Stage::Format, result);
    m_headerWritten = true;
    avio_flush(m_format->pb);
    if (m_format->pb->error < 0)
        return fail(Stage::Write, m_format->pb->error);
    return 0;
}

bool AviMpeg4Writer::roomFor(uint64_t packetBytes) const
{
    uint64_t available = 0;
    if (m_availableBytes) {
        available = m_availableBytes();
    } else {
        struct statvfs info
        {
        };
        if (::statvfs(m_path.c_str(), &info) != 0)
            return true; // cannot tell: the write itself will say
        available = static_cast<uint64_t>(info.f_bavail) * info.f_frsize;
    }
    // The packet with its chunk header, its index entry, and the trailer's index so far.
    constexpr uint64_t kChunkHeader = 8 + 1;
    constexpr uint64_t kIndexEntry = 16;
    const uint64_t frames = static_cast<uint64_t>(m_framesWritten) + 1;
    return available >= packetBytes + kChunkHeader + frames * kIndexEntry + kTrailerReserve;
}

int AviMpeg4Writer::writePacket(AVPacket *packet)
{
    const int size = packet->size;
    if (!roomFor(static_cast<uint64_t>(size)))
        return AVERROR(ENOSPC);
    packet->stream_index = m_stream->index;
    packet->flags |= AV_PKT_FLAG_KEY;
    av_packet_rescale_ts(packet, m_encoder.context()->time_base, m_stream->time_base);
    const int result = av_interleaved_write_frame(m_format.get(), packet);
    if (result < 0)
        return result;
    m_lastPacketSize = size;
    m_totalPacketBytes += static_cast<uint64_t>(size);
    return 0;
}

int AviMpeg4Writer::writeFrame(const uint8_t *bgrBottomUp)
{
    if (m_error != 0)
        return m_error;
    if (!m_headerWritten)
        return AVERROR(EINVAL);
    if (!bgrBottomUp)
        return AVERROR(EFAULT);
    const int result = m_encoder.encode(bgrBottomUp, true, m_framesWritten * m_ticksPerFrame,
                                        [this](AVPacket *packet) { return writePacket(packet); });
    if (result < 0)
        return fail(Stage::Write, result);
    ++m_framesWritten;
    return 0;
}

int AviMpeg4Writer::close()
{
    if (!m_format)
        return m_error;
    if (m_headerWritten) {
        if (m_error == 0) {
            const int result =
                m_encoder.flush([this](AVPacket *packet) { return writePacket(packet); });
            if (result < 0)
                fail(Stage::Write, result);
        }
        const int result = av_write_trailer(m_format.get());
        if (result < 0)
            fail(Stage::Write, result);
        if (m_format->pb && m_format->pb->error < 0)
            fail(Stage::Write, m_format->pb->error);
    }
    if (m_format->pb) {
        const int result = avio_closep(&m_format->pb);
        if (result < 0)
            fail(Stage::Write, result);
    }
    m_format.reset();
    m_stream = nullptr;
    m_encoder = Mpeg4FrameEncoder();
    m_headerWritten = false;
    return m_error;
}

} // namespace varnolet
