#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

namespace varnolet::test {

// Cuts one video frame into UVC payloads, each beginning with its own 2-byte payload header
// (EOH, FID, and EOF on the frame's last payload): bulk transfers of a given room, or the
// packets of an isochronous transfer, each at most the alternate setting's packet size.
class UvcPayloadWriter
{
public:
    // One packet of an isochronous transfer as USB/IP carries it: where it lies in the
    // transfer buffer, its room, and what was put in it.
    struct IsoPacket
    {
        uint32_t offset = 0;
        uint32_t length = 0;
        uint32_t actualLength = 0;
        int32_t status = 0;
    };

    static constexpr size_t kHeaderSize = 2;

    // Starts a frame; fid is its frame identifier bit.
    void start(std::vector<uint8_t> picture, bool fid);
    bool inFrame() const { return m_inFrame; }

    // The next payload in at most room bytes (empty when room cannot hold a header and a
    // byte). The frame ends with the payload that carries EOF.
    std::vector<uint8_t> next(size_t room);

    // Fills the packets in order, each with at most min(its length, maxPacket) bytes, and
    // returns their bytes back to back (the layout USB/IP sends). Packets after the
    // frame's end stay empty (actual length 0).
    std::vector<uint8_t> fillIso(std::vector<IsoPacket> &packets, size_t maxPacket);

private:
    std::vector<uint8_t> m_picture;
    size_t m_offset = 0;
    bool m_fid = false;
    bool m_inFrame = false;
};

} // namespace varnolet::test
