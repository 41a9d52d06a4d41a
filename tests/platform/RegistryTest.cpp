#include <gtest/gtest.h>

#include <cstdint>
#include <cstdlib>
#include <memory>
#include <string>

#include "platform/Registry.h"
#include "support/ChildProcess.h"

using namespace korvix::platform;

namespace {
const std::string kKey = "Software\\Velsor\\KorvixTesslin3T2Sdk\\Test";
}  // namespace

TEST(PlatformRegistry, MissingKeyAndMissingValueAreDistinguishable) {
    RegistryResult result = RegistryResult::Ok;
    EXPECT_EQ(RegistryKey::Open(kKey, &result), nullptr);
    EXPECT_EQ(result, RegistryResult::MissingKey);

    auto key = RegistryKey::Create(kKey);
    ASSERT_NE(key, nullptr);
    uint32_t value = 77;
    EXPECT_EQ(key->GetDword("Absent", value), RegistryResult::MissingValue);
    EXPECT_EQ(value, 77u);  // untouched
    // Parents are created with the key.
    EXPECT_TRUE(RegistryKey::Exists("Software\\Velsor"));
}

TEST(PlatformRegistry, DwordAndBinaryValuesRoundTrip) {
    {
        auto key = RegistryKey::Create(kKey);
        ASSERT_NE(key, nullptr);
        EXPECT_TRUE(key->SetDword("Exposure", 0xFFFFFFF6u));  // a negative int stored as DWORD
        double seconds = 0.125;
        EXPECT_TRUE(key->SetBinary("ExposureEx", &seconds, sizeof seconds));
    }
    auto key = RegistryKey::Open("software\\VELSOR\\korvixtesslin3t2sdk\\test");  // any case
    ASSERT_NE(key, nullptr);
    uint32_t dword = 0;
    ASSERT_EQ(key->GetDword("exposure", dword), RegistryResult::Ok);
    EXPECT_EQ(static_cast<int32_t>(dword), -10);
    double seconds = 0;
    ASSERT_EQ(key->GetBinary("ExposureEx", &seconds, sizeof seconds), RegistryResult::Ok);
    EXPECT_EQ(seconds, 0.125);
}

TEST(PlatformRegistry, TypeOrSizeMismatchIsReportedAndLeavesOutputAlone) {
    auto key = RegistryKey::Create(kKey);
    ASSERT_NE(key, nullptr);
    ASSERT_TRUE(key->SetDword("Gain", 5));
    unsigned char bytes[8] = {1, 2, 3, 4, 5, 6, 7, 8};
    EXPECT_EQ(key->GetBinary("Gain", bytes, sizeof bytes), RegistryResult::WrongType);
    EXPECT_EQ(bytes[0], 1);
    ASSERT_TRUE(key->SetBinary("Blob", bytes, 4));
    EXPECT_EQ(key->GetBinary("Blob", bytes, 8), RegistryResult::WrongType);
    // A stored value longer than asked for is not cut to fit either.
    unsigned char prefix[2] = {0xEE, 0xEE};
    EXPECT_EQ(key->GetBinary("Blob", prefix, sizeof prefix), RegistryResult::WrongType);
    EXPECT_EQ(prefix[0], 0xEE);
    uint32_t dword = 9;
    EXPECT_EQ(key->GetDword("Blob", dword), RegistryResult::WrongType);
    EXPECT_EQ(dword, 9u);
}

// Child side of the two-process test: writes its own 200 values and one shared value.
TEST(PlatformRegistryChild, WriteValues) {
    if (!korvix::test::IsChildProcess()) GTEST_SKIP() << "runs only as a child process";
    const std::string prefix = std::getenv("REGISTRY_WRITER");
    for (int i = 0; i < 200; ++i) {
        auto key = RegistryKey::Create(kKey);
        ASSERT_NE(key, nullptr);
        ASSERT_TRUE(key->SetDword(prefix + std::to_string(i), static_cast<uint32_t>(i)));
        ASSERT_TRUE(key->SetDword("Shared", prefix == "A" ? 1u : 2u));
    }
}

TEST(PlatformRegistry, TwoProcessesWritingOneKeyLoseNothing) {
    korvix::test::ChildProcess writerA("PlatformRegistryChild.WriteValues", {{"REGISTRY_WRITER", "A"}});
    korvix::test::ChildProcess writerB("PlatformRegistryChild.WriteValues", {{"REGISTRY_WRITER", "B"}});
    ASSERT_TRUE(writerA.Started());
    ASSERT_TRUE(writerB.Started());
    ASSERT_EQ(writerA.Wait(), 0);
    ASSERT_EQ(writerB.Wait(), 0);

    auto key = RegistryKey::Open(kKey);
    ASSERT_NE(key, nullptr);
    for (const char *prefix : {"A", "B"}) {
        for (int i = 0; i < 200; ++i) {
            uint32_t value = 0xDEAD;
            ASSERT_EQ(key->GetDword(prefix + std::to_string(i), value), RegistryResult::Ok)
                << prefix << i;
            EXPECT_EQ(value, static_cast<uint32_t>(i));
        }
    }
    uint32_t shared = 0;
    ASSERT_EQ(key->GetDword("Shared", shared), RegistryResult::Ok);
    EXPECT_TRUE(shared == 1 || shared == 2);
}
