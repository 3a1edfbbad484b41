#pragma once

#include "FfmpegHandles.h"

#include <cstdint>
#include <functional>
#include <string>

namespace varnolet {

// MPEG-4 Visual encoding of 24-bit BGR frames: the frame is converted to YUV 4:2:0 (reading
// bottom-up rows through a negative stride, without a flipping copy) and encoded as an intra
// frame at a fixed quantizer, so every frame is a key frame and no packet is held back.
// One encoder context per movie. Not thread-safe.
class Mpeg4FrameEncoder
{
public:
    using PacketSink = std::function<int(AVPacket *)>;

    struct Settings
    {
        int width = 0;
        int height = 0;
        AVRational timeBase{1, 12};
        AVRational frameRate{0, 1}; // 0: one frame per time-base tick
        uint32_t codecTag = 0;
        int quantizer = 3; // 1 (best) .. 31
        bool globalHeader = false;
        std::string encoderName = "mpeg4";
    };

    // 0, AVERROR_ENCODER_NOT_FOUND when there is no such encoder, or another negative
    // AVERROR when the encoder refuses the settings.
    int open(const Settings &settings);
    bool isOpen() const { return m_context != nullptr; }
    const AVCodecContext *context() const { return m_context.get(); }

    // Converts and encodes one frame of width × height pixels (rows of 3 × width bytes);
    // hands every packet produced to sink. 0 or a negative AVERROR (also sink's).
    int encode(const uint8_t *bgr, bool bottomUp, int64_t pts, const PacketSink &sink);
    // Drains the encoder.
    int flush(const PacketSink &sink);

private:
    int receivePackets(const PacketSink &sink);

    Settings m_settings;
    CodecContextPtr m_context;
    FramePtr m_frame;
    PacketPtr m_packet;
    SwsContextPtr m_converter;
};

} // namespace varnolet
