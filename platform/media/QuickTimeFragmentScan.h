#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>

namespace varnolet {

// Walks the top-level boxes of a fragmented QuickTime movie as a recording leaves it (ftyp,
// moov, then moof + mdat pairs, then perhaps mfra) and finds where its last complete
// fragment ends, so that a file cut short by a kill or a full disk can be cut back to a
// movie that plays. The bytes are untrusted: sizes running past the end, zero or tiny sizes
// and boxes out of order end the walk where the trouble starts.
class QuickTimeFragmentScan
{
public:
    // Reads size bytes at offset into data; false when they cannot be read.
    using Reader = std::function<bool(uint64_t offset, uint8_t *data, size_t size)>;

    struct Result
    {
        bool hasMovieHeader = false; // ftyp then moov, both complete
        int fragments = 0;           // complete moof + mdat pairs
        uint64_t completeLength = 0; // bytes up to the end of the last complete box kept
    };

    static Result scan(uint64_t fileSize, const Reader &read);
    static Result scan(const uint8_t *data, size_t size);
};

} // namespace varnolet
