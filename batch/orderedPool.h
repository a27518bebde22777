#pragma once

#include <functional>

#include "inputs.h"
#include "record.h"

namespace strixa {

// What the pool calls: next on the calling thread to take the next input (false at the end),
// work on a worker thread (numbered from 0) to read one, emit on the calling thread with each
// record, in input order.
struct PoolSteps {
  std::function<bool(InputItem& item)> next;
  std::function<FileRecord(int worker, const InputItem& item)> work;
  std::function<void(FileRecord& record)> emit;
};

// Reads the inputs on `threads` threads. At most `window` inputs are taken but not yet emitted,
// so memory stays bounded: a slow input holds back the records after it until it is done, but
// the workers go on with the next inputs up to the window. window is raised to threads if lower.
void RunInOrder(int threads, int window, const PoolSteps& steps);

}  // namespace strixa
