#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdint>
#include <cstdlib>
#include <memory>
#include <string>
#include <vector>

#include "platform/Registry.h"
#include "support/ChildProcess.h"
#include "support/TestEnvironment.h"

// The SQLite store of the Linux build: where it lives, and processes creating it at once.

using namespace korvix::platform;

namespace {
const std::string kKey = "Software\\Velsor\\KorvixTesslin3T2Sdk\\Test";

// The fresh-store test: writers in several processes, let go at the same moment, each make
// their key in a series of stores that do not exist yet.
constexpr int kFreshStores = 10;

std::string FreshStorePath(const std::string &prefix, int store) {
    return prefix + "-" + std::to_string(store) + ".sqlite";
}
}  // namespace

TEST(PlatformRegistry, StorePathFollowsEnvironment) {
    const char *explicitPath = std::getenv("KORVIX_REGISTRY");
    ASSERT_NE(explicitPath, nullptr);
    EXPECT_EQ(RegistryKey::StorePath(), explicitPath);
}

// Child side: says it is ready, waits at the start gate (one byte from the gate pipe), then
// creates its key in every store of the series.
TEST(PlatformRegistryChild, CreateInFreshStores) {
    if (!korvix::test::IsChildProcess()) GTEST_SKIP() << "runs only as a child process";
    const std::string writer = std::getenv("REGISTRY_WRITER");
    const std::string prefix = std::getenv("REGISTRY_STORES");
    const int ready = std::atoi(std::getenv("REGISTRY_READY"));
    char byte = 'r';
    ASSERT_EQ(write(ready, &byte, 1), 1);
    close(ready);
    ASSERT_EQ(read(std::atoi(std::getenv("REGISTRY_GATE")), &byte, 1), 1);
    for (int store = 0; store < kFreshStores; ++store) {
        setenv("KORVIX_REGISTRY", FreshStorePath(prefix, store).c_str(), 1);
        auto key = RegistryKey::Create(kKey + "\\" + writer);
        ASSERT_NE(key, nullptr) << "store " << store;
        ASSERT_TRUE(key->SetDword("Writer", 1)) << "store " << store;
    }
}

// Applications that start together on a machine without a settings store all create it at
// once: every one of them must get its key.
TEST(PlatformRegistry, ProcessesCreatingFreshStoresAtOnceAllGetTheirKeys) {
    constexpr int kRounds = 2;
    constexpr int kWriters = 5;
    const std::string ownStore = RegistryKey::StorePath();
    for (int round = 0; round < kRounds && !HasFailure(); ++round) {
        const std::string prefix =
            (korvix::test::TestDirectory() / ("round-" + std::to_string(round))).string();
        int ready[2], gate[2];
        ASSERT_EQ(pipe(ready), 0);
        ASSERT_EQ(pipe(gate), 0);
        std::vector<std::unique_ptr<korvix::test::ChildProcess>> writers;
        for (int writer = 0; writer < kWriters; ++writer) {
            writers.push_back(std::make_unique<korvix::test::ChildProcess>(
                "PlatformRegistryChild.CreateInFreshStores",
                std::vector<std::pair<std::string, std::string>>{
                    {"REGISTRY_WRITER", std::to_string(writer)},
                    {"REGISTRY_STORES", prefix},
                    {"REGISTRY_READY", std::to_string(ready[1])},
                    {"REGISTRY_GATE", std::to_string(gate[0])}}));
        }
        // Once every writer stands at the gate, one byte each lets them all go at once. The
        // writers close their end of the ready pipe, so one that dies first ends this wait.
        close(ready[1]);
        int arrived = 0;
        for (char byte; arrived < kWriters && read(ready[0], &byte, 1) == 1;) ++arrived;
        EXPECT_EQ(arrived, kWriters);
        const std::string tickets(kWriters, 'g');
        EXPECT_EQ(write(gate[1], tickets.data(), tickets.size()), kWriters);
        for (auto &child : writers) EXPECT_EQ(child->Wait(), 0) << "round " << round;
        close(ready[0]);
        close(gate[0]);
        close(gate[1]);

        for (int store = 0; store < kFreshStores; ++store) {
            setenv("KORVIX_REGISTRY", FreshStorePath(prefix, store).c_str(), 1);
            for (int writer = 0; writer < kWriters; ++writer) {
                uint32_t value = 0;
                auto key = RegistryKey::Open(kKey + "\\" + std::to_string(writer));
                EXPECT_TRUE(key && key->GetDword("Writer", value) == RegistryResult::Ok &&
                            value == 1)
                    << "round " << round << " store " << store << " writer " << writer;
            }
        }
    }
    setenv("KORVIX_REGISTRY", ownStore.c_str(), 1);
}
