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

// A reader's page buffer outlives its file and serves the next page that fits, still counted
// against the budget only while in use; the larger of two is kept, and none past maxKept.
TEST(KeptPageBufferTest, ServesLaterPagesThatFit) {
  MemoryBudget budget(1000);
  KeptPageBuffer kept;
  DecodeLimits limits;
  limits.memory = &budget;
  limits.keptPages = &kept;
  const std::uint8_t* first = nullptr;
  {
    const PixelBuffer page = AllocatePixels(600, limits);
    ASSERT_NE(page, nullptr);
    first = page.get();
  }
  EXPECT_EQ(budget.Used(), 0u);
  EXPECT_EQ(kept.Capacity(), 600u);
  {
    const PixelBuffer smaller = AllocatePixels(400, limits);
    EXPECT_EQ(smaller.get(), first);
    EXPECT_EQ(kept.Capacity(), 0u);
    EXPECT_EQ(budget.Used(), 400u);
    // A second page at once gets a block of its own.
    const PixelBuffer other = AllocatePixels(500, limits);
    ASSERT_NE(other, nullptr);
    EXPECT_NE(other.get(), first);
  }
  EXPECT_EQ(budget.Used(), 0u);
  EXPECT_EQ(kept.Capacity(), 600u);  // the 600-byte block, not the 500
  {
    const PixelBuffer larger = AllocatePixels(900, limits);
    EXPECT_NE(larger.get(), first);
    EXPECT_EQ(kept.Capacity(), 600u);
  }
  EXPECT_EQ(kept.Capacity(), 900u);

  DecodeLimits unbudgeted;
  unbudgeted.keptPages = &kept;
  { const PixelBuffer huge = AllocatePixels(KeptPageBuffer::maxKept + 1, unbudgeted); }
  EXPECT_EQ(kept.Capacity(), 900u);
  { const PixelBuffer withoutKeeper = AllocatePixels(800, DecodeLimits{}); }
  EXPECT_EQ(kept.Capacity(), 900u);
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
