#include "FolderChangeBlock.h"

#include <cstring>

namespace {

constexpr size_t kHeaderSize = 12;

void PutWord(std::vector<uint8_t> &bytes, size_t at, uint32_t value)
{
    std::memcpy(bytes.data() + at, &value, sizeof value);
}

uint32_t GetWord(const std::vector<uint8_t> &bytes, size_t at)
{
    uint32_t value = 0;
    std::memcpy(&value, bytes.data() + at, sizeof value);
    return value;
}

} // namespace

FolderChangeBlock FolderChangeBlock::Encode(const std::vector<FolderChangeRecord> &records)
{
    std::vector<uint8_t> bytes;
    size_t previous = 0;
    for (size_t i = 0; i < records.size(); ++i) {
        const FolderChangeRecord &record = records[i];
        const size_t start = bytes.size();
        const size_t length = (kHeaderSize + record.name.size() + 3) & ~size_t(3);
        bytes.resize(start + length, 0);
        if (i > 0)
            PutWord(bytes, previous, static_cast<uint32_t>(start - previous));
        PutWord(bytes, start, 0);
        PutWord(bytes, start + 4, record.action);
        PutWord(bytes, start + 8, static_cast<uint32_t>(record.name.size()));
        if (!record.name.empty())
            std::memcpy(bytes.data() + start + kHeaderSize, record.name.data(), record.name.size());
        previous = start;
    }
    return FolderChangeBlock(std::move(bytes));
}

std::vector<FolderChangeRecord> FolderChangeBlock::Decode() const
{
    std::vector<FolderChangeRecord> records;
    size_t at = 0;
    while (at + kHeaderSize <= m_bytes.size()) {
        const uint32_t next = GetWord(m_bytes, at);
        const uint32_t action = GetWord(m_bytes, at + 4);
        const uint32_t length = GetWord(m_bytes, at + 8);
        if (length > m_bytes.size() - at - kHeaderSize)
            break;
        const char *name = reinterpret_cast<const char *>(m_bytes.data() + at + kHeaderSize);
        records.push_back({action, std::string(name, length)});
        if (next == 0 || next < kHeaderSize + length)
            break;
        at += next;
    }
    return records;
}
