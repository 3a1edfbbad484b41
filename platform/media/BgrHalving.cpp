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

} // namespace

bool BgrHalving::halve(const uint8_t *source, int width, int height, uint8_t *target)
{
    if (!source || !target || width < 2 || height < 2)
        return false;
    const int halfWidth = width / 2;
    const int halfHeight = height / 2;
    const size_t sourceStride = static_cast<size_t>(width) * 3;
    const size_t targetStride = static_cast<size_t>(halfWidth) * 3;
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
        const uint8_t *top = source + static_cast<size_t>(2 * y) * sourceStride;
        blockMeans(top, top + sourceStride, count, blocks);
        uint8_t *out = target + static_cast<size_t>(y) * targetStride;
        // Four bytes at a time, each store's last byte overwritten by the next pixel.
        int x = 0;
        for (; x + 1 < halfWidth; ++x) {
            uint32_t pixel;
            std::memcpy(&pixel, blocks + 6 * static_cast<size_t>(x), 4);
            std::memcpy(out + 3 * x, &pixel, 4);
        }
        std::memcpy(out + 3 * x, blocks + 6 * static_cast<size_t>(x), 3);
    }
    return true;
}

} // namespace varnolet
