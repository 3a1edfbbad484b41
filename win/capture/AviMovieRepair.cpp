#include "AviMovieRepair.h"

#include "AviMovieWriter.h"

#include "platform/system/SystemError.h"
#include "platform/system/UniqueFd.h"

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <memory>

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <sys/statvfs.h>
#include <unistd.h>

namespace {

constexpr uint32_t kKeyFrameFlag = 0x10; // AVIIF_KEYFRAME
constexpr uint32_t kHasIndexFlag = 0x10; // AVIF_HASINDEX
constexpr size_t kMainHeaderSize = 56;
constexpr size_t kStreamHeaderSize = 56;
// Offsets inside the avih and strh data.
constexpr uint64_t kAvihMicroSecondsPerFrame = 0;
constexpr uint64_t kAvihFlags = 12;
constexpr uint64_t kAvihTotalFrames = 16;
constexpr uint64_t kAvihStreams = 24;
constexpr uint64_t kStrhScale = 20;
constexpr uint64_t kStrhRate = 24;
constexpr uint64_t kStrhLength = 32;
// Chunks looked at before the movie list, and inside the header list: a real header has a
// handful, so a file that needs more is not one this repair knows.
constexpr int kMaxHeaderChunks = 256;
// Files a start-up scan of the movies folder looks at, and how deep it goes (Movies,
// then the day folders, then their numbered folders).
constexpr size_t kMaxScannedEntries = 100000;
constexpr int kMaxFolderDepth = 2;
// A movie written to this recently may still be open in a writer.
constexpr auto kQuietTime = std::chrono::seconds(3);
constexpr size_t kIndexEntriesPerWrite = 4096;

uint32_t le32(const uint8_t *p)
{
    return uint32_t(p[0]) | uint32_t(p[1]) << 8 | uint32_t(p[2]) << 16 | uint32_t(p[3]) << 24;
}

void putLe32(uint8_t *p, uint32_t value)
{
    for (int i = 0; i < 4; ++i)
        p[i] = static_cast<uint8_t>(value >> (8 * i));
}

bool isTag(const uint8_t *p, const char *tag)
{
    return std::memcmp(p, tag, 4) == 0;
}

// Forward reads of chunk headers through one window of the file, so that a movie of many
// small chunks costs few reads and memory stays fixed.
class ChunkWindow
{
public:
    explicit ChunkWindow(const IMovieRepairFile &file)
        : m_file(file)
        , m_bytes(new uint8_t[kSize])
    {
    }

    // Copies length (at most 16) bytes at offset; false past the end or on a read failure.
    bool Get(uint64_t offset, uint8_t *out, size_t length)
    {
        if (offset < m_start || offset + length > m_start + m_length) {
            const uint64_t size = m_file.Size();
            if (offset > size || length > size - offset)
                return false;
            m_start = offset;
            m_length = static_cast<size_t>(std::min<uint64_t>(kSize, size - offset));
            if (!m_file.Read(m_start, m_bytes.get(), m_length)) {
                m_length = 0;
                m_failed = true;
                return false;
            }
        }
        std::memcpy(out, m_bytes.get() + (offset - m_start), length);
        return true;
    }

    // Whether every byte from offset to the end of the file is zero.
    bool ZeroFrom(uint64_t offset)
    {
        const uint64_t size = m_file.Size();
        for (uint64_t at = offset; at < size;) {
            const size_t length = static_cast<size_t>(std::min<uint64_t>(kSize, size - at));
            if (!m_file.Read(at, m_bytes.get(), length)) {
                m_failed = true;
                return false;
            }
            if (std::any_of(m_bytes.get(), m_bytes.get() + length, [](uint8_t b) { return b; }))
                return false;
            at += length;
        }
        m_length = 0; // the window now holds other bytes
        return true;
    }

    bool Failed() const { return m_failed; }

private:
    static constexpr size_t kSize = 64 * 1024;
    const IMovieRepairFile &m_file;
    std::unique_ptr<uint8_t[]> m_bytes;
    uint64_t m_start = 0;
    size_t m_length = 0;
    bool m_failed = false;
};

// Where the parts of the header and the movie list are.
struct Layout
{
    uint64_t avihData = 0;
    uint64_t strhData = 0;
    uint64_t moviList = 0; // the movie list's "LIST"; its "movi" tag is 8 bytes on
    uint64_t moviEnd = 0;  // end of the scan: the list's size, or the end of the file
    bool moviSized = false;
    uint32_t nominalRate = AviMovieWriter::kNominalRate;
};

using Result = AviMovieRepair::Result;
using Outcome = AviMovieRepair::Outcome;

Result refuse(Outcome outcome, std::string reason)
{
    Result result;
    result.outcome = outcome;
    result.reason = std::move(reason);
    return result;
}

// Finds the main header, the one video stream's header and the movie list.
std::optional<std::string> readLayout(const IMovieRepairFile &file, ChunkWindow &window,
                                      Layout &layout)
{
    const uint64_t size = file.Size();
    uint8_t head[12];
    if (!window.Get(12, head, 12) || !isTag(head, "LIST") || !isTag(head + 8, "hdrl"))
        return "no header list";
    const uint64_t hdrlEnd = 20 + uint64_t(le32(head + 4));
    if (hdrlEnd > size)
        return "header list runs past the end of the file";

    int streams = 0;
    uint64_t at = 24;
    for (int n = 0; at + 8 <= hdrlEnd; ++n) {
        if (n == kMaxHeaderChunks)
            return "too many header chunks";
        uint8_t chunk[12];
        if (!window.Get(at, chunk, 8))
            return "header chunk cannot be read";
        const uint64_t end = at + 8 + le32(chunk + 4);
        if (end > hdrlEnd)
            return "header chunk runs past its list";
        if (isTag(chunk, "avih")) {
            if (end - at - 8 < kMainHeaderSize)
                return "main header too short";
            layout.avihData = at + 8;
        } else if (isTag(chunk, "LIST") && window.Get(at + 8, chunk + 8, 4) &&
                   isTag(chunk + 8, "strl")) {
            ++streams;
            uint8_t strh[16];
            if (end < at + 20 + kStreamHeaderSize || !window.Get(at + 12, strh, 12) ||
                !isTag(strh, "strh") || le32(strh + 4) < kStreamHeaderSize ||
                !isTag(strh + 8, "vids"))
                return "stream is not a video stream";
            layout.strhData = at + 20;
        }
        at = end + (end & 1);
    }
    if (!layout.avihData || streams != 1)
        return "not a movie of one video stream";
    uint8_t value[4];
    if (!window.Get(layout.avihData + kAvihStreams, value, 4) || le32(value) > 1)
        return "more than one stream";

    uint8_t rate[8];
    if (window.Get(layout.strhData + kStrhScale, rate, 8)) {
        const uint32_t scale = le32(rate);
        const uint32_t perScale = le32(rate + 4);
        if (scale > 0) {
            const uint64_t fps = (uint64_t(perScale) + scale / 2) / scale;
            if (fps >= 1 && fps <= varnolet::AviMpeg4Writer::kMaxFramesPerSecond)
                layout.nominalRate = static_cast<uint32_t>(fps);
        }
    }

    at = hdrlEnd + (hdrlEnd & 1);
    for (int n = 0; n < kMaxHeaderChunks && at + 12 <= size; ++n) {
        uint8_t chunk[12];
        if (!window.Get(at, chunk, 12))
            return "chunk cannot be read";
        const uint32_t chunkSize = le32(chunk + 4);
        if (isTag(chunk, "LIST") && isTag(chunk + 8, "movi")) {
            layout.moviList = at;
            layout.moviSized = chunkSize != AviMovieRepair::kPlaceholderSize;
            layout.moviEnd = layout.moviSized ? at + 8 + chunkSize : size;
            if (layout.moviEnd > size)
                return "movie list runs past the end of the file";
            if (layout.moviEnd < at + 12)
                return "movie list too short";
            return std::nullopt;
        }
        if (isTag(chunk, "RIFF"))
            break;
        const uint64_t end = at + 8 + chunkSize;
        if (end > size)
            break;
        at = end + (end & 1);
    }
    return "no movie list";
}

struct Scan
{
    uint64_t validEnd = 0;
    uint64_t frames = 0;
    std::optional<std::string> problem;
};

// Walks the movie list's chunks up to the first one that is not whole, calling
// onFrame(tag, offset from the "movi" tag, size) for every frame chunk. A tail is accepted
// only where an interrupted write leaves one: a partial chunk, a partial header, the
// beginning of an index, or zero bytes up to the end of the file.
template <typename OnFrame>
Scan scanMovieList(ChunkWindow &window, const Layout &layout, OnFrame onFrame)
{
    Scan scan;
    const uint64_t moviTag = layout.moviList + 8;
    uint64_t at = layout.moviList + 12;
    auto tail = [&](const char *what) {
        if (layout.moviSized)
            scan.problem = std::string(what) + " inside a closed movie list";
        scan.validEnd = at;
        return scan;
    };
    while (at < layout.moviEnd) {
        uint8_t chunk[8];
        if (layout.moviEnd - at < 8 || !window.Get(at, chunk, 8)) {
            if (window.Failed())
                return scan.problem = "read failed", scan;
            return tail("partial chunk header");
        }
        const uint32_t size = le32(chunk + 4);
        const bool frame = isTag(chunk, "00dc") || isTag(chunk, "00db");
        if (frame || isTag(chunk, "JUNK")) {
            const uint64_t dataEnd = at + 8 + uint64_t(size);
            if (dataEnd > layout.moviEnd)
                return tail("partial chunk");
            if (frame) {
                if (++scan.frames > AviMovieRepair::kMaxFrames)
                    return scan.problem = "too many frames", scan;
                if (!onFrame(chunk, at - moviTag, size))
                    return scan.problem = "index write failed", scan;
            }
            at = dataEnd + (size & 1);
            continue;
        }
        if (isTag(chunk, "idx1"))
            return tail("index");
        if (!layout.moviSized && window.ZeroFrom(at))
            return tail("zero bytes");
        if (window.Failed())
            return scan.problem = "read failed", scan;
        std::string tag(reinterpret_cast<const char *>(chunk), 4);
        for (char &c : tag)
            c = (c >= 0x20 && c < 0x7f) ? c : '?';
        return scan.problem = "unexpected chunk \"" + tag + "\" in the movie list", scan;
    }
    scan.validEnd = at;
    return scan;
}

bool writeLe32(IMovieRepairFile &file, uint64_t offset, uint32_t value)
{
    uint8_t bytes[4];
    putLe32(bytes, value);
    return file.Write(offset, bytes, 4);
}

uint32_t chooseRate(uint64_t frames, std::optional<uint64_t> recordedMilliseconds, uint32_t nominal)
{
    if (!recordedMilliseconds || *recordedMilliseconds == 0 || frames == 0)
        return nominal;
    const uint32_t measured = AviMovieWriter::MeasuredRate(frames, *recordedMilliseconds, nominal);
    // A camera does not deliver much faster than it said at set-up: a higher result means
    // the times do not belong to the recording (a copied file).
    return measured <= 2 * nominal ? measured : nominal;
}

} // namespace

bool AviMovieRepair::LooksUnfinished(const uint8_t *start, size_t length)
{
    return length >= 12 && isTag(start, "RIFF") && le32(start + 4) == kPlaceholderSize &&
           isTag(start + 8, "AVI ");
}

AviMovieRepair::Result AviMovieRepair::Repair(IMovieRepairFile &file,
                                              std::optional<uint64_t> recordedMilliseconds)
{
    ChunkWindow window(file);
    uint8_t start[12];
    if (!window.Get(0, start, 12) || !LooksUnfinished(start, 12))
        return refuse(Outcome::Finished, {});
    Layout layout;
    if (const auto problem = readLayout(file, window, layout))
        return refuse(window.Failed() ? Outcome::Failed : Outcome::Unsupported, *problem);

    const Scan found =
        scanMovieList(window, layout, [](const uint8_t *, uint64_t, uint32_t) { return true; });
    if (found.problem)
        return refuse(window.Failed() ? Outcome::Failed : Outcome::Unsupported, *found.problem);

    const uint64_t originalSize = file.Size();
    const uint64_t indexAt = found.validEnd;
    const uint64_t newEnd = indexAt + 8 + 16 * found.frames;
    if (newEnd - 8 >= kPlaceholderSize)
        return refuse(Outcome::Unsupported, "too large for one RIFF part");
    if (newEnd > originalSize && newEnd - originalSize > file.AvailableBytes())
        return refuse(Outcome::Failed, "no room for the index");

    // 1. The index, after the last whole chunk (over the partial one, if any).
    uint8_t header[8];
    std::memcpy(header, "idx1", 4);
    putLe32(header + 4, static_cast<uint32_t>(16 * found.frames));
    std::vector<uint8_t> entries;
    entries.reserve(kIndexEntriesPerWrite * 16);
    uint64_t writeAt = indexAt + 8;
    auto flush = [&] {
        const bool written = entries.empty() || file.Write(writeAt, entries.data(), entries.size());
        writeAt += entries.size();
        entries.clear();
        return written;
    };
    bool written = file.Write(indexAt, header, 8);
    // A fresh window: the one of the first pass may hold the bytes the index now covers.
    ChunkWindow indexWindow(file);
    const Scan indexed =
        written ? scanMovieList(indexWindow, layout,
                                [&](const uint8_t *tag, uint64_t offset, uint32_t size) {
                                    uint8_t entry[16];
                                    std::memcpy(entry, tag, 4);
                                    putLe32(entry + 4, kKeyFrameFlag);
                                    putLe32(entry + 8, static_cast<uint32_t>(offset));
                                    putLe32(entry + 12, size);
                                    entries.insert(entries.end(), entry, entry + 16);
                                    return entries.size() < kIndexEntriesPerWrite * 16 || flush();
                                })
                : Scan{};
    written = written && !indexed.problem && indexed.frames == found.frames && flush() &&
              writeAt == newEnd && file.Truncate(newEnd) && file.Sync();
    if (!written) {
        // The frames are untouched; only the room after them changed.
        file.Truncate(originalSize);
        return refuse(Outcome::Failed, "index could not be written");
    }

    // 2. The counts and the rate, then the sizes; the RIFF size last, since it is what
    // tells a later start that the movie is finished.
    const auto frames = static_cast<uint32_t>(found.frames);
    const uint32_t rate = chooseRate(found.frames, recordedMilliseconds, layout.nominalRate);
    uint8_t flags[4] = {};
    window.Get(layout.avihData + kAvihFlags, flags, 4);
    written = writeLe32(file, layout.moviList + 4,
                        static_cast<uint32_t>(indexAt - layout.moviList - 8)) &&
              writeLe32(file, layout.avihData + kAvihMicroSecondsPerFrame, 1'000'000u / rate) &&
              writeLe32(file, layout.avihData + kAvihFlags, le32(flags) | kHasIndexFlag) &&
              writeLe32(file, layout.avihData + kAvihTotalFrames, frames) &&
              writeLe32(file, layout.strhData + kStrhScale, 1) &&
              writeLe32(file, layout.strhData + kStrhRate, rate) &&
              writeLe32(file, layout.strhData + kStrhLength, frames) && file.Sync() &&
              writeLe32(file, 4, static_cast<uint32_t>(newEnd - 8)) && file.Sync();
    if (!written)
        return refuse(Outcome::Failed, "header could not be written");

    Result result;
    result.outcome = Outcome::Repaired;
    result.frames = frames;
    result.rate = rate;
    result.droppedTailBytes = originalSize > indexAt ? originalSize - indexAt : 0;
    return result;
}

namespace {

// Repeats a pread- or pwrite-like call until all length bytes are moved.
template <typename Byte, typename Call>
bool transferAll(Byte *bytes, uint64_t offset, size_t length, Call call)
{
    while (length > 0) {
        const ssize_t done = call(bytes, length, static_cast<off_t>(offset));
        if (done < 0 && errno == EINTR)
            continue;
        if (done <= 0)
            return false;
        bytes += done;
        offset += static_cast<uint64_t>(done);
        length -= static_cast<size_t>(done);
    }
    return true;
}

// The movie on disk, opened without following links.
class PosixRepairFile final : public IMovieRepairFile
{
public:
    explicit PosixRepairFile(int fd)
        : m_file(fd)
    {
    }

    uint64_t Size() const override
    {
        struct stat st
        {
        };
        return ::fstat(m_fd, &st) == 0 ? static_cast<uint64_t>(st.st_size) : 0;
    }
    bool Read(uint64_t offset, void *buffer, size_t length) const override
    {
        return transferAll(
            static_cast<uint8_t *>(buffer), offset, length,
            [this](uint8_t *b, size_t l, off_t o) { return ::pread(m_fd, b, l, o); });
    }
    bool Write(uint64_t offset, const void *buffer, size_t length) override
    {
        return transferAll(
            static_cast<const uint8_t *>(buffer), offset, length,
            [this](const uint8_t *b, size_t l, off_t o) { return ::pwrite(m_fd, b, l, o); });
    }
    bool Truncate(uint64_t length) override
    {
        return ::ftruncate(m_fd, static_cast<off_t>(length)) == 0;
    }
    bool Sync() override { return ::fsync(m_fd) == 0; }
    uint64_t AvailableBytes() const override
    {
        struct statvfs info
        {
        };
        if (::fstatvfs(m_fd, &info) != 0)
            return UINT64_MAX; // cannot tell: the writes will say
        return static_cast<uint64_t>(info.f_bavail) * info.f_frsize;
    }

private:
    varnolet::UniqueFd m_file;
    const int m_fd = m_file.get();
};

// How long the recording ran: from the file's creation to its last write, when the file
// system keeps a creation time.
std::optional<uint64_t> recordedMilliseconds(int fd)
{
    struct statx st
    {
    };
    if (::statx(fd, "", AT_EMPTY_PATH, STATX_BTIME | STATX_MTIME, &st) != 0 ||
        !(st.stx_mask & STATX_BTIME))
        return std::nullopt;
    const int64_t born = st.stx_btime.tv_sec * 1000 + st.stx_btime.tv_nsec / 1000000;
    const int64_t written = st.stx_mtime.tv_sec * 1000 + st.stx_mtime.tv_nsec / 1000000;
    if (written <= born)
        return std::nullopt;
    return static_cast<uint64_t>(written - born);
}

bool hasAviExtension(const std::string &name)
{
    if (name.size() < 5)
        return false;
    std::string extension = name.substr(name.size() - 4);
    for (char &c : extension)
        c = static_cast<char>(c >= 'A' && c <= 'Z' ? c - 'A' + 'a' : c);
    return extension == ".avi";
}

void collectMovies(const std::string &folder, int depth, size_t &seen,
                   std::vector<std::string> &movies)
{
    DIR *dir = ::opendir(folder.c_str());
    if (!dir)
        return;
    std::vector<std::string> folders;
    while (const dirent *entry = ::readdir(dir)) {
        if (++seen > kMaxScannedEntries)
            break;
        const std::string name = entry->d_name;
        if (name == "." || name == "..")
            continue;
        struct stat st
        {
        };
        const std::string path = folder + "/" + name;
        if (::lstat(path.c_str(), &st) != 0)
            continue;
        if (S_ISDIR(st.st_mode) && depth < kMaxFolderDepth)
            folders.push_back(path);
        else if (S_ISREG(st.st_mode) && hasAviExtension(name))
            movies.push_back(path);
    }
    ::closedir(dir);
    for (const std::string &path : folders)
        collectMovies(path, depth + 1, seen, movies);
}

} // namespace

AviMovieRepair::Result RepairMovieFile(const std::string &path)
{
    const int fd = ::open(path.c_str(), O_RDWR | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0)
        return refuse(Outcome::Failed, varnolet::SystemError::text(errno));
    PosixRepairFile file(fd);
    struct stat st
    {
    };
    if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode))
        return refuse(Outcome::Finished, {});
    return AviMovieRepair::Repair(file, recordedMilliseconds(fd));
}

std::vector<RepairedMovie> RepairUnfinishedMovies(const std::string &moviesFolder,
                                                  std::chrono::system_clock::time_point now)
{
    std::vector<RepairedMovie> repaired;
    if (moviesFolder.empty())
        return repaired;
    std::vector<std::string> movies;
    size_t seen = 0;
    collectMovies(moviesFolder, 0, seen, movies);
    std::sort(movies.begin(), movies.end());
    for (const std::string &path : movies) {
        struct stat st
        {
        };
        uint8_t start[12];
        {
            const varnolet::UniqueFd file(
                ::open(path.c_str(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC));
            if (!file)
                continue;
            const int fd = file.get();
            const bool unfinished = ::fstat(fd, &st) == 0 && S_ISREG(st.st_mode) &&
                                    ::pread(fd, start, sizeof start, 0) == sizeof start &&
                                    AviMovieRepair::LooksUnfinished(start, sizeof start);
            if (!unfinished)
                continue;
        }
        const auto written = std::chrono::system_clock::time_point(
            std::chrono::seconds(st.st_mtim.tv_sec) +
            std::chrono::duration_cast<std::chrono::system_clock::duration>(
                std::chrono::nanoseconds(st.st_mtim.tv_nsec)));
        if (written > now - kQuietTime && written < now + kQuietTime)
            continue;
        const AviMovieRepair::Result result = RepairMovieFile(path);
        switch (result.outcome) {
        case AviMovieRepair::Outcome::Repaired:
            std::fprintf(stderr, "Varnolet: repaired unfinished movie %s: %u frames at %u fps\n",
                         path.c_str(), result.frames, result.rate);
            repaired.push_back({path, result.frames});
            break;
        case AviMovieRepair::Outcome::Unsupported:
        case AviMovieRepair::Outcome::Failed:
            std::fprintf(stderr, "Varnolet: unfinished movie %s left as it is: %s\n", path.c_str(),
                         result.reason.c_str());
            break;
        case AviMovieRepair::Outcome::Finished:
            break;
        }
    }
    return repaired;
}
