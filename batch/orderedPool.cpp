// SPDX-License-Identifier: Apache-2.0
#include "orderedPool.h"

#include <condition_variable>
#include <deque>
#include <mutex>
#include <thread>
#include <vector>

namespace strixa {

namespace {

// The parts of one input not yet emitted.
struct Slot {
  std::deque<FileRecord> parts;
  bool finished = false;  // the last part is among parts, or already emitted
};

// Shared between the calling thread and the workers, guarded by lock.
struct PoolState {
  std::mutex lock;
  std::condition_variable workAvailable;
  std::condition_variable partDone;
  std::deque<std::pair<std::size_t, InputItem>> queue;  // taken, not yet started
  std::vector<Slot> slots;                              // by sequence number modulo the window
  bool inputEnded = false;
};

void RunWorker(int worker, PoolState& state, const PoolSteps& steps) {
  while (true) {
    std::unique_lock<std::mutex> hold(state.lock);
    state.workAvailable.wait(hold, [&] { return !state.queue.empty() || state.inputEnded; });
    if (state.queue.empty()) {
      return;
    }
    auto [sequence, item] = std::move(state.queue.front());
    state.queue.pop_front();
    hold.unlock();
    Slot& slot = state.slots[sequence % state.slots.size()];
    const RecordSink sink = [&](FileRecord&& part) {
      const std::lock_guard<std::mutex> partHold(state.lock);
      slot.parts.push_back(std::move(part));
      state.partDone.notify_all();
    };
    FileRecord last = steps.work(worker, item, sink);
    hold.lock();
    slot.parts.push_back(std::move(last));
    slot.finished = true;
    state.partDone.notify_all();
  }
}

// Emits the parts of the oldest input as they come; false when emit asked to stop.
bool EmitInput(PoolState& state, Slot& slot, const PoolSteps& steps) {
  while (true) {
    std::deque<FileRecord> parts;
    bool finished = false;
    {
      std::unique_lock<std::mutex> hold(state.lock);
      state.partDone.wait(hold, [&] { return !slot.parts.empty(); });
      parts.swap(slot.parts);
      finished = slot.finished;
      if (finished) {
        slot.finished = false;  // the slot is free for a later input
      }
    }
    for (std::size_t i = 0; i < parts.size(); ++i) {
      if (!steps.emit(parts[i], finished && i + 1 == parts.size())) {
        return false;
      }
    }
    if (finished) {
      return true;
    }
  }
}

}  // namespace

void RunInOrder(int threads, int window, const PoolSteps& steps) {
  threads = std::max(threads, 1);
  PoolState state;
  state.slots.resize(static_cast<std::size_t>(std::max(window, threads)));
  std::vector<std::thread> workers;
  for (int worker = 0; worker < threads; ++worker) {
    workers.emplace_back(RunWorker, worker, std::ref(state), std::cref(steps));
  }
  std::size_t taken = 0;
  std::size_t emitted = 0;
  bool ended = false;
  while (true) {
    // Keep the window full, then emit the oldest input's parts.
    while (!ended && taken - emitted < state.slots.size()) {
      InputItem item;
      if (!steps.next(item)) {
        ended = true;
        break;
      }
      const std::lock_guard<std::mutex> hold(state.lock);
      state.queue.emplace_back(taken++, std::move(item));
      state.workAvailable.notify_one();
    }
    if (ended) {
      const std::lock_guard<std::mutex> hold(state.lock);
      state.inputEnded = true;
      state.workAvailable.notify_all();
    }
    if (emitted == taken) {
      break;
    }
    if (!EmitInput(state, state.slots[emitted % state.slots.size()], steps)) {
      // Inputs not started are dropped; those being read finish into slots nobody reads.
      const std::lock_guard<std::mutex> hold(state.lock);
      state.queue.clear();
      state.inputEnded = true;
      state.workAvailable.notify_all();
      break;
    }
    ++emitted;
  }
  for (std::thread& worker : workers) {
    worker.join();
  }
}

}  // namespace strixa
