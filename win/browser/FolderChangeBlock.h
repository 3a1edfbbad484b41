#pragma once

#include <cstdint>
#include <string>
#include <vector>

// One change below the watched root: an action and the item's name relative to the root
// ("Single Shots/20240305/000/SingleShot0003.jpg").
struct FolderChangeRecord
{
    enum Action : uint32_t {
        Added = 1,
        Removed = 2,
        Modified = 3,
        RenamedOldName = 4,
        RenamedNewName = 5,
    };
    uint32_t action = 0;
    std::string name;

    bool operator==(const FolderChangeRecord &) const = default;
};

// What one wait of the monitor thread returned, as a block of records laid out as the
// system's change reports are: per record the offset of the next record in bytes (0 for
// the last), the action and the name length, each 32 bits, then the name (UTF-8, not
// terminated), padded to a multiple of four bytes.
class FolderChangeBlock
{
public:
    FolderChangeBlock() = default;
    explicit FolderChangeBlock(std::vector<uint8_t> bytes)
        : m_bytes(std::move(bytes))
    {
    }

    static FolderChangeBlock Encode(const std::vector<FolderChangeRecord> &records);

    // Follows the next-record offsets from the first record until one with offset 0 has
    // been read. A record whose header or name would pass the end of the block, or whose
    // offset does not move forward past it, ends the walk: what was read up to there is
    // answered, so damaged bytes can neither loop nor read outside the block.
    std::vector<FolderChangeRecord> Decode() const;

    const std::vector<uint8_t> &Bytes() const { return m_bytes; }
    bool Empty() const { return m_bytes.empty(); }

private:
    std::vector<uint8_t> m_bytes;
};
