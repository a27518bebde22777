// SPDX-License-Identifier: Apache-2.0
#include "formats/memoryBudget.h"

#include <algorithm>

namespace strixa {

bool MemoryBudget::Reserve(std::size_t bytes) {
  if (bytes > total_) {
    return false;
  }
  std::unique_lock<std::mutex> hold(lock_);
  const std::thread::id self = std::this_thread::get_id();
  const bool holding = held_.contains(self);
  if (holding) {
    ++holdersWaiting_;
    released_.notify_all();  // others may now see that every holder waits
  }
  const auto canGoOn = [&] {
    return used_ + bytes <= total_ || (holding && holdersWaiting_ == held_.size());
  };
  if (!canGoOn()) {
    const auto start = std::chrono::steady_clock::now();
    released_.wait(hold, canGoOn);
    waited_[self] += std::chrono::steady_clock::now() - start;
  }
  if (holding) {
    --holdersWaiting_;
  }
  if (used_ + bytes > total_) {
    return false;
  }
  used_ += bytes;
  held_[self] += bytes;
  return true;
}

void MemoryBudget::Release(std::size_t bytes, std::thread::id owner) {
  const std::lock_guard<std::mutex> hold(lock_);
  const auto it = held_.find(owner);
  if (it == held_.end()) {
    return;
  }
  const std::size_t given = std::min(bytes, it->second);
  it->second -= given;
  used_ -= given;
  if (it->second == 0) {
    held_.erase(it);
  }
  released_.notify_all();
}

std::chrono::steady_clock::duration MemoryBudget::Waited() const {
  const std::lock_guard<std::mutex> hold(lock_);
  const auto it = waited_.find(std::this_thread::get_id());
  return it == waited_.end() ? std::chrono::steady_clock::duration{} : it->second;
}

std::size_t MemoryBudget::Used() const {
  const std::lock_guard<std::mutex> hold(lock_);
  return used_;
}

}  // namespace strixa
