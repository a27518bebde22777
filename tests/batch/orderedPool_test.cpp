#include "orderedPool.h"

#include <algorithm>
#include <atomic>
#include <chrono>
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

}  // namespace

}  // namespace strixa
