#include "core/FrameRing.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <atomic>
#include <functional>
#include <thread>
#include <vector>

namespace korvix::core {
namespace {

constexpr uint32_t kFrameBytes = 4096;

std::vector<uint8_t> FrameOf(uint8_t value) {
    return std::vector<uint8_t>(kFrameBytes, value);
}

bool Publish(FrameRing &ring, uint8_t value) {
    auto frame = FrameOf(value);
    return ring.Publish(frame.data(), kFrameBytes, value, {value, value + 1, value + 2, value + 3});
}

TEST(CoreFrameRing, FreshRingOfFourHasReadMarkThreeAndUnsetEntries) {
    FrameRing ring;
    ring.SetBufferCount(4);
    EXPECT_EQ(ring.ReadMark(), 3);
    EXPECT_EQ(ring.WriteIndex(), 0);
    ASSERT_TRUE(ring.Allocate(kFrameBytes));
    ring.Read(true, [](const uint8_t *pixels, const FrameEntryInfo &info) {
        EXPECT_NE(pixels, nullptr);
        EXPECT_EQ(info.number, -1);
        EXPECT_EQ(info.tags.a, 0xFFFF);
        EXPECT_EQ(info.tags.d, 0xFFFF);
    });
}

TEST(CoreFrameRing, NewestEntryFollowsPublicationsAndWrapsAround) {
    FrameRing ring;
    ring.SetBufferCount(4);
    ASSERT_TRUE(ring.Allocate(kFrameBytes));
    for (uint8_t value = 10; value < 16; ++value) {
        ASSERT_TRUE(Publish(ring, value));
        int index = ring.Read(false, [&](const uint8_t *pixels, const FrameEntryInfo &info) {
            EXPECT_EQ(pixels[0], value);
            EXPECT_EQ(pixels[kFrameBytes - 1], value);
            EXPECT_EQ(info.number, value);
            EXPECT_EQ(info.tags.b, value + 1);
        });
        EXPECT_EQ(index, (value - 10) % 4);
    }
    EXPECT_EQ(ring.WriteIndex(), 2);
}

TEST(CoreFrameRing, MarkTakenClearsNewFrameUntilTheNextPublication) {
    FrameRing ring;
    ring.SetBufferCount(4);
    ASSERT_TRUE(ring.Allocate(kFrameBytes));
    ASSERT_TRUE(Publish(ring, 1));
    EXPECT_TRUE(ring.HasNewFrame());
    int index = ring.Read(false, [](const uint8_t *, const FrameEntryInfo &) {});
    ring.MarkTaken(index);
    EXPECT_FALSE(ring.HasNewFrame());
    ASSERT_TRUE(Publish(ring, 2));
    EXPECT_TRUE(ring.HasNewFrame());
}

TEST(CoreFrameRing, WriterDropsAFrameRatherThanOverwriteAnEntryBeingRead) {
    FrameRing ring;
    ring.SetBufferCount(4);
    ASSERT_TRUE(ring.Allocate(kFrameBytes));
    for (uint8_t value = 0; value < 3; ++value) ASSERT_TRUE(Publish(ring, value));
    ring.Read(false, [&](const uint8_t *pixels, const FrameEntryInfo &info) {
        EXPECT_EQ(info.number, 2);
        // The writer laps the reader: three more entries are free, the fourth is pinned.
        EXPECT_TRUE(Publish(ring, 3));
        EXPECT_TRUE(Publish(ring, 4));
        EXPECT_TRUE(Publish(ring, 5));
        EXPECT_FALSE(Publish(ring, 6));
        EXPECT_EQ(pixels[0], 2);
    });
    EXPECT_EQ(ring.WriteIndex(), 2);
    EXPECT_TRUE(Publish(ring, 7));
}

TEST(CoreFrameRing, EntriesWithoutBuffersAreRefused) {
    FrameRing ring;
    ring.SetBufferCount(4);
    EXPECT_FALSE(ring.HasBuffers());
    EXPECT_FALSE(Publish(ring, 1));
    auto frame = FrameOf(1);
    EXPECT_FALSE(ring.StoreFirst(frame.data(), kFrameBytes, 1));
    ASSERT_TRUE(ring.Allocate(kFrameBytes));
    EXPECT_FALSE(ring.Publish(frame.data(), kFrameBytes + 1, 1, {}));
}

// One writer laps several readers many times; every copy a reader makes must be one whole
// frame (all bytes equal to its number). Each reader reports the newest round in which it
// began a read that saw a frame; the writer publishes its first frame and waits until every
// reader has read it, then after each round of laps waits until every reader has read again
// during that round, so reads always overlap the writing however the threads are scheduled.
// Run under ThreadSanitizer this also proves the hand-over free of data races.
TEST(CoreFrameRingConcurrency, ReadersNeverSeeATornFrame) {
    constexpr int kReaders = 2;
    constexpr int kRounds = 40;
    constexpr int kLapsPerRound = 20;
    FrameRing ring;
    ring.SetBufferCount(4);
    ASSERT_TRUE(ring.Allocate(kFrameBytes));
    std::atomic<bool> done{false};
    std::atomic<int> round{0};
    std::array<std::atomic<int>, kReaders> roundRead{};
    for (auto &readInRound : roundRead) readInRound = -1;
    std::atomic<int> torn{0};
    std::atomic<int> reads{0};

    auto reader = [&](std::atomic<int> &readInRound) {
        std::vector<uint8_t> copy(kFrameBytes);
        while (!done.load()) {
            const int startedIn = round.load();
            int32_t number = -1;
            ring.Read(false, [&](const uint8_t *pixels, const FrameEntryInfo &info) {
                std::copy(pixels, pixels + kFrameBytes, copy.begin());
                number = info.number;
            });
            if (number < 0) continue;
            bool whole = std::all_of(copy.begin(), copy.end(), [&](uint8_t byte) {
                return byte == static_cast<uint8_t>(number);
            });
            if (!whole) ++torn;
            ++reads;
            readInRound = startedIn;
            readInRound.notify_one();
        }
    };
    auto waitForReadsIn = [&](int wanted) {
        for (auto &readInRound : roundRead) {
            for (int seen = readInRound.load(); seen < wanted; seen = readInRound.load()) {
                readInRound.wait(seen);
            }
        }
    };
    std::vector<std::thread> readers;
    for (auto &readInRound : roundRead) readers.emplace_back(reader, std::ref(readInRound));

    auto publish = [&](int frame) {
        auto bytes = FrameOf(static_cast<uint8_t>(frame));
        return ring.Publish(bytes.data(), kFrameBytes, static_cast<uint8_t>(frame), {});
    };
    int published = publish(0) ? 1 : 0;
    waitForReadsIn(0);
    const int framesPerRound = kLapsPerRound * ring.BufferCount();
    for (int next = 1; next <= kRounds; ++next) {
        round = next;
        for (int frame = 0; frame < framesPerRound; ++frame) {
            if (publish(next * framesPerRound + frame)) ++published;
        }
        waitForReadsIn(next);
    }
    done = true;
    for (auto &thread : readers) thread.join();
    EXPECT_EQ(torn.load(), 0);
    EXPECT_GT(published, 0);
    EXPECT_GE(reads.load(), kReaders * (kRounds + 1));
}

}  // namespace
}  // namespace korvix::core
