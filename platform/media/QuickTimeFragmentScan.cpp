#include "QuickTimeFragmentScan.h"

#include <cstring>

namespace varnolet {

namespace {

constexpr uint32_t fourCC(const char (&name)[5])
{
    return static_cast<uint32_t>(static_cast<uint8_t>(name[0])) << 24 |
           static_cast<uint32_t>(static_cast<uint8_t>(name[1])) << 16 |
           static_cast<uint32_t>(static_cast<uint8_t>(name[2])) << 8 |
           static_cast<uint32_t>(static_cast<uint8_t>(name[3]));
}

uint64_t bigEndian(const uint8_t *bytes, int count)
{
    uint64_t value = 0;
    for (int i = 0; i < count; ++i)
        value = value << 8 | bytes[i];
    return value;
}

struct Box
{
    uint32_t type = 0;
    uint64_t size = 0;
};

// The box at offset when it lies wholly inside the file.
bool readBox(uint64_t offset, uint64_t fileSize, const QuickTimeFragmentScan::Reader &read,
             Box &box)
{
    if (fileSize - offset < 8)
        return false;
    uint8_t header[16];
    if (!read(offset, header, 8))
        return false;
    box.type = static_cast<uint32_t>(bigEndian(header + 4, 4));
    box.size = bigEndian(header, 4);
    uint64_t headerSize = 8;
    if (box.size == 1) { // 64-bit size follows
        if (fileSize - offset < 16 || !read(offset + 8, header + 8, 8))
            return false;
        box.size = bigEndian(header + 8, 8);
        headerSize = 16;
    }
    // A size of 0 ("to the end of the file") is what a writer leaves before it knows the
    // size: such a box is never known to be complete.
    return box.size >= headerSize && box.size <= fileSize - offset;
}

} // namespace

QuickTimeFragmentScan::Result QuickTimeFragmentScan::scan(uint64_t fileSize, const Reader &read)
{
    Result result;
    uint64_t offset = 0;
    Box box;
    if (!readBox(offset, fileSize, read, box) || box.type != fourCC("ftyp"))
        return result;
    offset += box.size;
    // Boxes a writer may put before the movie header.
    while (
        readBox(offset, fileSize, read, box) &&
        (box.type == fourCC("free") || box.type == fourCC("skip") || box.type == fourCC("wide"))) {
        offset += box.size;
    }
    if (!readBox(offset, fileSize, read, box) || box.type != fourCC("moov"))
        return result;
    offset += box.size;
    result.hasMovieHeader = true;
    result.completeLength = offset;

    while (readBox(offset, fileSize, read, box)) {
        if (box.type == fourCC("moof")) {
            // A fragment counts once its media data follow it whole.
            uint64_t next = offset + box.size;
            Box data;
            if (!readBox(next, fileSize, read, data) || data.type != fourCC("mdat"))
                break;
            next += data.size;
            ++result.fragments;
            offset = next;
            result.completeLength = offset;
        } else if (box.type == fourCC("mfra") || box.type == fourCC("free") ||
                   box.type == fourCC("skip")) {
            offset += box.size;
            result.completeLength = offset;
        } else {
            break;
        }
    }
    return result;
}

QuickTimeFragmentScan::Result QuickTimeFragmentScan::scan(const uint8_t *data, size_t size)
{
    return scan(size, [data, size](uint64_t offset, uint8_t *out, size_t count) {
        if (offset > size || count > size - offset)
            return false;
        std::memcpy(out, data + offset, count);
        return true;
    });
}

} // namespace varnolet
