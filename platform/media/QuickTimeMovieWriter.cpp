#include "QuickTimeMovieWriter.h"

#include "platform/system/AtomicFile.h"

#include <unistd.h>

#include <QDir>

extern "C" {
#include <libavutil/dict.h>
}

namespace varnolet {

namespace {

// Muxer options that keep the track and the movie in the 600-unit time scale.
AVDictionary *timeScaleOptions()
{
    AVDictionary *options = nullptr;
    const std::string scale = std::to_string(QuickTimeMovieWriter::kTimeScale);
    av_dict_set(&options, "video_track_timescale", scale.c_str(), 0);
    av_dict_set(&options, "movie_timescale", scale.c_str(), 0);
    return options;
}

int writeHeader(AVFormatContext *format)
{
    AVDictionary *options = timeScaleOptions();
    const int result = avformat_write_header(format, &options);
    av_dict_free(&options);
    return result;
}

} // namespace

QuickTimeMovieWriter::~QuickTimeMovieWriter()
{
    closeTemporaryMovie();
    if (!m_temporaryPath.empty())
        ::unlink(m_temporaryPath.c_str());
}

int QuickTimeMovieWriter::fail(int error)
{
    if (m_error == 0)
        m_error = error;
    return m_error;
}

int QuickTimeMovieWriter::start()
{
    if (isStarted())
        return 0;
    const std::string pattern = QDir::tempPath().toStdString() + "/varnolet-movie.mov";
    const int fd = AtomicFile::createTemporary(pattern, m_temporaryPath);
    if (fd < 0)
        return AVERROR(-fd);
    ::close(fd);
    return 0;
}

int QuickTimeMovieWriter::openTemporaryMovie(int width, int height)
{
    AVFormatContext *raw = nullptr;
    int result = avformat_alloc_output_context2(&raw, nullptr, "mov", m_temporaryPath.c_str());
    if (result < 0 || !raw)
        return result < 0 ? result : AVERROR(ENOMEM);
    m_format.reset(raw);
    result = avio_open(&m_format->pb, m_temporaryPath.c_str(), AVIO_FLAG_WRITE);
    if (result < 0)
        return result;
    m_stream = avformat_new_stream(m_format.get(), nullptr);
    if (!m_stream)
        return AVERROR(ENOMEM);
    m_stream->time_base = AVRational{1, kTimeScale};

    Mpeg4FrameEncoder::Settings settings;
    settings.width = width;
    settings.height = height;
    settings.timeBase = AVRational{1, kTimeScale};
    settings.codecTag = kCodecTag;
    settings.globalHeader = (m_format->oformat->flags & AVFMT_GLOBALHEADER) != 0;
    result = m_encoder.open(settings);
    if (result < 0)
        return result;
    result = avcodec_parameters_from_context(m_stream->codecpar, m_encoder.context());
    if (result < 0)
        return result;
    m_stream->codecpar->codec_tag = kCodecTag;
    result = writeHeader(m_format.get());
    if (result < 0)
        return result;
    m_headerWritten = true;
    m_width = width;
    m_height = height;
    return 0;
}

int QuickTimeMovieWriter::closeTemporaryMovie()
{
    if (!m_format)
        return m_error;
    if (m_headerWritten) {
        if (m_error == 0) {
            const int result = m_encoder.flush([this](AVPacket *packet) {
                packet->stream_index = m_stream->index;
                m_videoBytes += static_cast<uint64_t>(packet->size);
                return av_interleaved_write_frame(m_format.get(), packet);
            });
            if (result < 0)
                fail(result);
        }
        const int result = av_write_trailer(m_format.get());
        if (result < 0)
            fail(result);
    }
    if (m_format->pb) {
        const int result = avio_closep(&m_format->pb);
        if (result < 0)
            fail(result);
    }
    m_format.reset();
    m_stream = nullptr;
    m_encoder = Mpeg4FrameEncoder();
    m_headerWritten = false;
    return m_error;
}

int QuickTimeMovieWriter::addFrame(const uint8_t *bgr, int width, int height, bool bottomUp)
{
    if (m_error != 0)
        return m_error;
    if (!bgr || width <= 0 || height <= 0)
        return AVERROR(EINVAL);
    if (!isStarted()) {
        const int result = start();
        if (result < 0)
            return fail(result);
    }
    if (!m_format) {
        const int result = openTemporaryMovie(width, height);
        if (result < 0) {
            fail(result);
            closeTemporaryMovie();
            return m_error;
        }
    }
    const uint8_t *pixels = bgr;
    if (width != m_width || height != m_height) {
        m_scaled.resize(static_cast<size_t>(m_width) * m_height * 3);
        if (!m_scaler.scale(bgr, width, height, m_scaled.data(), m_width, m_height))
            return AVERROR(EINVAL);
        pixels = m_scaled.data();
    }
    const int64_t pts = static_cast<int64_t>(m_framesAdded) * kFrameDuration;
    const int result = m_encoder.encode(pixels, bottomUp, pts, [this](AVPacket *packet) {
        packet->stream_index = m_stream->index;
        packet->duration = kFrameDuration;
        packet->flags |= AV_PKT_FLAG_KEY;
        m_videoBytes += static_cast<uint64_t>(packet->size);
        return av_interleaved_write_frame(m_format.get(), packet);
    });
    if (result < 0)
        return fail(result);
    ++m_framesAdded;
    return 0;
}

int QuickTimeMovieWriter::finish(const std::string &path, int64_t totalDuration)
{
    const int closed = closeTemporaryMovie();
    if (closed < 0)
        return closed;
    if (m_framesAdded == 0)
        return AVERROR(ENODATA);
    if (totalDuration <= 0)
        totalDuration = static_cast<int64_t>(m_framesAdded) * kFrameDuration;
    if (totalDuration < m_framesAdded)
        totalDuration = m_framesAdded;

    AVFormatContext *rawInput = nullptr;
    int result = avformat_open_input(&rawInput, m_temporaryPath.c_str(), nullptr, nullptr);
    if (result < 0)
        return result;
    InputContextPtr input(rawInput);
    result = avformat_find_stream_info(input.get(), nullptr);
    if (result < 0)
        return result;
    const int streamIndex =
        av_find_best_stream(input.get(), AVMEDIA_TYPE_VIDEO, -1, -1, nullptr, 0);
    if (streamIndex < 0)
        return streamIndex;

    std::string partial;
    const int fd = AtomicFile::createTemporary(path, partial);
    if (fd < 0)
        return AVERROR(-fd);
    ::close(fd);
    auto discard = [&partial](int error) {
        ::unlink(partial.c_str());
        return error;
    };

    AVFormatContext *rawOutput = nullptr;
    result = avformat_alloc_output_context2(&rawOutput, nullptr, "mov", partial.c_str());
    if (result < 0 || !rawOutput)
        return discard(result < 0 ? result : AVERROR(ENOMEM));
    OutputContextPtr output(rawOutput);
    result = avio_open(&output->pb, partial.c_str(), AVIO_FLAG_WRITE);
    if (result < 0)
        return discard(result);
    AVStream *stream = avformat_new_stream(output.get(), nullptr);
    if (!stream)
        return discard(AVERROR(ENOMEM));
    result = avcodec_parameters_copy(stream->codecpar, input->streams[streamIndex]->codecpar);
    if (result < 0)
        return discard(result);
    stream->codecpar->codec_tag = kCodecTag;
    stream->time_base = AVRational{1, kTimeScale};
    result = writeHeader(output.get());
    if (result < 0)
        return discard(result);

    // Frame i starts at i × total / N, so the N frames fill the total duration exactly.
    PacketPtr packet(av_packet_alloc());
    if (!packet)
        return discard(AVERROR(ENOMEM));
    int64_t index = 0;
    while ((result = av_read_frame(input.get(), packet.get())) >= 0) {
        if (packet->stream_index != streamIndex || index >= m_framesAdded) {
            av_packet_unref(packet.get());
            continue;
        }
        const int64_t begin = index * totalDuration / m_framesAdded;
        const int64_t end = (index + 1) * totalDuration / m_framesAdded;
        packet->stream_index = stream->index;
        packet->pts = packet->dts =
            av_rescale_q(begin, AVRational{1, kTimeScale}, stream->time_base);
        packet->duration = av_rescale_q(end - begin, AVRational{1, kTimeScale}, stream->time_base);
        packet->pos = -1;
        ++index;
        result = av_interleaved_write_frame(output.get(), packet.get());
        if (result < 0)
            return discard(result);
    }
    if (result != AVERROR_EOF)
        return discard(result);
    result = av_write_trailer(output.get());
    if (result < 0)
        return discard(result);
    result = avio_closep(&output->pb);
    if (result < 0)
        return discard(result);
    const int error = AtomicFile::commit(partial, path, AtomicFile::Mode::KeepExisting);
    return error == 0 ? 0 : AVERROR(error);
}

} // namespace varnolet
