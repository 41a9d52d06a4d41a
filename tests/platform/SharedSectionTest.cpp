#include <gtest/gtest.h>

#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <thread>

#include "platform/SharedSection.h"
#include "support/ChildProcess.h"

using namespace korvix::platform;

namespace {

constexpr const char *kName = "SectionTest";
constexpr size_t kSize = 8584;
constexpr int kIncrements = 2000;

// Increments the counter at offset 0 with a read-pause-write, which loses updates
// unless the lock really excludes the other process.
void IncrementUnderLock(SharedSection &section) {
    auto *counter = static_cast<volatile uint32_t *>(section.Data());
    for (int i = 0; i < kIncrements; ++i) {
        section.Lock();
        uint32_t value = *counter;
        if (i % 64 == 0) std::this_thread::yield();
        *counter = value + 1;
        section.Unlock();
    }
}

}  // namespace

TEST(PlatformSharedSection, FirstHolderGetsZerosAndLastReleaseDiscards) {
    bool created = false;
    auto first = SharedSection::Open(kName, kSize, &created);
    ASSERT_NE(first, nullptr);
    EXPECT_TRUE(created);
    auto *bytes = static_cast<unsigned char *>(first->Data());
    for (size_t i = 0; i < kSize; ++i) ASSERT_EQ(bytes[i], 0) << i;
    bytes[100] = 42;

    auto second = SharedSection::Open(kName, kSize, &created);
    ASSERT_NE(second, nullptr);
    EXPECT_FALSE(created);
    EXPECT_EQ(static_cast<unsigned char *>(second->Data())[100], 42);

    first.reset();
    second.reset();
    auto fresh = SharedSection::Open(kName, kSize, &created);
    ASSERT_NE(fresh, nullptr);
    EXPECT_TRUE(created);
    EXPECT_EQ(static_cast<unsigned char *>(fresh->Data())[100], 0);
}

TEST(PlatformSharedSection, NamesCarryTheIpcNamespace) {
    const char *prefix = std::getenv("KORVIX_IPC_NAMESPACE");
    ASSERT_NE(prefix, nullptr);
    // The exact form is the system's; what matters is that the namespace leads the name.
    const std::string name = SharedSection::SystemName("U3T2-MemMap");
    EXPECT_TRUE(name.ends_with(std::string(prefix) + "U3T2-MemMap")) << name;
    EXPECT_LE(name.size(), std::strlen(prefix) + std::strlen("U3T2-MemMap") + 1) << name;
}

TEST(PlatformSharedSectionChild, SeeMarkerAndIncrement) {
    if (!korvix::test::IsChildProcess()) GTEST_SKIP() << "runs only as a child process";
    bool created = true;
    auto section = SharedSection::Open(kName, kSize, &created);
    ASSERT_NE(section, nullptr);
    EXPECT_FALSE(created);
    EXPECT_EQ(static_cast<unsigned char *>(section->Data())[kSize - 1], 0xA5);
    IncrementUnderLock(*section);
}

TEST(PlatformSharedSection, SecondProcessSeesDataAndLockExcludesIt) {
    auto section = SharedSection::Open(kName, kSize);
    ASSERT_NE(section, nullptr);
    static_cast<unsigned char *>(section->Data())[kSize - 1] = 0xA5;

    korvix::test::ChildProcess child("PlatformSharedSectionChild.SeeMarkerAndIncrement");
    ASSERT_TRUE(child.Started());
    IncrementUnderLock(*section);
    ASSERT_EQ(child.Wait(), 0);

    uint32_t counter;
    std::memcpy(&counter, section->Data(), sizeof counter);
    EXPECT_EQ(counter, 2u * kIncrements);
}

TEST(PlatformSharedSectionChild, HoldAndEndWithoutReleasing) {
    if (!korvix::test::IsChildProcess()) GTEST_SKIP() << "runs only as a child process";
    auto section = SharedSection::Open(kName, kSize);
    ASSERT_NE(section, nullptr);
    static_cast<unsigned char *>(section->Data())[100] = 42;
    std::_Exit(7);  // as a crash would: no destructor runs
}

// A holder that ended without releasing (a crash, a kill) leaves no trace: the next holder
// starts from zeros, as it would had the holder released.
TEST(PlatformSharedSection, HolderThatEndedWithoutReleasingLeavesNoTrace) {
    korvix::test::ChildProcess child("PlatformSharedSectionChild.HoldAndEndWithoutReleasing");
    ASSERT_TRUE(child.Started());
    ASSERT_EQ(child.Wait(), 7);
    bool created = false;
    auto section = SharedSection::Open(kName, kSize, &created);
    ASSERT_NE(section, nullptr);
    EXPECT_TRUE(created);
    EXPECT_EQ(static_cast<unsigned char *>(section->Data())[100], 0);
}
