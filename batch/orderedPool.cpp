#include "orderedPool.h"

#include <condition_variable>
#include <deque>
#include <mutex>
#include <optional>
#include <thread>
#include <vector>

namespace strixa {

namespace {

// Shared between the calling thread and the workers, guarded by lock.
struct PoolState {
  std::mutex lock;
  std::condition_variable workAvailable;
  std::condition_variable recordDone;
  std::deque<std::pair<std::size_t, InputItem>> queue;  // taken, not yet started
  std::vector<std::optional<FileRecord>> done;          // by sequence number modulo the window
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
    FileRecord record = steps.work(worker, item);
    hold.lock();
    state.done[sequence % state.done.size()] = std::move(record);
    state.recordDone.notify_all();
  }
}

}  // namespace

void RunInOrder(int threads, int window, const PoolSteps& steps) {
  threads = std::max(threads, 1);
  PoolState state;
  state.done.resize(static_cast<std::size_t>(std::max(window, threads)));
  std::vector<std::thread> workers;
  for (int worker = 0; worker < threads; ++worker) {
    workers.emplace_back(RunWorker, worker, std::ref(state), std::cref(steps));
  }
  std::size_t taken = 0;
  std::size_t emitted = 0;
  bool ended = false;
  while (true) {
    // Keep the window full, then wait for the oldest input's record.
    while (!ended && taken - emitted < state.done.size()) {
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
    std::optional<FileRecord>& slot = state.done[emitted % state.done.size()];
    FileRecord record;
    {
      std::unique_lock<std::mutex> hold(state.lock);
      state.recordDone.wait(hold, [&] { return slot.has_value(); });
      record = std::move(*slot);
      slot.reset();
    }
    steps.emit(record);
    ++emitted;
  }
  for (std::thread& worker : workers) {
    worker.join();
  }
}

}  // namespace strixa
