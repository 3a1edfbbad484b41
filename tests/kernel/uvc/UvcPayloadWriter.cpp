#include "UvcPayloadWriter.h"

#include <algorithm>
#include <cstring>

namespace varnolet::test {

void UvcPayloadWriter::start(std::vector<uint8_t> picture, bool fid)
{
    m_picture = std::move(picture);
    m_offset = 0;
    m_fid = fid;
    m_inFrame = true;
}

std::vector<uint8_t> UvcPayloadWriter::next(size_t room)
{
    if (!m_inFrame || room <= kHeaderSize)
        return {};
    const size_t data = std::min(room - kHeaderSize, m_picture.size() - m_offset);
    const bool last = m_offset + data == m_picture.size();
    std::vector<uint8_t> payload(kHeaderSize + data);
    payload[0] = kHeaderSize;                                         // bHeaderLength
    payload[1] = 0x80 | (m_fid ? 0x01 : 0x00) | (last ? 0x02 : 0x00); // EOH, FID, EOF
    std::memcpy(payload.data() + kHeaderSize, m_picture.data() + m_offset, data);
    m_offset += data;
    if (last)
        m_inFrame = false;
    return payload;
}

std::vector<uint8_t> UvcPayloadWriter::fillIso(std::vector<IsoPacket> &packets, size_t maxPacket)
{
    std::vector<uint8_t> bytes;
    for (IsoPacket &packet : packets) {
        const std::vector<uint8_t> payload = next(std::min<size_t>(packet.length, maxPacket));
        packet.actualLength = static_cast<uint32_t>(payload.size());
        packet.status = 0;
        bytes.insert(bytes.end(), payload.begin(), payload.end());
    }
    return bytes;
}

} // namespace varnolet::test
