#include "BgrHalving.h"

#include <cstddef>
#include <cstring>
#include <vector>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace varnolet {
namespace {

inline uint8_t mean(uint8_t a, uint8_t b)
{
    return static_cast<uint8_t>((a + b + 1) >> 1);
}

// blocks[i] = mean(mean(top[i], bottom[i]), mean(top[i + 3], bottom[i + 3])) for i < count:
// at every pixel start i = 6x, the 2 x 2 block mean of result pixel x (each channel).
// top and bottom hold count + 3 readable bytes.
void blockMeans(const uint8_t *top, const uint8_t *bottom, size_t count, uint8_t *blocks)
{
    size_t i = 0;
#if defined(__SSE2__)
    for (; i + 16 <= count; i += 16) {
        const __m128i left =
            _mm_avg_epu8(_mm_loadu_si128(reinterpret_cast<const __m128i *>(top + i)),
                         _mm_loadu_si128(reinterpret_cast<const __m128i *>(bottom + i)));
        const __m128i right =
            _mm_avg_epu8(_mm_loadu_si128(reinterpret_cast<const __m128i *>(top + i + 3)),
                         _mm_loadu_si128(reinterpret_cast<const __m128i *>(bottom + i + 3)));
        _mm_storeu_si128(reinterpret_cast<__m128i *>(blocks + i), _mm_avg_epu8(left, right));
    }
#endif
    for (; i < count; ++i)
        blocks[i] = mean(mean(top[i], bottom[i]), mean(top[i + 3], bottom[i + 3]));
}

// Runs the halving row by row: for each result row y, the block means of its source row
// pair (buffer rows sourceRow(y) and the one after) go to pack(y, blocks, halfWidth).
template <typename SourceRow, typename Pack>
void halveRows(const uint8_t *source, int width, int height, SourceRow sourceRow, Pack pack)
{
    const int halfWidth = width / 2;
    const int halfHeight = height / 2;
    const size_t sourceStride = static_cast<size_t>(width) * 3;
    // The block of result pixel x starts at byte 6x of a row pair; the last one's right
    // half ends with the source row's last used byte.
    const size_t count = static_cast<size_t>(halfWidth) * 6 - 3;
    // One row of block means, on the stack for every common width, else on the heap.
    constexpr size_t kStackRow = 8192 * 3;
    uint8_t stackRow[kStackRow];
    std::vector<uint8_t> heapRow;
    uint8_t *blocks = stackRow;
    if (count > kStackRow) {
        heapRow.resize(count);
        blocks = heapRow.data();
    }
    for (int y = 0; y < halfHeight; ++y) {
        const uint8_t *first = source + static_cast<size_t>(sourceRow(y)) * sourceStride;
        blockMeans(first, first + sourceStride, count, blocks);
        pack(y, blocks, halfWidth);
    }
}

} // namespace

bool BgrHalving::halve(const uint8_t *source, int width, int height, uint8_t *target)
{
    if (!source || !target || width < 2 || height < 2)
        return false;
    const size_t targetStride = static_cast<size_t>(width / 2) * 3;
    halveRows(
        source, width, height, [](int y) { return 2 * y; },
        [&](int y, const uint8_t *blocks, int columns) {
            uint8_t *out = target + static_cast<size_t>(y) * targetStride;
            // Four bytes at a time, each store's last byte overwritten by the next pixel.
            int x = 0;
            for (; x + 1 < columns; ++x) {
                uint32_t pixel;
                std::memcpy(&pixel, blocks + 6 * static_cast<size_t>(x), 4);
                std::memcpy(out + 3 * x, &pixel, 4);
            }
            std::memcpy(out + 3 * x, blocks + 6 * static_cast<size_t>(x), 3);
        });
    return true;
}

bool BgrHalving::halveForScreen(const uint8_t *source, int width, int height, bool bottomUp,
                                uint8_t *target, int targetStride)
{
    const int halfWidth = width / 2;
    if (!source || !target || width < 2 || height < 2 || targetStride < halfWidth * 4)
        return false;
    // Result row y (from the top) comes from picture rows 2y and 2y + 1; stored bottom-up,
    // those are buffer rows height - 2 - 2y and height - 1 - 2y.
    const auto sourceRow = [&](int y) { return bottomUp ? height - 2 - 2 * y : 2 * y; };
    halveRows(source, width, height, sourceRow, [&](int y, const uint8_t *blocks, int columns) {
        auto *out = target + static_cast<size_t>(y) * targetStride;
        int x = 0;
        for (; x + 1 < columns; ++x) {
            uint32_t pixel;
            std::memcpy(&pixel, blocks + 6 * static_cast<size_t>(x), 4);
            pixel |= 0xff000000u; // blue, green, red in the low bytes
            std::memcpy(out + 4 * x, &pixel, 4);
        }
        const uint8_t *last = blocks + 6 * static_cast<size_t>(x);
        const uint8_t pixel[4] = {last[0], last[1], last[2], 0xff};
        std::memcpy(out + 4 * x, pixel, 4);
    });
    return true;
}

} // namespace varnolet
