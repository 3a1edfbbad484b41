#pragma once

#include "IMovieRepairFile.h"

#include <algorithm>
#include <cstring>
#include <string>

// A movie held in memory, for repairs run by tests and the fuzzer. It grows by at most
// growthLimit bytes, so a repair that would need more fails as a full disk does.
class MemoryRepairFile final : public IMovieRepairFile
{
public:
    explicit MemoryRepairFile(std::string bytes, uint64_t growthLimit = 1u << 26)
        : m_bytes(std::move(bytes))
        , m_limit(m_bytes.size() + growthLimit)
    {
    }

    uint64_t Size() const override { return m_bytes.size(); }
    bool Read(uint64_t offset, void *buffer, size_t length) const override
    {
        if (offset > m_bytes.size() || length > m_bytes.size() - offset)
            return false;
        std::memcpy(buffer, m_bytes.data() + offset, length);
        return true;
    }
    bool Write(uint64_t offset, const void *buffer, size_t length) override
    {
        if (offset > m_limit || length > m_limit - offset)
            return false;
        if (offset + length > m_bytes.size())
            m_bytes.resize(offset + length, '\0');
        std::memcpy(m_bytes.data() + offset, buffer, length);
        ++writes;
        return true;
    }
    bool Truncate(uint64_t length) override
    {
        if (length > m_limit)
            return false;
        m_bytes.resize(length, '\0');
        return true;
    }
    bool Sync() override { return true; }
    uint64_t AvailableBytes() const override
    {
        return m_limit - std::min<uint64_t>(m_limit, Size());
    }

    const std::string &Bytes() const { return m_bytes; }
    int writes = 0;

private:
    std::string m_bytes;
    uint64_t m_limit;
};
