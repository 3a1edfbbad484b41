#include "MovieFrameReader.h"

#include "FfmpegHandles.h"

namespace varnolet {

namespace {

int convertFrame(const AVFrame *frame, BgrImage &image, bool bottomUp)
{
    if (frame->width <= 0 || frame->height <= 0 || frame->width > 16384 || frame->height > 16384)
        return AVERROR_INVALIDDATA;
    SwsContextPtr converter(sws_getContext(
        frame->width, frame->height, static_cast<AVPixelFormat>(frame->format), frame->width,
        frame->height, AV_PIX_FMT_BGR24, SWS_BILINEAR, nullptr, nullptr, nullptr));
    if (!converter)
        return AVERROR(EINVAL);
    BgrImage result;
    result.width = frame->width;
    result.height = frame->height;
    result.bottomUp = bottomUp;
    result.pixels.resize(static_cast<size_t>(result.width) * result.height * 3);
    const int stride = result.stride();
    uint8_t *first = bottomUp
                         ? result.pixels.data() + static_cast<size_t>(result.height - 1) * stride
                         : result.pixels.data();
    uint8_t *const planes[1] = {first};
    const int strides[1] = {bottomUp ? -stride : stride};
    if (sws_scale(converter.get(), frame->data, frame->linesize, 0, frame->height, planes,
                  strides) != frame->height)
        return AVERROR(EINVAL);
    image = std::move(result);
    return 0;
}

} // namespace

int MovieFrameReader::readFirstFrame(const std::string &path, BgrImage &image, bool bottomUp)
{
    image = BgrImage();
    AVFormatContext *raw = nullptr;
    // Only movie containers: a playlist or concat script saved under a movie name would
    // otherwise make FFmpeg open whatever files it names.
    AVDictionary *options = nullptr;
    av_dict_set(&options, "format_whitelist", "avi,mov,mp4,m4a,3gp,3g2,mj2,matroska,webm", 0);
    av_dict_set(&options, "protocol_whitelist", "file", 0);
    int result = avformat_open_input(&raw, path.c_str(), nullptr, &options);
    av_dict_free(&options);
    if (result < 0)
        return result;
    InputContextPtr input(raw);
    result = avformat_find_stream_info(input.get(), nullptr);
    if (result < 0)
        return result;
    const AVCodec *codec = nullptr;
    const int streamIndex = av_find_best_stream(input.get(), AVMEDIA_TYPE_VIDEO, -1, -1, &codec, 0);
    if (streamIndex < 0)
        return streamIndex;
    if (!codec)
        return AVERROR_DECODER_NOT_FOUND;

    CodecContextPtr decoder(avcodec_alloc_context3(codec));
    FramePtr frame(av_frame_alloc());
    PacketPtr packet(av_packet_alloc());
    if (!decoder || !frame || !packet)
        return AVERROR(ENOMEM);
    result = avcodec_parameters_to_context(decoder.get(), input->streams[streamIndex]->codecpar);
    if (result < 0)
        return result;
    decoder->thread_count = 1;
    result = avcodec_open2(decoder.get(), codec, nullptr);
    if (result < 0)
        return result;

    bool draining = false;
    for (int packets = 0; packets < kMaxPackets; ++packets) {
        result = avcodec_receive_frame(decoder.get(), frame.get());
        if (result == 0)
            return convertFrame(frame.get(), image, bottomUp);
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
