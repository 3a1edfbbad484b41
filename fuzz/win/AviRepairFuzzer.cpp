// Repairs any bytes as an unfinished AVI movie in memory and checks what the repair
// promises: a file it cannot repair is left as it was, a repaired one is finished (its
// RIFF size matches its length) and is not repaired a second time.
#include "win/capture/AviMovieRepair.h"
#include "win/capture/MemoryRepairFile.h"

#include "fuzz/platform/FuzzerDefaults.h"

#include <cstdint>
#include <string>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const std::string input(reinterpret_cast<const char *>(data), size);
    // The first byte chooses how much the file may grow, so a full disk is tried too.
    const uint64_t growth = size > 0 ? (uint64_t(data[0]) << 4) : 0;
    MemoryRepairFile file(input, growth);
    const std::optional<uint64_t> recorded =
        size > 1 && data[1] & 1 ? std::optional<uint64_t>(data[1] * 100u) : std::nullopt;
    const AviMovieRepair::Result result = AviMovieRepair::Repair(file, recorded);

    if (result.outcome != AviMovieRepair::Outcome::Repaired) {
        FUZZ_CHECK(file.Bytes() == input || result.outcome == AviMovieRepair::Outcome::Failed);
        FUZZ_CHECK(file.Bytes().size() == input.size());
        return 0;
    }
    const std::string &out = file.Bytes();
    FUZZ_CHECK(out.size() >= 12 && out.size() <= input.size() + 8 + 16 * (input.size() / 8) + 1);
    const uint32_t riff = uint8_t(out[4]) | uint8_t(out[5]) << 8 | uint8_t(out[6]) << 16 |
                          uint32_t(uint8_t(out[7])) << 24;
    FUZZ_CHECK(riff == out.size() - 8);
    FUZZ_CHECK(result.rate >= 1 && result.rate <= 1000);
    FUZZ_CHECK(uint64_t(result.frames) * 8 <= input.size());
    MemoryRepairFile again(out, growth);
    FUZZ_CHECK(AviMovieRepair::Repair(again, recorded).outcome ==
               AviMovieRepair::Outcome::Finished);
    FUZZ_CHECK(again.writes == 0);
    return 0;
}
