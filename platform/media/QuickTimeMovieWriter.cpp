#include "QuickTimeMovieWriter.h"

#include "QuickTimeFragmentScan.h"

#include "platform/system/AtomicFile.h"

#include <cerrno>
#include <cstdio>
#include <string_view>

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

extern "C" {
#include <libavutil/dict.h>
#include <libavutil/mem.h>
}

namespace varnolet {

namespace {

constexpr int kIoBufferSize = 64 * 1024;

AVDictionary *muxerOptions()
{
    AVDictionary *options = nullptr;
    const std::string scale = std::to_string(QuickTimeMovieWriter::kTimeScale);
    av_dict_set(&options, "video_track_timescale", scale.c_str(), 0);
    av_dict_set(&options, "movie_timescale", scale.c_str(), 0);
    // The movie header comes first and holds no samples; the frames follow in fragments
    // that are written out when asked for (flushFragment).
    av_dict_set(&options, "movflags", "frag_custom+empty_moov", 0);
    return options;
}

} // namespace

QuickTimeMovieWriter::~QuickTimeMovieWriter()
{
    if (m_file.isOpen() && !m_finished)
        finish(-1);
    closeMovie();
}

int QuickTimeMovieWriter::fail(int error)
{
    if (m_error == 0)
        m_error = error;
    return m_error;
}

int QuickTimeMovieWriter::start(const std::string &path)
{
    if (isStarted())
        return AVERROR(EBUSY);
    const int error = m_file.open(path);
    return error == 0 ? 0 : AVERROR(error);
}

int QuickTimeMovieWriter::writeOut(void *opaque, uint8_t *data, int size)
{
    auto *self = static_cast<QuickTimeMovieWriter *>(opaque);
    int done = 0;
    while (done < size) {
        const ssize_t written =
            ::write(self->m_file.descriptor(), data + done, static_cast<size_t>(size - done));
        if (written < 0) {
            if (errno == EINTR)
                continue;
            return self->fail(AVERROR(errno));
        }
        if (written == 0)
            return self->fail(AVERROR(EIO));
        done += static_cast<int>(written);
    }
    return size;
}

int64_t QuickTimeMovieWriter::seekOut(void *opaque, int64_t offset, int whence)
{
    auto *self = static_cast<QuickTimeMovieWriter *>(opaque);
    if (whence == AVSEEK_SIZE) {
        struct stat info
        {
        };
        return ::fstat(self->m_file.descriptor(), &info) == 0 ? static_cast<int64_t>(info.st_size)
                                                              : AVERROR(errno);
    }
    const off_t position = ::lseek(self->m_file.descriptor(), offset, whence & ~AVSEEK_FORCE);
    return position < 0 ? AVERROR(errno) : static_cast<int64_t>(position);
}

int QuickTimeMovieWriter::openMovie(int width, int height)
{
    auto *buffer = static_cast<uint8_t *>(av_malloc(kIoBufferSize));
    if (!buffer)
        return AVERROR(ENOMEM);
    m_io = avio_alloc_context(buffer, kIoBufferSize, 1, this, nullptr, &writeOut, &seekOut);
    if (!m_io) {
        av_free(buffer);
        return AVERROR(ENOMEM);
    }
    AVFormatContext *raw = nullptr;
    int result =
        avformat_alloc_output_context2(&raw, nullptr, "mov", m_file.recordingPath().c_str());
    if (result < 0 || !raw)
        return result < 0 ? result : AVERROR(ENOMEM);
    m_format.reset(raw);
    m_format->pb = m_io;
    m_format->flags |= AVFMT_FLAG_CUSTOM_IO;
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
    AVDictionary *options = muxerOptions();
    result = avformat_write_header(m_format.get(), &options);
    av_dict_free(&options);
    if (result < 0)
        return result;
    avio_flush(m_io);
    if (m_error != 0)
        return m_error;
    m_held.reset(av_packet_alloc());
    if (!m_held)
        return AVERROR(ENOMEM);
    m_width = width;
    m_height = height;
    m_durableEnd = fileSize();
    return 0;
}

int64_t QuickTimeMovieWriter::fileSize() const
{
    return m_file.size();
}

void QuickTimeMovieWriter::closeMovie()
{
    if (m_format)
        m_format->pb = nullptr; // the context is ours, not the format's
    m_format.reset();
    m_stream = nullptr;
    if (m_io) {
        av_freep(&m_io->buffer);
        avio_context_free(&m_io);
    }
    m_encoder = Mpeg4FrameEncoder();
    m_held.reset();
    m_holding = false;
}

int QuickTimeMovieWriter::writeHeldPacket(int64_t duration)
{
    if (!m_holding)
        return 0;
    m_holding = false;
    AVPacket *packet = m_held.get();
    packet->duration = std::max<int64_t>(1, duration);
    av_packet_rescale_ts(packet, AVRational{1, kTimeScale}, m_stream->time_base);
    const int64_t end = av_rescale_q(packet->pts + packet->duration, m_stream->time_base,
                                     AVRational{1, kTimeScale});
    const int size = packet->size;
    const int result = av_write_frame(m_format.get(), packet);
    av_packet_unref(packet);
    if (result < 0)
        return fail(result);
    ++m_pendingFrames;
    m_pendingBytes += static_cast<uint64_t>(size);
    // A fragment ends after a second of movie, or sooner when its frames are large: the
    // muxer holds a fragment in memory until it is written.
    if (end - m_fragmentStart >= kFragmentUnits || m_pendingBytes >= kFragmentBytes) {
        m_fragmentStart = end;
        return flushFragment();
    }
    return m_error;
}

int QuickTimeMovieWriter::flushFragment()
{
    if (m_pendingFrames == 0)
        return m_error;
    const int result = av_write_frame(m_format.get(), nullptr);
    if (result < 0)
        return fail(result);
    avio_flush(m_io);
    if (m_io->error < 0)
        fail(m_io->error);
    if (m_error != 0)
        return m_error;
    // Flushed through to the disk, so a power loss keeps it too. File systems that cannot
    // sync (EINVAL) hold nothing back.
    if (::fdatasync(m_file.descriptor()) != 0 && errno != EINVAL && errno != EROFS)
        return fail(AVERROR(errno));
    m_durableEnd = fileSize();
    m_durableFrames += m_pendingFrames;
    m_pendingFrames = 0;
    m_pendingBytes = 0;
    return 0;
}

int QuickTimeMovieWriter::addFrame(const uint8_t *bgr, int width, int height, bool bottomUp)
{
    return addFrame(bgr, width, height, bottomUp,
                    static_cast<int64_t>(m_framesAdded) * kFrameDuration);
}

int QuickTimeMovieWriter::addFrame(const uint8_t *bgr, int width, int height, bool bottomUp,
                                   int64_t time)
{
    if (m_error != 0)
        return m_error;
    if (m_finished || !m_file.isOpen())
        return AVERROR(EINVAL);
    if (!bgr || width <= 0 || height <= 0)
        return AVERROR(EINVAL);
    if (!m_format) {
        const int result = openMovie(width, height);
        if (result < 0) {
            fail(result);
            closeMovie();
            return m_error;
        }
        m_fragmentStart = std::max<int64_t>(0, time);
    }
    const uint8_t *pixels = bgr;
    if (width != m_width || height != m_height) {
        m_scaled.resize(static_cast<size_t>(m_width) * m_height * 3);
        if (!m_scaler.scale(bgr, width, height, m_scaled.data(), m_width, m_height))
            return AVERROR(EINVAL);
        pixels = m_scaled.data();
    }
    const int64_t pts = std::max(time, m_lastTime + 1);
    if (m_holding) {
        const int result = writeHeldPacket(pts - m_held->pts);
        if (result < 0)
            return result;
    }
    const int result = m_encoder.encode(pixels, bottomUp, pts, [this](AVPacket *packet) {
        // The encoder makes intra frames only: one packet per frame, none held back.
        if (m_holding)
            return AVERROR_BUG;
        const int referenced = av_packet_ref(m_held.get(), packet);
        if (referenced < 0)
            return referenced;
        m_held->stream_index = m_stream->index;
        m_held->flags |= AV_PKT_FLAG_KEY;
        m_videoBytes += static_cast<uint64_t>(packet->size);
        m_holding = true;
        return 0;
    });
    if (result < 0)
        return fail(result);
    m_lastTime = pts;
    ++m_framesAdded;
    return 0;
}

int QuickTimeMovieWriter::finish(int64_t endTime)
{
    if (m_finished)
        return m_error;
    if (!m_file.isOpen())
        return AVERROR(EINVAL);
    m_finished = true;
    if (m_format && m_error == 0) {
        if (m_holding) {
            const int64_t duration = endTime < 0 ? kFrameDuration : endTime - m_held->pts;
            writeHeldPacket(duration);
        }
        if (m_error == 0)
            flushFragment();
        if (m_error == 0) {
            const int result = av_write_trailer(m_format.get());
            if (result < 0)
                fail(result);
            avio_flush(m_io);
            if (m_io->error < 0)
                fail(m_io->error);
            if (m_error == 0)
                m_durableEnd = fileSize();
        }
    }
    closeMovie();
    if (m_durableFrames == 0) {
        // Nothing playable reached the disk: neither the recording nor the reservation stays.
        m_file.discard();
    } else if (const int error = m_file.keep(m_durableEnd); error != 0) {
        fail(AVERROR(error));
    }
    if (m_error == 0 && m_framesAdded == 0)
        return AVERROR(ENODATA);
    return m_error;
}

} // namespace varnolet
