// SPDX-License-Identifier: Apache-2.0
#include "orderedPool.h"

#include <algorithm>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include <gtest/gtest.h>

namespace strixa {

namespace {

// Early inputs take longest, so with more than one thread they finish last.
TEST(OrderedPoolTest, EmitsInInputOrderWithinTheWindow) {
  constexpr int count = 40;
  constexpr int window = 6;
  int taken = 0;
  int emittedCount = 0;
  int mostOutstanding = 0;
  std::atomic<int> running = 0;
  std::atomic<int> mostRunning = 0;
  std::vector<std::string> emitted;
  PoolSteps steps;
  steps.next = [&](InputItem& item) {
    if (taken == count) {
      return false;
    }
    item.path = std::to_string(taken++);
    mostOutstanding = std::max(mostOutstanding, taken - emittedCount);
    return true;
  };
  steps.work = [&](int, const InputItem& item, const RecordSink&) {
    const int now = ++running;
    int seen = mostRunning;
    while (now > seen && !mostRunning.compare_exchange_weak(seen, now)) {
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(std::stoi(item.path) % 7 == 0 ? 20 : 1));
    --running;
    return FileRecord{item.path, {}, ""};
  };
  steps.emit = [&](FileRecord& record, bool last) {
    EXPECT_TRUE(last);
    emitted.push_back(record.path);
    ++emittedCount;
    return true;
  };
  RunInOrder(3, window, steps);
  ASSERT_EQ(emitted.size(), static_cast<std::size_t>(count));
  for (int i = 0; i < count; ++i) {
    EXPECT_EQ(emitted[i], std::to_string(i));
  }
  EXPECT_LE(mostOutstanding, window);
  EXPECT_LE(mostRunning.load(), 3);
  EXPECT_GT(mostRunning.load(), 1);
}

TEST(OrderedPoolTest, EndsAtOnceWithoutInputs) {
  PoolSteps steps;
  steps.next = [](InputItem&) { return false; };
  steps.work = [](int, const InputItem& item, const RecordSink&) {
    return FileRecord{item.path, {}, ""};
  };
  int emitted = 0;
  steps.emit = [&](FileRecord&, bool) { return ++emitted > 0; };
  RunInOrder(2, 4, steps);
  EXPECT_EQ(emitted, 0);
}

// A page read is out at once: the first input's first page is emitted while that input is still
// being read (its worker waits for it), and the later inputs follow in order.
TEST(OrderedPoolTest, EmitsEachPageWhileItsInputIsStillRead) {
  std::mutex lock;
  std::condition_variable seen;
  bool firstPageEmitted = false;
  std::vector<std::string> emitted;
  int taken = 0;
  PoolSteps steps;
  steps.next = [&](InputItem& item) {
    item.path = std::to_string(taken);
    return taken++ < 3;
  };
  steps.work = [&](int, const InputItem& item, const RecordSink& sink) {
    if (item.path == "0") {
      sink(FileRecord{"0 page 1", {}, ""});
      std::unique_lock<std::mutex> hold(lock);
      const bool inTime =
          seen.wait_for(hold, std::chrono::seconds(10), [&] { return firstPageEmitted; });
      return FileRecord{inTime ? "0 end" : "0 end, page 1 held back", {}, ""};
    }
    return FileRecord{item.path + " end", {}, ""};
  };
  steps.emit = [&](FileRecord& part, bool last) {
    const std::lock_guard<std::mutex> hold(lock);
    emitted.push_back(part.path + (last ? " (last)" : ""));
    firstPageEmitted = true;
    seen.notify_all();
    return true;
  };
  RunInOrder(2, 4, steps);
  EXPECT_EQ(emitted,
            (std::vector<std::string>{"0 page 1", "0 end (last)", "1 end (last)", "2 end (last)"}));
}

// A failed write stops the run: nothing more is emitted, and few inputs beyond the window are
// taken.
TEST(OrderedPoolTest, StopsAtTheFirstFailedEmit) {
  constexpr int count = 1000;
  std::atomic<int> taken = 0;
  std::atomic<int> worked = 0;
  int emitted = 0;
  PoolSteps steps;
  steps.next = [&](InputItem& item) {
    item.path = std::to_string(taken.load());
    return ++taken <= count;
  };
  steps.work = [&](int, const InputItem& item, const RecordSink&) {
    ++worked;
    return FileRecord{item.path, {}, ""};
  };
  steps.emit = [&](FileRecord&, bool) { return ++emitted < 3; };
  RunInOrder(2, 6, steps);
  EXPECT_EQ(emitted, 3);
  EXPECT_LE(taken.load(), 3 + 6 + 1);
  EXPECT_LE(worked.load(), taken.load());
}

}  // namespace

}  // namespace strixa
