#include "AviMpeg4Writer.h"

namespace varnolet {

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
    if (width <= 0 || height <= 0 || options.framesPerSecond <= 0)
        return fail(Stage::Stream, AVERROR(EINVAL));

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
    settings.timeBase = m_stream->time_base;
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

    result = avformat_write_header(m_format.get(), nullptr);
    if (result < 0)
        return fail(Stage::Format, result);
    m_headerWritten = true;
    return 0;
}

int AviMpeg4Writer::writePacket(AVPacket *packet)
{
    const int size = packet->size;
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
    const int result = m_encoder.encode(bgrBottomUp, true, m_framesWritten,
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
            const int result = m_encoder.flush([this](AVPacket *packet) { return writePacket(packet); });
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
