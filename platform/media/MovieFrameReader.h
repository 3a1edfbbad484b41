#pragma once

#include "BgrImage.h"

#include <string>

namespace varnolet {

// The containers the programs record into, each opened only by its own demuxer.
enum class MovieContainer {
    Avi,
    QuickTime,
};

// A frame fitted inside maxWidth × maxHeight (never enlarged); 0 × 0 keeps its size.
struct FrameFit
{
    int maxWidth = 0;
    int maxHeight = 0;
};

// Reads the first video frame of a movie the programs write (MPEG-4 Part 2 in AVI or
// QuickTime), for thumbnails. Safe on any input: broken files give an error, never a hang
// (the number of packets read is bounded). The container is taken from the file's name,
// never guessed from its contents, only the video stream is decoded and the demuxers may
// not open any other file.
class MovieFrameReader
{
public:
    // The container of a movie by its extension (".avi"; ".mov"), case-insensitive.
    static bool containerOf(const std::string &path, MovieContainer &container);

    // 0 and the frame as BGR (rows bottom-up when asked), or a negative AVERROR.
    // AVERROR_STREAM_NOT_FOUND when the file has no video stream,
    // AVERROR_DEMUXER_NOT_FOUND for a name that is not a movie's.
    static int readFirstFrame(const std::string &path, BgrImage &image, bool bottomUp = false);
    // The same from a file already open for reading (read from its start; not closed). The
    // frame's own size is stored in source* when given.
    static int readFirstFrame(int fd, MovieContainer container, BgrImage &image,
                              bool bottomUp = false, FrameFit fit = {}, int *sourceWidth = nullptr,
                              int *sourceHeight = nullptr);

    // The size a width × height frame gets under `fit`.
    static void fittedSize(int width, int height, FrameFit fit, int &fittedWidth,
                           int &fittedHeight);

    static constexpr int kMaxPackets = 2000;
    static constexpr int kMaxSide = 16384;
};

} // namespace varnolet
