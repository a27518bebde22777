// SPDX-License-Identifier: Apache-2.0
#include "formats/memoryBudget.h"

#include <atomic>
#include <chrono>
#include <thread>

#include <gtest/gtest.h>

#include "formats/page.h"

namespace strixa {

namespace {

using namespace std::chrono_literals;

TEST(MemoryBudgetTest, RefusesMoreThanTheWholeAtOnce) {
  MemoryBudget budget(100);
  EXPECT_FALSE(budget.Reserve(101));
  EXPECT_TRUE(budget.Reserve(100));
  budget.Release(100);
  EXPECT_EQ(budget.Used(), 0u);
}

// A thread that holds nothing waits until another gives back enough.
TEST(MemoryBudgetTest, WaitsForBytesAnotherThreadGivesBack) {
  MemoryBudget budget(100);
  ASSERT_TRUE(budget.Reserve(60));
  std::atomic<bool> got = false;
  std::thread other([&] {
    got = budget.Reserve(60);
    budget.Release(60);
  });
  std::this_thread::sleep_for(50ms);
  EXPECT_FALSE(got);
  budget.Release(60);
  other.join();
  EXPECT_TRUE(got);
  EXPECT_EQ(budget.Used(), 0u);
}

// Two threads each holding part and each waiting for more could wait for ever: they fail instead.
TEST(MemoryBudgetTest, HoldersWaitingOnEachOtherFailRatherThanHang) {
  MemoryBudget budget(100);
  std::atomic<int> holding = 0;
  std::atomic<int> failed = 0;
  const auto work = [&](std::size_t first) {
    ASSERT_TRUE(budget.Reserve(first));
    ++holding;
    while (holding < 2) {
      std::this_thread::yield();
    }
    if (budget.Reserve(50)) {
      budget.Release(50);
    } else {
      ++failed;
    }
    budget.Release(first);
  };
  std::thread one(work, 50);
  std::thread two(work, 40);
  one.join();
  two.join();
  EXPECT_GE(failed.load(), 1);
  EXPECT_EQ(budget.Used(), 0u);
}

// A page buffer counts while it lives, and a page over the budget is refused without allocating.
TEST(MemoryBudgetTest, PageBuffersCountWhileTheyLive) {
  MemoryBudget budget(1000);
  DecodeLimits limits;
  limits.memory = &budget;
  {
    const PixelBuffer page = AllocatePixels(600, limits);
    ASSERT_NE(page, nullptr);
    EXPECT_EQ(budget.Used(), 600u);
    EXPECT_EQ(AllocatePixels(1001, limits), nullptr);
  }
  EXPECT_EQ(budget.Used(), 0u);
  EXPECT_NE(AllocatePixels(1000, limits), nullptr);
  EXPECT_EQ(budget.Used(), 0u);
}

// A file that waits for memory others hold is not charged the wait against its own time.
TEST(MemoryBudgetTest, WaitingForMemoryIsNotChargedToTheFilesTime) {
  MemoryBudget budget(100);
  DecodeLimits limits;
  limits.memory = &budget;
  limits.maxFileTime = 200ms;
  ASSERT_TRUE(budget.Reserve(100));
  std::atomic<bool> timeIsUp = true;
  std::thread other([&] {
    const FileBudget file(limits);
    const PixelBuffer page = AllocatePixels(100, limits);
    timeIsUp = !page || file.TimeIsUp();
  });
  std::this_thread::sleep_for(400ms);
  budget.Release(100);
  other.join();
  EXPECT_FALSE(timeIsUp);
}

// Memory a decoder library allocates itself counts while the reservation lives.
TEST(MemoryBudgetTest, ReservationsHoldTheirBytesUntilReleased) {
  MemoryBudget budget(1000);
  DecodeLimits limits;
  limits.memory = &budget;
  {
    MemoryReservation reservation;
    ASSERT_TRUE(reservation.Reserve(700, limits));
    EXPECT_EQ(budget.Used(), 700u);
    ASSERT_TRUE(reservation.Reserve(300, limits));
    EXPECT_EQ(budget.Used(), 300u);
    MemoryReservation tooMuch;
    EXPECT_FALSE(tooMuch.Reserve(1001, limits));
  }
  EXPECT_EQ(budget.Used(), 0u);
}

}  // namespace

}  // namespace strixa
