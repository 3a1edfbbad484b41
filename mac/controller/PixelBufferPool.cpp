#include "PixelBufferPool.h"

std::shared_ptr<PixelBufferPool> PixelBufferPool::create()
{
    return std::shared_ptr<PixelBufferPool>(new PixelBufferPool());
}

std::shared_ptr<varnolet::BgrImage> PixelBufferPool::take()
{
    std::unique_ptr<varnolet::BgrImage> buffer;
    {
        std::lock_guard lock(m_lock);
        if (!m_free.empty()) {
            buffer = std::move(m_free.back());
            m_free.pop_back();
        }
    }
    if (!buffer)
        buffer = std::make_unique<varnolet::BgrImage>();
    std::weak_ptr<PixelBufferPool> pool = weak_from_this();
    return std::shared_ptr<varnolet::BgrImage>(buffer.release(),
                                               [pool](varnolet::BgrImage *returned) {
                                                   if (const auto owner = pool.lock())
                                                       owner->giveBack(returned);
                                                   else
                                                       delete returned;
                                               });
}

size_t PixelBufferPool::freeCount() const
{
    std::lock_guard lock(m_lock);
    return m_free.size();
}

void PixelBufferPool::giveBack(varnolet::BgrImage *buffer)
{
    std::unique_ptr<varnolet::BgrImage> owned(buffer);
    std::lock_guard lock(m_lock);
    if (m_free.size() < kKept)
        m_free.push_back(std::move(owned));
}
