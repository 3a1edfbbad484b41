#pragma once

#include <cstdint>
#include <cstdio>
#include <string>

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
}

namespace varnolet::test {

// What a movie file holds, read back with FFmpeg's demuxer and decoder.
struct MovieProbe
{
    bool opened = false;
    std::string container;
    uint32_t codecTag = 0;
    std::string codecName;
    int width = 0;
    int height = 0;
    int packets = 0;
    int keyPackets = 0;
    int decodedFrames = 0;
    int decodeErrors = 0;
    uint64_t packetBytes = 0;
    double durationSeconds = 0; // of the video stream
    int timeBaseDen = 0;
    int64_t firstPacketDuration = 0;
    double realFrameRate = 0; // the rate FFmpeg's tools take the stream to have (r_frame_rate)
};

inline MovieProbe probeMovie(const std::string &path)
{
    MovieProbe probe;
    AVFormatContext *input = nullptr;
    if (avformat_open_input(&input, path.c_str(), nullptr, nullptr) < 0)
        return probe;
    if (avformat_find_stream_info(input, nullptr) < 0) {
        avformat_close_input(&input);
        return probe;
    }
    const int index = av_find_best_stream(input, AVMEDIA_TYPE_VIDEO, -1, -1, nullptr, 0);
    if (index < 0) {
        avformat_close_input(&input);
        return probe;
    }
    probe.opened = true;
    probe.container = input->iformat->name;
    AVStream *stream = input->streams[index];
    probe.codecTag = stream->codecpar->codec_tag;
    probe.codecName = avcodec_get_name(stream->codecpar->codec_id);
    probe.width = stream->codecpar->width;
    probe.height = stream->codecpar->height;
    probe.timeBaseDen = stream->time_base.den;
    probe.realFrameRate = av_q2d(stream->r_frame_rate);
    if (stream->duration != AV_NOPTS_VALUE)
        probe.durationSeconds = stream->duration * av_q2d(stream->time_base);

    const AVCodec *codec = avcodec_find_decoder(stream->codecpar->codec_id);
    AVCodecContext *decoder = avcodec_alloc_context3(codec);
    avcodec_parameters_to_context(decoder, stream->codecpar);
    avcodec_open2(decoder, codec, nullptr);
    AVPacket *packet = av_packet_alloc();
    AVFrame *frame = av_frame_alloc();
    auto drain = [&] {
        while (avcodec_receive_frame(decoder, frame) == 0)
            ++probe.decodedFrames;
    };
    while (av_read_frame(input, packet) >= 0) {
        if (packet->stream_index == index) {
            if (probe.packets == 0)
                probe.firstPacketDuration = packet->duration;
            ++probe.packets;
            if (packet->flags & AV_PKT_FLAG_KEY)
                ++probe.keyPackets;
            probe.packetBytes += static_cast<uint64_t>(packet->size);
            if (avcodec_send_packet(decoder, packet) < 0)
                ++probe.decodeErrors;
            drain();
        }
        av_packet_unref(packet);
    }
    avcodec_send_packet(decoder, nullptr);
    drain();
    av_frame_free(&frame);
    av_packet_free(&packet);
    avcodec_free_context(&decoder);
    avformat_close_input(&input);
    return probe;
}

// Little-endian 32-bit value at a file offset (0 when the file is shorter).
inline uint32_t readLe32(const std::string &path, long offset)
{
    FILE *file = std::fopen(path.c_str(), "rb");
    if (!file)
        return 0;
    unsigned char bytes[4] = {};
    uint32_t value = 0;
    if (std::fseek(file, offset, SEEK_SET) == 0 && std::fread(bytes, 1, 4, file) == 4)
        value =
            bytes[0] | (bytes[1] << 8) | (bytes[2] << 16) | (static_cast<uint32_t>(bytes[3]) << 24);
    std::fclose(file);
    return value;
}

inline std::string readFourCc(const std::string &path, long offset)
{
    const uint32_t value = readLe32(path, offset);
    std::string text(4, ' ');
    for (int i = 0; i < 4; ++i)
        text[i] = static_cast<char>((value >> (8 * i)) & 0xff);
    return text;
}

} // namespace varnolet::test
