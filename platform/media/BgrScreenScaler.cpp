#include "BgrScreenScaler.h"

#include <algorithm>
#include <cstring>
#include <utility>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace varnolet {
namespace {

constexpr size_t kLanes = 4; // blue, green, red and an unused fourth, per pixel
// Past a row's last pixel: the 4-byte load of its right neighbour, which has weight 0.
constexpr size_t kRowPadding = 8;

uint32_t load4(const uint8_t *bytes)
{
    uint32_t value;
    std::memcpy(&value, bytes, 4);
    return value;
}

} // namespace

std::vector<BgrScreenScaler::Tap> BgrScreenScaler::taps(int sourceSize, int targetSize)
{
    // Target pixel t's centre lies at source position (t + 1/2) x S / T - 1/2, that is
    // ((2t + 1) S - T) / 2T, in whole and 256ths.
    std::vector<Tap> result(static_cast<size_t>(targetSize));
    const int64_t denominator = 2 * static_cast<int64_t>(targetSize);
    for (int t = 0; t < targetSize; ++t) {
        const int64_t numerator = (2 * static_cast<int64_t>(t) + 1) * sourceSize - targetSize;
        Tap &tap = result[static_cast<size_t>(t)];
        if (numerator <= 0)
            continue; // before the first centre: the first pixel alone
        int64_t scaled = (numerator * 256 + denominator / 2) / denominator;
        int64_t first = scaled >> 8;
        if (first >= sourceSize - 1) {
            tap.first = tap.second = sourceSize - 1;
            continue;
        }
        tap.first = static_cast<int>(first);
        tap.second = tap.first + 1;
        tap.weight = static_cast<uint16_t>(scaled & 0xff);
    }
    return result;
}

void BgrScreenScaler::prepare(int width, int height, int targetWidth, int targetHeight)
{
    if (width == m_width && height == m_height && targetWidth == m_targetWidth &&
        targetHeight == m_targetHeight)
        return;
    m_width = width;
    m_height = height;
    m_targetWidth = targetWidth;
    m_targetHeight = targetHeight;
    m_rows = taps(height, targetHeight);
    const std::vector<Tap> columns = taps(width, targetWidth);
    m_columnBytes.resize(columns.size());
    m_columnWeights.assign((columns.size() + 1) / 2 * kLanes * 4, 0);
    for (size_t x = 0; x < columns.size(); ++x) {
        m_columnBytes[x] = static_cast<uint32_t>(columns[x].first) * 3;
        // The first pixel's weight in the first kLanes lanes of each pair of pixels, the
        // second's in the next: the layout the vector loop loads two pixels' worth from.
        const size_t pair = x / 2 * kLanes * 4 + x % 2 * kLanes;
        for (size_t lane = 0; lane < kLanes; ++lane) {
            m_columnWeights[pair + lane] = static_cast<uint16_t>(256 - columns[x].weight);
            m_columnWeights[pair + 2 * kLanes + lane] = columns[x].weight;
        }
    }
    m_paddedRow.assign(static_cast<size_t>(width) * 3 + kRowPadding, 0);
    for (std::vector<uint16_t> &wide : m_wide)
        wide.assign(static_cast<size_t>(targetWidth) * kLanes, 0);
}

void BgrScreenScaler::enlargeRow(const uint8_t *row, uint16_t *wide)
{
    std::memcpy(m_paddedRow.data(), row, static_cast<size_t>(m_width) * 3);
    const uint8_t *padded = m_paddedRow.data();
    const uint16_t *weights = m_columnWeights.data();
    size_t x = 0;
    const size_t count = static_cast<size_t>(m_targetWidth);
#if defined(__SSE2__)
    const __m128i zero = _mm_setzero_si128();
    for (; x + 2 <= count; x += 2) {
        const uint8_t *p0 = padded + m_columnBytes[x];
        const uint8_t *p1 = padded + m_columnBytes[x + 1];
        const __m128i firsts = _mm_unpacklo_epi8(
            _mm_set_epi32(0, 0, static_cast<int>(load4(p1)), static_cast<int>(load4(p0))), zero);
        const __m128i seconds = _mm_unpacklo_epi8(
            _mm_set_epi32(0, 0, static_cast<int>(load4(p1 + 3)), static_cast<int>(load4(p0 + 3))),
            zero);
        const uint16_t *w = weights + x / 2 * kLanes * 4;
        const __m128i sum = _mm_add_epi16(
            _mm_mullo_epi16(firsts, _mm_loadu_si128(reinterpret_cast<const __m128i *>(w))),
            _mm_mullo_epi16(seconds,
                            _mm_loadu_si128(reinterpret_cast<const __m128i *>(w + 2 * kLanes))));
        _mm_storeu_si128(reinterpret_cast<__m128i *>(wide + x * kLanes), sum);
    }
#endif
    for (; x < count; ++x) {
        const uint8_t *p = padded + m_columnBytes[x];
        const size_t pair = x / 2 * kLanes * 4 + x % 2 * kLanes;
        const unsigned firstWeight = weights[pair];
        const unsigned secondWeight = weights[pair + 2 * kLanes];
        for (size_t lane = 0; lane < kLanes; ++lane)
            wide[x * kLanes + lane] =
                static_cast<uint16_t>(p[lane] * firstWeight + p[lane + 3] * secondWeight);
    }
}

bool BgrScreenScaler::scale(const uint8_t *source, int width, int height, bool bottomUp,
                            uint8_t *target, int targetWidth, int targetHeight, int targetStride)
{
    if (!source || !target || width <= 0 || height <= 0 || targetWidth <= 0 || targetHeight <= 0 ||
        targetStride < 4 || targetStride / 4 < targetWidth)
        return false;
    prepare(width, height, targetWidth, targetHeight);
    m_wideRow[0] = m_wideRow[1] = -1; // a new picture
    const size_t rowBytes = static_cast<size_t>(width) * 3;
    // Picture row r (from the top), enlarged across, in one of the two row buffers.
    const auto wideRow = [&](int row, int keep) -> const uint16_t * {
        for (int slot = 0; slot < 2; ++slot)
            if (m_wideRow[slot] == row)
                return m_wide[slot].data();
        const int slot = keep == 0 ? 1 : 0;
        const int stored = bottomUp ? height - 1 - row : row;
        enlargeRow(source + static_cast<size_t>(stored) * rowBytes, m_wide[slot].data());
        m_wideRow[slot] = row;
        return m_wide[slot].data();
    };
    const size_t lanes = static_cast<size_t>(targetWidth) * kLanes;
    for (int y = 0; y < targetHeight; ++y) {
        const Tap &tap = m_rows[static_cast<size_t>(y)];
        const int secondSlot = m_wideRow[0] == tap.second ? 0 : m_wideRow[1] == tap.second ? 1 : -1;
        const uint16_t *top = wideRow(tap.first, tap.weight ? secondSlot : -1);
        const int topSlot = m_wideRow[0] == tap.first ? 0 : 1;
        const uint16_t *bottom = tap.weight ? wideRow(tap.second, topSlot) : top;
        // Weights 1..255 of 256, shifted up so that the high half of a product is the
        // weighted value; a row's own weight of 256 would not fit, so weight 0 reads one row.
        const unsigned bottomWeight = tap.weight;
        const unsigned topWeight = 256 - bottomWeight;
        uint8_t *out = target + static_cast<size_t>(y) * static_cast<size_t>(targetStride);
        size_t i = 0;
#if defined(__SSE2__)
        const __m128i half = _mm_set1_epi16(128);
        const __m128i opaque = _mm_set1_epi32(static_cast<int>(0xff000000u));
        const __m128i topFactor = _mm_set1_epi16(static_cast<short>((topWeight << 8) & 0xffff));
        const __m128i bottomFactor = _mm_set1_epi16(static_cast<short>(bottomWeight << 8));
        for (; i + 16 <= lanes; i += 16) {
            __m128i low = _mm_loadu_si128(reinterpret_cast<const __m128i *>(top + i));
            __m128i high = _mm_loadu_si128(reinterpret_cast<const __m128i *>(top + i + 8));
            if (bottomWeight) {
                low = _mm_add_epi16(
                    _mm_mulhi_epu16(low, topFactor),
                    _mm_mulhi_epu16(_mm_loadu_si128(reinterpret_cast<const __m128i *>(bottom + i)),
                                    bottomFactor));
                high = _mm_add_epi16(
                    _mm_mulhi_epu16(high, topFactor),
                    _mm_mulhi_epu16(
                        _mm_loadu_si128(reinterpret_cast<const __m128i *>(bottom + i + 8)),
                        bottomFactor));
            }
            low = _mm_srli_epi16(_mm_add_epi16(low, half), 8);
            high = _mm_srli_epi16(_mm_add_epi16(high, half), 8);
            _mm_storeu_si128(reinterpret_cast<__m128i *>(out + i),
                             _mm_or_si128(_mm_packus_epi16(low, high), opaque));
        }
#endif
        for (; i < lanes; ++i) {
            unsigned value = top[i];
            if (bottomWeight)
                value =
                    ((top[i] * (topWeight << 8)) >> 16) + ((bottom[i] * (bottomWeight << 8)) >> 16);
            out[i] = i % kLanes == 3 ? 0xff : static_cast<uint8_t>((value + 128) >> 8);
        }
    }
    return true;
}

} // namespace varnolet
