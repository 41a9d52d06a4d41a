#include <gtest/gtest.h>

#include <cstdlib>
#include <vector>

#include "api/SdkChain.h"
#include "platform/Clock.h"
#include "session/Korvix.h"

using korvix::CSDKDATA;
using korvix::CSdkChain;

namespace {

// The `next` walk of the ring from the cursor, as handles.
std::vector<int32_t> WalkNext(const CSdkChain &chain) {
    std::vector<int32_t> handles;
    auto *start = chain.Cursor();
    if (!start) return handles;
    auto *node = start;
    do {
        handles.push_back(node->data.handle);
        node = node->next;
    } while (node != start);
    return handles;
}

}  // namespace

TEST(ApiSdkChain, NewestRecordIsCurrentAndNextLeadsToOlderOnes) {
    CSdkChain chain;
    chain.Add(CSDKDATA{101, nullptr});  // A
    chain.Add(CSDKDATA{102, nullptr});  // B
    chain.Add(CSDKDATA{103, nullptr});  // C
    EXPECT_EQ(chain.CurrentHandle(), 103);
    EXPECT_EQ(WalkNext(chain), (std::vector<int32_t>{103, 102, 101}));
    EXPECT_EQ(chain.Cursor()->prev->data.handle, 101);
}

TEST(ApiSdkChain, LookupMovesCursorForwardAndMissRestsBeforeStart) {
    CSdkChain chain;
    chain.Add(CSDKDATA{101, nullptr});
    chain.Add(CSDKDATA{102, nullptr});
    EXPECT_EQ(chain.CurrentHandle(), 102);
    chain.Lookup(101);
    EXPECT_EQ(chain.CurrentHandle(), 101);
    chain.Lookup(102);  // walks forward from A to B
    EXPECT_EQ(chain.CurrentHandle(), 102);

    chain.Add(CSDKDATA{103, nullptr});  // cursor on C
    EXPECT_EQ(chain.Lookup(999), nullptr);
    // The walk visited C, B and A and stopped on A, the node before C.
    EXPECT_EQ(chain.CurrentHandle(), 101);
    EXPECT_EQ(chain.HandleCount(), 3);
}

TEST(ApiSdkChain, MissInOneNodeRingStaysOnThatNode) {
    CSdkChain chain;
    EXPECT_EQ(chain.Lookup(5), nullptr);  // empty ring
    chain.Add(CSDKDATA{7, nullptr});
    EXPECT_EQ(chain.Lookup(5), nullptr);
    EXPECT_EQ(chain.CurrentHandle(), 7);
}

TEST(ApiSdkChain, RemoveRelinksNeighboursAndMovesToNext) {
    CSdkChain chain;
    chain.Add(CSDKDATA{101, nullptr});
    chain.Add(CSDKDATA{102, nullptr});
    chain.Add(CSDKDATA{103, nullptr});
    std::shared_ptr<korvix::CKorvix> session;
    EXPECT_TRUE(chain.Detach(102, session));
    EXPECT_EQ(chain.HandleCount(), 2);      // the count feeds the next handle value
    EXPECT_EQ(chain.CurrentHandle(), 101);  // B's next
    EXPECT_EQ(WalkNext(chain), (std::vector<int32_t>{101, 103}));
    EXPECT_FALSE(chain.Detach(102, session));
    EXPECT_TRUE(chain.Detach(101, session));
    EXPECT_TRUE(chain.Detach(103, session));
    EXPECT_EQ(chain.HandleCount(), 0);
    EXPECT_EQ(chain.CurrentHandle(), 0);
}

TEST(ApiSdkChain, HandleFollowsTickCountPlusRandPlusCount) {
    korvix::platform::ManualClock clock(50000);
    korvix::platform::ScopedClockOverride useIt(clock);
    CSdkChain chain;
    std::srand(17);
    const auto firstRand = static_cast<uint32_t>(std::rand());
    const auto secondRand = static_cast<uint32_t>(std::rand());
    std::srand(17);

    int32_t first = chain.CreateSession();
    EXPECT_EQ(static_cast<uint32_t>(first), 50000u + firstRand + 0u);
    int32_t second = chain.CreateSession();
    EXPECT_EQ(static_cast<uint32_t>(second), 50000u + secondRand + 1u);
}

TEST(ApiSdkChain, HandleNeverZeroNorEqualToLiveHandle) {
    korvix::platform::ManualClock clock(0);
    korvix::platform::ScopedClockOverride useIt(clock);
    CSdkChain chain;
    std::srand(3);
    const auto firstRand = static_cast<uint32_t>(std::rand());
    const auto secondRand = static_cast<uint32_t>(std::rand());
    std::srand(3);

    // Tick count chosen so that the formula yields exactly 0.
    clock.Advance(static_cast<uint32_t>(0u - firstRand));
    int32_t handle = chain.CreateSession();
    EXPECT_EQ(handle, 1);

    // The next formula value, computed ahead, is occupied by a record added by hand.
    const uint32_t predicted = static_cast<uint32_t>(0u - firstRand) + secondRand + 2u;
    chain.Add(CSDKDATA{static_cast<int32_t>(predicted), nullptr});
    int32_t next = chain.CreateSession();
    EXPECT_EQ(static_cast<uint32_t>(next), predicted + 1u);
    EXPECT_NE(chain.Lookup(next), nullptr);
}
