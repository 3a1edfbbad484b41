#pragma once

#include <sys/mman.h>
#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <vector>

namespace varnolet::test {

// One pixel's channels.
struct Bgr
{
    int b = 0;
    int g = 0;
    int r = 0;
};

// A bottom-up BGR24 camera frame whose upper half is red and lower half blue (as seen
// upright), with a green bar at column (frameNumber × 8) mod width, so consecutive frames
// differ and the picture's orientation can be checked after any round trip.
inline std::vector<uint8_t> makeTestFrame(int width, int height, int frameNumber = 0)
{
    std::vector<uint8_t> frame(static_cast<size_t>(width) * height * 3);
    const int bar = (frameNumber * 8) % width;
    for (int y = 0; y < height; ++y) {
        // Memory row r holds picture row height - 1 - r.
        uint8_t *row = frame.data() + static_cast<size_t>(height - 1 - y) * width * 3;
        const bool top = y < height / 2;
        for (int x = 0; x < width; ++x) {
            uint8_t *pixel = row + 3 * x;
            if (x >= bar && x < bar + 8) {
                pixel[0] = 0;
                pixel[1] = 220;
                pixel[2] = 0;
            } else {
                pixel[0] = top ? 20 : 220;
                pixel[1] = 20;
                pixel[2] = top ? 220 : 20;
            }
        }
    }
    return frame;
}

// Pixel (x, y) of the upright picture in a bottom-up BGR24 buffer.
inline Bgr pixelOfBottomUp(const std::vector<uint8_t> &frame, int width, int height, int x, int y)
{
    const uint8_t *pixel = frame.data() + (static_cast<size_t>(height - 1 - y) * width + x) * 3;
    return {pixel[0], pixel[1], pixel[2]};
}

// A buffer whose last byte is followed by an unreadable page, so that any read past its
// end faults at once.
class GuardedBuffer
{
public:
    explicit GuardedBuffer(size_t size)
        : m_size(size)
    {
        const size_t page = static_cast<size_t>(sysconf(_SC_PAGESIZE));
        m_mapped = ((size + page - 1) / page + 1) * page;
        void *base =
            mmap(nullptr, m_mapped, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
        if (base == MAP_FAILED)
            return;
        m_base = static_cast<uint8_t *>(base);
        mprotect(m_base + m_mapped - page, page, PROT_NONE);
        m_data = m_base + m_mapped - page - size;
    }
    ~GuardedBuffer()
    {
        if (m_base)
            munmap(m_base, m_mapped);
    }
    GuardedBuffer(const GuardedBuffer &) = delete;
    GuardedBuffer &operator=(const GuardedBuffer &) = delete;
    uint8_t *data() const { return m_data; }
    size_t size() const { return m_size; }

private:
    size_t m_size;
    size_t m_mapped = 0;
    uint8_t *m_base = nullptr;
    uint8_t *m_data = nullptr;
};

} // namespace varnolet::test
