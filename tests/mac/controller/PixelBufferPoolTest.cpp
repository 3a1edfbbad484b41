#include "mac/controller/PixelBufferPool.h"

#include <gtest/gtest.h>

#include <thread>
#include <vector>

TEST(PixelBufferPool, AReleasedBufferIsReusedWithItsMemory)
{
    auto pool = PixelBufferPool::create();
    const varnolet::BgrImage *first = nullptr;
    const uint8_t *pixels = nullptr;
    {
        std::shared_ptr<varnolet::BgrImage> buffer = pool->take();
        buffer->pixels.assign(640 * 480 * 3, 7);
        first = buffer.get();
        pixels = buffer->pixels.data();
        // Held elsewhere (the preview, a movie), it is not handed out again.
        std::shared_ptr<const varnolet::BgrImage> held = buffer;
        buffer.reset();
        EXPECT_EQ(pool->freeCount(), 0u);
        EXPECT_NE(pool->take().get(), first);
    }
    EXPECT_EQ(pool->freeCount(), 2u); // the first one and the one taken meanwhile
    // The last one given back comes out first.
    const std::shared_ptr<varnolet::BgrImage> again = pool->take();
    EXPECT_EQ(again.get(), first);
    EXPECT_EQ(again->pixels.data(), pixels);
}

TEST(PixelBufferPool, KeepsAFewBuffersAndFreesTheRestAndThoseOutlivingIt)
{
    auto pool = PixelBufferPool::create();
    std::vector<std::shared_ptr<varnolet::BgrImage>> inFlight;
    for (size_t i = 0; i < PixelBufferPool::kKept + 3; ++i)
        inFlight.push_back(pool->take());
    // Given back from another thread, as the recording thread does.
    std::thread([&inFlight] { inFlight.clear(); }).join();
    EXPECT_EQ(pool->freeCount(), PixelBufferPool::kKept);

    std::shared_ptr<varnolet::BgrImage> survivor = pool->take();
    survivor->pixels.resize(1000);
    pool.reset();
    survivor.reset(); // freed (AddressSanitizer would see a leak or a use after free)
}
