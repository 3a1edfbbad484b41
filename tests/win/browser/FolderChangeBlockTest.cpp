#include "win/browser/FolderChangeBlock.h"
#include "win/browser/FolderChangeQueue.h"

#include <cstring>
#include <thread>

#include <gtest/gtest.h>

namespace {

using Records = std::vector<FolderChangeRecord>;

TEST(FolderChangeBlock, RecordsSurviveTheRoundTripInOrder)
{
    const Records records = {
        {FolderChangeRecord::Removed, "Single Shots/20240305/000/SingleShot0003.jpg"},
        {FolderChangeRecord::RenamedOldName, "Movies/M20240305_0007.avi"},
        {FolderChangeRecord::RenamedNewName, "Movies/M20240305_0001b.avi"},
        {FolderChangeRecord::Added, "x"},
        {FolderChangeRecord::Modified, "Timed Shots/Zeitraffer für Zellen.jpg"},
    };
    const FolderChangeBlock block = FolderChangeBlock::Encode(records);
    EXPECT_EQ(block.Bytes().size() % 4, 0u);
    EXPECT_EQ(block.Decode(), records);
}

TEST(FolderChangeBlock, LayoutHasNextOffsetActionAndLengthBeforeTheName)
{
    const FolderChangeBlock block = FolderChangeBlock::Encode(
        {{FolderChangeRecord::Removed, "ab"}, {FolderChangeRecord::Added, "c"}});
    const auto &bytes = block.Bytes();
    uint32_t next = 0, action = 0, length = 0;
    std::memcpy(&next, bytes.data(), 4);
    std::memcpy(&action, bytes.data() + 4, 4);
    std::memcpy(&length, bytes.data() + 8, 4);
    EXPECT_EQ(next, 16u); // 12 header bytes + "ab" padded to 4
    EXPECT_EQ(action, 2u);
    EXPECT_EQ(length, 2u);
    std::memcpy(&next, bytes.data() + 16, 4);
    EXPECT_EQ(next, 0u);
}

TEST(FolderChangeBlock, DamagedBlocksNeverLoopOrReadPastTheEnd)
{
    FolderChangeBlock good = FolderChangeBlock::Encode(
        {{FolderChangeRecord::Removed, "first.jpg"}, {FolderChangeRecord::Removed, "second.jpg"}});

    // A next offset pointing back at the record itself would loop forever.
    std::vector<uint8_t> looping = good.Bytes();
    const uint32_t zeroOffset = 4;
    std::memcpy(looping.data(), &zeroOffset, 4);
    EXPECT_EQ(FolderChangeBlock(looping).Decode().size(), 1u);

    // A name length beyond the block.
    std::vector<uint8_t> tooLong = good.Bytes();
    const uint32_t hugeLength = 0xFFFFFFF0u;
    std::memcpy(tooLong.data() + 8, &hugeLength, 4);
    EXPECT_TRUE(FolderChangeBlock(tooLong).Decode().empty());

    // An offset past the end stops after the first record.
    std::vector<uint8_t> farOffset = good.Bytes();
    const uint32_t offset = 4096;
    std::memcpy(farOffset.data(), &offset, 4);
    const Records read = FolderChangeBlock(farOffset).Decode();
    ASSERT_EQ(read.size(), 1u);
    EXPECT_EQ(read[0].name, "first.jpg");

    // A truncated block keeps the complete records only.
    std::vector<uint8_t> truncated = good.Bytes();
    truncated.resize(truncated.size() - 3);
    EXPECT_EQ(FolderChangeBlock(truncated).Decode().size(), 1u);
}

TEST(FolderChangeQueue, TakeWaitsForAPushFromAnotherThreadAndTimesOut)
{
    FolderChangeQueue queue;
    FolderChangeQueue::Entry entry;
    const auto start = FolderChangeQueue::Clock::now();
    EXPECT_FALSE(queue.Take(entry, start + std::chrono::milliseconds(20)));
    EXPECT_GE(FolderChangeQueue::Clock::now() - start, std::chrono::milliseconds(20));

    std::thread producer([&queue] {
        queue.Push({"/root", FolderChangeBlock::Encode({{FolderChangeRecord::Removed, "a.jpg"}})});
        queue.Push({"/root", std::nullopt});
    });
    ASSERT_TRUE(queue.Take(entry, std::nullopt));
    ASSERT_TRUE(entry.block.has_value());
    EXPECT_EQ(entry.block->Decode()[0].name, "a.jpg");
    ASSERT_TRUE(queue.Take(entry, std::nullopt));
    EXPECT_FALSE(entry.block.has_value());
    producer.join();

    std::thread closer([&queue] { queue.Close(); });
    EXPECT_FALSE(queue.Take(entry, std::nullopt));
    closer.join();
}

} // namespace
