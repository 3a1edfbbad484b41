// Any bytes as a recording file left by a kill: the scan never reads outside them, never
// counts a fragment without the movie header, and cutting the file where it says gives a
// file that scans the same (so a recovery that is run twice changes nothing more).
#include "platform/media/QuickTimeFragmentScan.h"

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <vector>

using varnolet::QuickTimeFragmentScan;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const std::vector<uint8_t> bytes(data, data + size);
    const QuickTimeFragmentScan::Result result =
        QuickTimeFragmentScan::scan(bytes.data(), bytes.size());
    if (result.completeLength > size)
        std::abort();
    if (result.fragments > 0 && !result.hasMovieHeader)
        std::abort();
    if (!result.hasMovieHeader && result.completeLength != 0)
        std::abort();
    const QuickTimeFragmentScan::Result again =
        QuickTimeFragmentScan::scan(bytes.data(), static_cast<size_t>(result.completeLength));
    if (again.fragments != result.fragments || again.completeLength != result.completeLength ||
        again.hasMovieHeader != result.hasMovieHeader)
        std::abort();
    return 0;
}
