// SPDX-License-Identifier: Apache-2.0
#pragma once

#include <chrono>
#include <condition_variable>
#include <cstddef>
#include <map>
#include <mutex>
#include <thread>

namespace strixa {

// The bytes of pixel buffers that all the threads of one run may hold at once, so a run over
// many files that each claim a huge picture stays within one limit whatever the number of jobs.
// A thread asks before it allocates and gives the bytes back after; it waits while others hold
// too much. A thread that already holds some waits too, unless every thread holding bytes is
// waiting (none could ever go on): then its request fails, as a short memory would.
class MemoryBudget {
 public:
  explicit MemoryBudget(std::size_t total) : total_(total) {}

  // True once bytes are set aside for the calling thread; false at once for more than the whole
  // budget, or when waiting could never end.
  bool Reserve(std::size_t bytes);
  // Gives back bytes that owner reserved, from any thread.
  void Release(std::size_t bytes, std::thread::id owner = std::this_thread::get_id());

  std::size_t Total() const { return total_; }
  std::size_t Used() const;
  // How long the calling thread has waited in Reserve, in all: time a file's own budget of time
  // must not be charged, as it was other files that held the bytes.
  std::chrono::steady_clock::duration Waited() const;

 private:
  const std::size_t total_;
  mutable std::mutex lock_;
  std::condition_variable released_;
  std::size_t used_ = 0;
  std::map<std::thread::id, std::size_t> held_;  // threads holding bytes, and how many
  std::size_t holdersWaiting_ = 0;
  std::map<std::thread::id, std::chrono::steady_clock::duration> waited_;  // one per thread
};

}  // namespace strixa
