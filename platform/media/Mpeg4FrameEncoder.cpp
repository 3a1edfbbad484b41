#include "Mpeg4FrameEncoder.h"

extern "C" {
#include <libavutil/imgutils.h>
}

namespace varnolet {

int Mpeg4FrameEncoder::open(const Settings &settings)
{
    m_context.reset();
    m_settings = settings;
    if (settings.width <= 0 || settings.height <= 0)
        return AVERROR(EINVAL);
    const AVCodec *codec = avcodec_find_encoder_by_name(settings.encoderName.c_str());
    if (!codec)
        return AVERROR_ENCODER_NOT_FOUND;

    CodecContextPtr context(avcodec_alloc_context3(codec));
    FramePtr frame(av_frame_alloc());
    PacketPtr packet(av_packet_alloc());
    if (!context || !frame || !packet)
        return AVERROR(ENOMEM);
    context->width = settings.width;
    context->height = settings.height;
    context->pix_fmt = AV_PIX_FMT_YUV420P;
    context->time_base = settings.timeBase;
    context->framerate =
        settings.frameRate.num > 0 ? settings.frameRate : av_inv_q(settings.timeBase);
    context->gop_size = 1; // intra only: every frame a key frame
    context->max_b_frames = 0;
    context->codec_tag = settings.codecTag;
    context->thread_count = 1;
    context->flags |= AV_CODEC_FLAG_QSCALE;
    context->global_quality = FF_QP2LAMBDA * settings.quantizer;
    if (settings.globalHeader)
        context->flags |= AV_CODEC_FLAG_GLOBAL_HEADER;
    int result = avcodec_open2(context.get(), codec, nullptr);
    if (result < 0)
        return result;

    frame->format = context->pix_fmt;
    frame->width = context->width;
    frame->height = context->height;
    result = av_frame_get_buffer(frame.get(), 0);
    if (result < 0)
        return result;

    SwsContextPtr converter(sws_getContext(settings.width, settings.height, AV_PIX_FMT_BGR24,
                                           settings.width, settings.height, AV_PIX_FMT_YUV420P,
                                           SWS_BILINEAR, nullptr, nullptr, nullptr));
    if (!converter)
        return AVERROR(EINVAL);

    m_context = std::move(context);
    m_frame = std::move(frame);
    m_packet = std::move(packet);
    m_converter = std::move(converter);
    return 0;
}

int Mpeg4FrameEncoder::encode(const uint8_t *bgr, bool bottomUp, int64_t pts,
                              const PacketSink &sink)
{
    if (!m_context)
        return AVERROR(EINVAL);
    if (!bgr)
        return AVERROR(EFAULT);
    int result = av_frame_make_writable(m_frame.get());
    if (result < 0)
        return result;
    const int stride = m_settings.width * 3;
    const uint8_t *firstRow =
        bottomUp ? bgr + static_cast<ptrdiff_t>(m_settings.height - 1) * stride : bgr;
    const uint8_t *const planes[1] = {firstRow};
    const int strides[1] = {bottomUp ? -stride : stride};
    sws_scale(m_converter.get(), planes, strides, 0, m_settings.height, m_frame->data,
              m_frame->linesize);
    m_frame->pts = pts;
    m_frame->pict_type = AV_PICTURE_TYPE_I;
    m_frame->quality = m_context->global_quality;
    result = avcodec_send_frame(m_context.get(), m_frame.get());
    if (result < 0)
        return result;
    return receivePackets(sink);
}

int Mpeg4FrameEncoder::flush(const PacketSink &sink)
{
    if (!m_context)
        return 0;
    const int result = avcodec_send_frame(m_context.get(), nullptr);
    if (result < 0 && result != AVERROR_EOF)
        return result;
    return receivePackets(sink);
}

int Mpeg4FrameEncoder::receivePackets(const PacketSink &sink)
{
    for (;;) {
        int result = avcodec_receive_packet(m_context.get(), m_packet.get());
        if (result == AVERROR(EAGAIN) || result == AVERROR_EOF)
            return 0;
        if (result < 0)
            return result;
        result = sink(m_packet.get());
        av_packet_unref(m_packet.get());
        if (result < 0)
            return result;
    }
}

} // namespace varnolet
