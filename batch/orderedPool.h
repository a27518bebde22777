// SPDX-License-Identifier: Apache-2.0
#pragma once

#include <functional>

#include "inputs.h"
#include "record.h"

namespace strixa {

// Takes the records of one input as they are found: a page's, or the last part.
using RecordSink = std::function<void(FileRecord&& part)>;

// What the pool calls: next on the calling thread to take the next input (false at the end);
// work on a worker thread (numbered from 0) to read one, handing each page's records to its sink
// as soon as the page is read and returning the last part (its error, if any); emit on the
// calling thread with each part, in input order, last set for an input's last part. emit returns
// false to stop: no further input is taken, and what is not yet emitted is dropped.
struct PoolSteps {
  std::function<bool(InputItem& item)> next;
  std::function<FileRecord(int worker, const InputItem& item, const RecordSink& sink)> work;
  std::function<bool(FileRecord& part, bool last)> emit;
};

// Reads the inputs on `threads` threads. At most `window` inputs are taken but not yet finished
// and emitted, so memory stays bounded. The parts of the oldest input are emitted as they come,
// so a slow input holds back the records after it only while it is read, and an interrupt
// loses no page already read of it; the workers go on with the next inputs up to the window.
// window is raised to threads if lower.
void RunInOrder(int threads, int window, const PoolSteps& steps);

}  // namespace strixa
