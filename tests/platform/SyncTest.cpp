#include "platform/Sync.h"

#include <gtest/gtest.h>

#include <thread>

#include "platform/NamedThread.h"

TEST(Sync, EventsAndSemaphoresKeepTheirWaitResults) {
    TEvent autoEvent;
    EXPECT_EQ(autoEvent.WaitFor(0), WAIT_TIMEOUT);
    autoEvent.SetEvent();
    EXPECT_EQ(autoEvent.WaitFor(0), WAIT_OBJECT_0);
    EXPECT_EQ(autoEvent.WaitFor(0), WAIT_TIMEOUT) << "auto-reset event must reset itself";

    TEvent manualEvent(true, true);
    EXPECT_EQ(manualEvent.WaitFor(0), WAIT_OBJECT_0);
    EXPECT_EQ(manualEvent.WaitFor(0), WAIT_OBJECT_0);
    manualEvent.ResetEvent();
    EXPECT_EQ(manualEvent.WaitFor(0), WAIT_TIMEOUT);

    TSemaphore semaphore(1, 2);
    EXPECT_EQ(semaphore.WaitFor(0), WAIT_OBJECT_0);
    EXPECT_EQ(semaphore.WaitFor(0), WAIT_TIMEOUT);
    EXPECT_TRUE(semaphore.Release(2));
    EXPECT_FALSE(semaphore.Release(1)) << "release beyond the maximum";
    EXPECT_EQ(semaphore.Count(), 2);
}

TEST(Sync, MultiWaitReportsWhichObjectWokeItAndTimesOut) {
    TSemaphore items(0, 10);
    TEvent stop;
    EXPECT_EQ(WaitForMultipleObjects({&items, &stop}, 10), WAIT_TIMEOUT);

    TNamedThread signaller;
    signaller.Start("test-signal", [&] {
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
        stop.SetEvent();
    });
    EXPECT_EQ(WaitForMultipleObjects({&items, &stop}, INFINITE), WAIT_OBJECT_0 + 1);
    signaller.Join();

    items.Release(1);
    stop.SetEvent();
    EXPECT_EQ(WaitForMultipleObjects({&items, &stop}, 0), WAIT_OBJECT_0) << "first in list wins";
    EXPECT_EQ(WaitForMultipleObjects({&items, &stop}, 0), WAIT_OBJECT_0 + 1);
}
