#include <gtest/gtest.h>

#include <atomic>
#include <thread>

#include "platform/Clock.h"
#include "platform/CriticalSection.h"
#include "platform/Event.h"
#include "platform/WorkerThread.h"

using namespace korvix::platform;

TEST(PlatformClock, ManualClockMakesLongSleepsInstantAndCountsThem) {
    ManualClock clock(5000);
    ScopedClockOverride useIt(clock);
    uint32_t before = TickCount();
    SleepMs(200000);
    SleepMs(25);
    EXPECT_EQ(TickCount() - before, 200025u);
    EXPECT_EQ(clock.SleptMs(), 200025u);
    EXPECT_EQ(TimeGetTime(), TickCount());
}

TEST(PlatformClock, TickCountWrapsAt32Bits) {
    ManualClock clock(0xFFFFFFF0ull);
    ScopedClockOverride useIt(clock);
    uint32_t before = TickCount();
    clock.Advance(0x20);
    EXPECT_EQ(TickCount(), 0x10u);
    // Differences stay right across the wrap, which is what timeout code relies on.
    EXPECT_EQ(TickCount() - before, 0x20u);
}

TEST(PlatformClock, OverrideIsRestored) {
    uint64_t systemNow = CurrentClock().NowMs();
    {
        ManualClock clock(7);
        ScopedClockOverride useIt(clock);
        EXPECT_EQ(CurrentClock().NowMs(), 7u);
    }
    EXPECT_GE(CurrentClock().NowMs(), systemNow);
}

TEST(PlatformEvent, AutoResetReleasesOneWaitPerSet) {
    Event event(Event::ResetMode::Auto);
    EXPECT_FALSE(event.Wait(0));
    event.Set();
    EXPECT_TRUE(event.Wait(0));
    EXPECT_FALSE(event.Wait(0));
}

TEST(PlatformEvent, ManualResetStaysSignalledUntilReset) {
    Event event(Event::ResetMode::Manual, true);
    EXPECT_TRUE(event.Wait(0));
    EXPECT_TRUE(event.Wait(0));
    event.Reset();
    EXPECT_FALSE(event.Wait(0));
}

TEST(PlatformEvent, TimeoutOnManualClockIsInstant) {
    ManualClock clock;
    ScopedClockOverride useIt(clock);
    Event event;
    uint64_t before = clock.NowMs();
    EXPECT_FALSE(event.Wait(200000));
    EXPECT_EQ(clock.NowMs() - before, 200000u);
}

TEST(PlatformEvent, SetFromAnotherThreadWakesWaiter) {
    Event event;
    WorkerThread setter;
    ASSERT_TRUE(setter.Start([&] { event.Set(); }));
    EXPECT_TRUE(event.Wait(Event::kInfinite));
    setter.Join();
}

TEST(PlatformCriticalSection, IsRecursiveForOwnerAndExcludesOthers) {
    CriticalSection section;
    section.Enter();
    ASSERT_TRUE(section.TryEnter());  // same thread enters again
    std::atomic<bool> otherGotIn{true};
    std::thread other([&] {
        otherGotIn = section.TryEnter();
        if (otherGotIn) section.Leave();
    });
    other.join();
    EXPECT_FALSE(otherGotIn);
    section.Leave();
    section.Leave();
    std::thread later([&] {
        otherGotIn = section.TryEnter();
        if (otherGotIn) section.Leave();
    });
    later.join();
    EXPECT_TRUE(otherGotIn);
}

TEST(PlatformWorkerThread, RefusesSecondStartWhileRunningAndJoinsOnDestruction) {
    std::atomic<int> runs{0};
    Event release(Event::ResetMode::Manual);
    {
        WorkerThread worker;
        ASSERT_TRUE(worker.Start([&] {
            release.WaitForever();
            ++runs;
        }, ThreadPriority::TimeCritical));
        EXPECT_FALSE(worker.Start([&] { ++runs; }));
        release.Set();
    }
    EXPECT_EQ(runs.load(), 1);
}
