#include "ThumbnailCache.h"

#include <functional>

#include <sys/stat.h>

std::optional<ThumbnailKey> ThumbnailKey::Of(const std::string &path, int boxWidth)
{
    struct stat info
    {
    };
    if (path.empty() || stat(path.c_str(), &info) != 0 || !S_ISREG(info.st_mode))
        return std::nullopt;
    ThumbnailKey key;
    key.path = path;
    key.boxWidth = boxWidth;
    key.modifiedNs = static_cast<int64_t>(info.st_mtim.tv_sec) * 1000000000 + info.st_mtim.tv_nsec;
    key.size = static_cast<int64_t>(info.st_size);
    return key;
}

size_t ThumbnailKeyHash::operator()(const ThumbnailKey &key) const
{
    size_t hash = std::hash<std::string>()(key.path);
    const auto mix = [&hash](uint64_t value) {
        hash ^= std::hash<uint64_t>()(value) + 0x9e3779b97f4a7c15ull + (hash << 6) + (hash >> 2);
    };
    mix(static_cast<uint64_t>(key.boxWidth));
    mix(static_cast<uint64_t>(key.modifiedNs));
    mix(static_cast<uint64_t>(key.size));
    return hash;
}

ThumbnailCache::ThumbnailCache(size_t byteBudget, size_t maxEntries)
    : m_byteBudget(byteBudget)
    , m_maxEntries(maxEntries == 0 ? 1 : maxEntries)
{
}

std::optional<Thumbnail> ThumbnailCache::Find(const ThumbnailKey &key)
{
    std::lock_guard guard(m_lock);
    const auto found = m_index.find(key);
    if (found == m_index.end())
        return std::nullopt;
    m_entries.splice(m_entries.begin(), m_entries, found->second);
    return found->second->second;
}

void ThumbnailCache::Insert(const ThumbnailKey &key, Thumbnail thumbnail)
{
    std::lock_guard guard(m_lock);
    const auto found = m_index.find(key);
    if (found != m_index.end()) {
        m_bytes -= found->second->second.Bytes();
        m_entries.erase(found->second);
        m_index.erase(found);
    }
    m_bytes += thumbnail.Bytes();
    m_entries.emplace_front(key, std::move(thumbnail));
    m_index[key] = m_entries.begin();
    EvictLocked();
}

void ThumbnailCache::EvictLocked()
{
    // The newest entry always stays, even when it alone is over the budget.
    while (m_entries.size() > 1 && (m_bytes > m_byteBudget || m_entries.size() > m_maxEntries)) {
        const Entry &last = m_entries.back();
        m_bytes -= last.second.Bytes();
        m_index.erase(last.first);
        m_entries.pop_back();
    }
}

void ThumbnailCache::Clear()
{
    std::lock_guard guard(m_lock);
    m_entries.clear();
    m_index.clear();
    m_bytes = 0;
}

size_t ThumbnailCache::Count() const
{
    std::lock_guard guard(m_lock);
    return m_entries.size();
}

size_t ThumbnailCache::Bytes() const
{
    std::lock_guard guard(m_lock);
    return m_bytes;
}
