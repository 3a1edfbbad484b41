#pragma once

#include <memory>
#include <mutex>
#include <vector>

#include "platform/media/BgrImage.h"

// Pixel buffers that come back when their last holder lets go, so a stream reuses a few
// frames' memory instead of allocating (and having the system fault in) a whole frame for
// every one. Any thread may drop a buffer; buffers outliving the pool are simply freed.
class PixelBufferPool : public std::enable_shared_from_this<PixelBufferPool>
{
public:
    // Buffers kept for reuse; more in flight at once are freed when they come back.
    static constexpr size_t kKept = 4;

    static std::shared_ptr<PixelBufferPool> create();

    // A buffer from the pool (its pixels hold whatever the last frame left) or a new one.
    std::shared_ptr<varnolet::BgrImage> take();
    size_t freeCount() const;

private:
    PixelBufferPool() = default;
    void giveBack(varnolet::BgrImage *buffer);

    mutable std::mutex m_lock;
    std::vector<std::unique_ptr<varnolet::BgrImage>> m_free;
};
