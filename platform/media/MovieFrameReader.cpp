#include "MovieFrameReader.h"

#include "FfmpegHandles.h"

#include "platform/system/UniqueFd.h"

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <cstring>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace varnolet {

namespace {

constexpr int kReadBufferBytes = 64 * 1024;

// The read position of the file is the one the descriptor shares with its other copies;
// the reader seeks before every read it makes through it.
struct FileSource
{
    int fd = -1;
    int64_t position = 0;
};

int readPacket(void *opaque, uint8_t *buffer, int size)
{
    auto *source = static_cast<FileSource *>(opaque);
    if (size <= 0)
        return AVERROR(EINVAL);
    for (;;) {
        const ssize_t got =
            ::pread(source->fd, buffer, static_cast<size_t>(size), source->position);
        if (got > 0) {
            source->position += got;
            return static_cast<int>(got);
        }
        if (got == 0)
            return AVERROR_EOF;
        if (errno != EINTR)
            return AVERROR(errno);
    }
}

int64_t seekPacket(void *opaque, int64_t offset, int whence)
{
    auto *source = static_cast<FileSource *>(opaque);
    struct stat status = {};
    if (::fstat(source->fd, &status) != 0)
        return AVERROR(errno);
    if (whence == AVSEEK_SIZE)
        return status.st_size;
    int64_t target = 0;
    switch (whence & ~AVSEEK_FORCE) {
    case SEEK_SET:
        target = offset;
        break;
    case SEEK_CUR:
        target = source->position + offset;
        break;
    case SEEK_END:
        target = status.st_size + offset;
        break;
    default:
        return AVERROR(EINVAL);
    }
    if (target < 0)
        return AVERROR(EINVAL);
    source->position = target;
    return target;
}

// The I/O context and its buffer. FFmpeg may replace the buffer while it reads (probing,
// seeking), so the one freed is the context's current buffer, never the first one.
struct IoContextDeleter
{
    void operator()(AVIOContext *context) const
    {
        if (context)
            av_freep(&context->buffer);
        avio_context_free(&context);
    }
};
using IoContextPtr = std::unique_ptr<AVIOContext, IoContextDeleter>;

// A demuxer asking for another file (QuickTime references, playlists) is refused.
int refuseOtherFiles(AVFormatContext *, AVIOContext **, const char *, int, AVDictionary **)
{
    return AVERROR(EPERM);
}

int convertFrame(const AVFrame *frame, BgrImage &image, bool bottomUp, FrameFit fit)
{
    if (frame->width <= 0 || frame->height <= 0 || frame->width > MovieFrameReader::kMaxSide ||
        frame->height > MovieFrameReader::kMaxSide)
        return AVERROR_INVALIDDATA;
    int width = 0;
    int height = 0;
    MovieFrameReader::fittedSize(frame->width, frame->height, fit, width, height);
    SwsContextPtr converter(sws_getContext(
        frame->width, frame->height, static_cast<AVPixelFormat>(frame->format), width, height,
        AV_PIX_FMT_BGR24,
        width == frame->width && height == frame->height ? SWS_BILINEAR : SWS_BICUBIC, nullptr,
        nullptr, nullptr));
    if (!converter)
        return AVERROR(EINVAL);
    // libswscale's SIMD converters write whole blocks of pixels, up to 45 bytes past the
    // last pixel of a row whose width is not a multiple of their block. They get a frame
    // buffer of FFmpeg's own aligned and padded layout; the rows are copied out after.
    FramePtr converted(av_frame_alloc());
    if (!converted)
        return AVERROR(ENOMEM);
    converted->format = AV_PIX_FMT_BGR24;
    converted->width = width;
    converted->height = height;
    int result = av_frame_get_buffer(converted.get(), 0);
    if (result < 0)
        return result;
    if (sws_scale(converter.get(), frame->data, frame->linesize, 0, frame->height, converted->data,
                  converted->linesize) != height)
        return AVERROR(EINVAL);
    BgrImage picture;
    picture.width = width;
    picture.height = height;
    picture.bottomUp = bottomUp;
    picture.pixels.resize(static_cast<size_t>(width) * height * 3);
    const size_t rowBytes = static_cast<size_t>(picture.stride());
    for (int y = 0; y < height; ++y) {
        const int target = bottomUp ? height - 1 - y : y;
        std::memcpy(picture.pixels.data() + static_cast<size_t>(target) * rowBytes,
                    converted->data[0] + static_cast<ptrdiff_t>(y) * converted->linesize[0],
                    rowBytes);
    }
    image = std::move(picture);
    return 0;
}

const char *demuxerName(MovieContainer container)
{
    return container == MovieContainer::Avi ? "avi" : "mov";
}

} // namespace

bool MovieFrameReader::containerOf(const std::string &path, MovieContainer &container)
{
    const size_t dot = path.find_last_of('.');
    const size_t slash = path.find_last_of('/');
    if (dot == std::string::npos || (slash != std::string::npos && dot < slash))
        return false;
    std::string extension = path.substr(dot + 1);
    std::transform(extension.begin(), extension.end(), extension.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    if (extension == "avi") {
        container = MovieContainer::Avi;
        return true;
    }
    if (extension == "mov") {
        container = MovieContainer::QuickTime;
        return true;
    }
    return false;
}

void MovieFrameReader::fittedSize(int width, int height, FrameFit fit, int &fittedWidth,
                                  int &fittedHeight)
{
    fittedWidth = width;
    fittedHeight = height;
    if (fit.maxWidth <= 0 || fit.maxHeight <= 0 || width <= 0 || height <= 0 ||
        (width <= fit.maxWidth && height <= fit.maxHeight))
        return;
    const double scale = std::min(static_cast<double>(fit.maxWidth) / width,
                                  static_cast<double>(fit.maxHeight) / height);
    fittedWidth = std::clamp(static_cast<int>(std::lround(width * scale)), 1, fit.maxWidth);
    fittedHeight = std::clamp(static_cast<int>(std::lround(height * scale)), 1, fit.maxHeight);
}

int MovieFrameReader::readFirstFrame(const std::string &path, BgrImage &image, bool bottomUp)
{
    image = BgrImage();
    MovieContainer container;
    if (!containerOf(path, container))
        return AVERROR_DEMUXER_NOT_FOUND;
    const UniqueFd fd(::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NOCTTY));
    if (!fd)
        return AVERROR(errno);
    return readFirstFrame(fd.get(), container, image, bottomUp);
}

int MovieFrameReader::readFirstFrame(int fd, MovieContainer container, BgrImage &image,
                                     bool bottomUp, FrameFit fit, int *sourceWidth,
                                     int *sourceHeight)
{
    image = BgrImage();
    const AVInputFormat *format = av_find_input_format(demuxerName(container));
    if (!format)
        return AVERROR_DEMUXER_NOT_FOUND;
    FileSource source{fd, 0};
    auto *buffer = static_cast<uint8_t *>(av_malloc(kReadBufferBytes));
    if (!buffer)
        return AVERROR(ENOMEM);
    IoContextPtr io(
        avio_alloc_context(buffer, kReadBufferBytes, 0, &source, readPacket, nullptr, seekPacket));
    if (!io) {
        av_free(buffer);
        return AVERROR(ENOMEM);
    }
    AVFormatContext *raw = avformat_alloc_context();
    if (!raw)
        return AVERROR(ENOMEM);
    raw->pb = io.get();
    raw->flags |= AVFMT_FLAG_CUSTOM_IO;
    raw->io_open = refuseOtherFiles;
    AVDictionary *options = nullptr;
    av_dict_set(&options, "format_whitelist", format->name, 0);
    av_dict_set(&options, "codec_whitelist", "mpeg4", 0);
    av_dict_set(&options, "protocol_whitelist", "none", 0);
    // Frees raw itself when it fails; the I/O context stays ours.
    int result = avformat_open_input(&raw, nullptr, format, &options);
    av_dict_free(&options);
    if (result < 0)
        return result;
    InputContextPtr input(raw); // closed before io is freed

    int streamIndex = -1;
    for (unsigned i = 0; i < input->nb_streams; ++i) {
        AVStream *stream = input->streams[i];
        if (streamIndex < 0 && stream->codecpar->codec_type == AVMEDIA_TYPE_VIDEO)
            streamIndex = static_cast<int>(i);
        else
            stream->discard = AVDISCARD_ALL;
    }
    if (streamIndex < 0)
        return AVERROR_STREAM_NOT_FOUND;
    const AVCodecParameters *parameters = input->streams[streamIndex]->codecpar;
    if (parameters->codec_id != AV_CODEC_ID_MPEG4)
        return AVERROR_DECODER_NOT_FOUND;
    const AVCodec *codec = avcodec_find_decoder(AV_CODEC_ID_MPEG4);
    if (!codec)
        return AVERROR_DECODER_NOT_FOUND;

    CodecContextPtr decoder(avcodec_alloc_context3(codec));
    FramePtr frame(av_frame_alloc());
    PacketPtr packet(av_packet_alloc());
    if (!decoder || !frame || !packet)
        return AVERROR(ENOMEM);
    result = avcodec_parameters_to_context(decoder.get(), parameters);
    if (result < 0)
        return result;
    decoder->thread_count = 1;
    decoder->max_pixels = static_cast<int64_t>(kMaxSide) * kMaxSide;
    result = avcodec_open2(decoder.get(), codec, nullptr);
    if (result < 0)
        return result;

    bool draining = false;
    for (int packets = 0; packets < kMaxPackets; ++packets) {
        result = avcodec_receive_frame(decoder.get(), frame.get());
        if (result == 0) {
            if (sourceWidth)
                *sourceWidth = frame->width;
            if (sourceHeight)
                *sourceHeight = frame->height;
            return convertFrame(frame.get(), image, bottomUp, fit);
        }
        if (result == AVERROR_EOF)
            return AVERROR_INVALIDDATA; // no decodable frame at all
        if (result != AVERROR(EAGAIN))
            return result;
        if (draining)
            return AVERROR_INVALIDDATA;
        result = av_read_frame(input.get(), packet.get());
        if (result < 0) {
            // End of file: drain what the decoder still holds.
            draining = true;
            avcodec_send_packet(decoder.get(), nullptr);
            continue;
        }
        // A damaged packet is refused by the decoder; the next one may still decode.
        if (packet->stream_index == streamIndex)
            avcodec_send_packet(decoder.get(), packet.get());
        av_packet_unref(packet.get());
    }
    return AVERROR_INVALIDDATA;
}

} // namespace varnolet
