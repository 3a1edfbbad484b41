#pragma once

#include <cstddef>
#include <cstdint>

// The file a movie repair reads and patches: the movie on disk, or bytes in memory for
// tests and the fuzzer. Every call answers whether it did all it was asked.
class IMovieRepairFile
{
public:
    virtual ~IMovieRepairFile() = default;

    virtual uint64_t Size() const = 0;
    // Reads exactly length bytes at offset (false when fewer are there).
    virtual bool Read(uint64_t offset, void *buffer, size_t length) const = 0;
    // Writes at offset, growing the file when offset + length lies past its end.
    virtual bool Write(uint64_t offset, const void *buffer, size_t length) = 0;
    virtual bool Truncate(uint64_t length) = 0;
    // Puts what was written on the disk before the next step relies on it.
    virtual bool Sync() = 0;
    // Bytes the file may still grow by.
    virtual uint64_t AvailableBytes() const = 0;
};
