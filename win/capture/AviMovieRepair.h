#pragma once

#include "IMovieRepairFile.h"

#include <chrono>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

// Finishes an AVI movie that a killed process or a power loss left open: the RIFF and
// movie-list sizes still hold the muxer's placeholder 0xFFFFFFFF and the index (idx1) is
// missing. The repair keeps every whole frame chunk, drops a partial last one (or the zero
// bytes a power loss leaves), appends a fresh index, and sets the frame counts, the frame
// rate and the sizes in the header.
//
// The file is untrusted: every size is checked against the file, reads go through a
// bounded window, the index is streamed to the file, and anything that is not what an
// interrupted recording leaves (a second stream, OpenDML parts, unknown chunks followed by
// data) leaves the file untouched. The writes are ordered so that a crash during the
// repair loses no frame: the index goes in first, the header's sizes last, and a file
// whose RIFF size is still the placeholder is simply repaired again.
class AviMovieRepair
{
public:
    enum class Outcome {
        Finished,    // a complete movie (or no AVI at all): nothing to do
        Repaired,    // was unfinished, now complete
        Unsupported, // unfinished, but not safely repairable: left untouched
        Failed,      // a read or write failed; the frames are still there
    };

    struct Result
    {
        Outcome outcome = Outcome::Finished;
        uint32_t frames = 0; // frame chunks kept
        uint32_t rate = 0;   // frames per second written into the header
        uint64_t droppedTailBytes = 0;
        std::string reason; // why it was not repaired
    };

    static constexpr uint32_t kPlaceholderSize = 0xFFFFFFFFu;
    // The most index entries a repair writes (the RIFF size is 32 bits).
    static constexpr uint64_t kMaxFrames = 0x0FFFFFFFu;

    // Repairs an unfinished movie. recordedMilliseconds: how long the recording ran, when
    // known; the rate is then the frames over that time, else the rate the header holds.
    static Result Repair(IMovieRepairFile &file, std::optional<uint64_t> recordedMilliseconds);

    // Whether the bytes at the start of a file say "unfinished AVI" (at least 12 bytes).
    static bool LooksUnfinished(const uint8_t *start, size_t length);
};

// One movie repaired at start-up.
struct RepairedMovie
{
    std::string path;
    uint32_t frames = 0;
};

// Repairs every unfinished AVI below the movies folder (the flat files and the per-day
// folders), skipping links, files that are not regular and files written to during the
// last few seconds (a writer may still be busy with them). now: the wall clock.
std::vector<RepairedMovie> RepairUnfinishedMovies(
    const std::string &moviesFolder,
    std::chrono::system_clock::time_point now = std::chrono::system_clock::now());

// Repairs one file on disk, taking the recording time from its creation and last-write
// times when the file system keeps both.
AviMovieRepair::Result RepairMovieFile(const std::string &path);
