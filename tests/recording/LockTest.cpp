#include "recording/Lock.h"

#include <gtest/gtest.h>

#include <thread>

#include "platform/NamedThread.h"

TEST(Lock, CountsStopAndTimeOutGiveTheWaitResults) {
    TLock lock("", 2);
    EXPECT_FALSE(lock.UnLock()) << "the count is already at its maximum";
    EXPECT_EQ(lock.Lock(0), 0u);
    EXPECT_EQ(lock.Lock(0), 0u);
    EXPECT_EQ(lock.Lock(5), 258u);
    lock.Stop();
    EXPECT_EQ(lock.Lock(1000), 1u) << "stop releases the waiter without a count";
    EXPECT_EQ(lock.Lock(0), 258u) << "the stop event resets itself";
    EXPECT_TRUE(lock.UnLock());
    EXPECT_EQ(lock.Lock(0), 0u);
}

TEST(Lock, StopReleasesAWaiterOnAnotherThread) {
    TLock lock("named", 1);
    ASSERT_EQ(lock.Lock(0), 0u);
    uint32_t result = 0;
    TNamedThread waiter;
    waiter.Start("lock-waiter", [&] { result = lock.Lock(INFINITE); });
    lock.Stop();
    waiter.Join();
    EXPECT_EQ(result, 1u);
}
