#pragma once

#include "BgrImage.h"

#include <string>

namespace varnolet {

// Reads the first video frame of a movie that FFmpeg can open (AVI, QuickTime, ...), for
// thumbnails. Safe on any input: broken files give an error, never a hang (the number of
// packets read is bounded).
class MovieFrameReader
{
public:
    // 0 and the frame as BGR (rows bottom-up when asked), or a negative AVERROR.
    // AVERROR_STREAM_NOT_FOUND when the file has no video stream.
    static int readFirstFrame(const std::string &path, BgrImage &image, bool bottomUp = false);

    static constexpr int kMaxPackets = 2000;
};

} // namespace varnolet
