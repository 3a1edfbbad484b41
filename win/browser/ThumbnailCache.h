#pragma once

#include <cstdint>
#include <list>
#include <mutex>
#include <optional>
#include <string>
#include <unordered_map>

#include <QImage>
#include <QSize>

// Identifies one thumbnail: the file, the width of the box it is drawn into and the file's
// modification time and size, so a file changed on disk misses the cache and is drawn anew.
struct ThumbnailKey
{
    std::string path;
    int boxWidth = 0;
    int64_t modifiedNs = 0;
    int64_t size = 0;

    bool operator==(const ThumbnailKey &) const = default;

    // The key of a file as it is on disk now; none when it cannot be read.
    static std::optional<ThumbnailKey> Of(const std::string &path, int boxWidth);
};

struct ThumbnailKeyHash
{
    size_t operator()(const ThumbnailKey &key) const;
};

// A decoded row: the picture already scaled to its size in the box, or a file that could
// not be decoded (kept too, so a damaged file is not decoded again at every paint).
struct Thumbnail
{
    bool decoded = false;
    bool movie = false;
    QSize sourceSize; // the file's own picture size, for the layout rule
    QImage picture;   // sourceSize fitted into the box

    size_t Bytes() const { return static_cast<size_t>(picture.sizeInBytes()) + 128; }
};

// A bounded cache of thumbnails, least recently used first out, bounded by bytes and by
// entries. Used by the UI thread (painting) and the decoding threads; every call locks.
class ThumbnailCache
{
public:
    explicit ThumbnailCache(size_t byteBudget = 48u * 1024u * 1024u, size_t maxEntries = 2048);

    std::optional<Thumbnail> Find(const ThumbnailKey &key);
    void Insert(const ThumbnailKey &key, Thumbnail thumbnail);
    void Clear();
    size_t Count() const;
    size_t Bytes() const;

private:
    using Entry = std::pair<ThumbnailKey, Thumbnail>;
    void EvictLocked();

    const size_t m_byteBudget;
    const size_t m_maxEntries;
    mutable std::mutex m_lock;  // guards the fields below
    std::list<Entry> m_entries; // most recently used first
    std::unordered_map<ThumbnailKey, std::list<Entry>::iterator, ThumbnailKeyHash> m_index;
    size_t m_bytes = 0;
};
