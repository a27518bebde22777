// SPDX-License-Identifier: Apache-2.0
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>

namespace strixa {

// Releases a block from AllocateLargeBuffer; mappedSize is 0 for a heap block, else the length
// of the mapping to give back.
struct LargeBufferDeleter {
  std::size_t mappedSize = 0;
  void operator()(std::uint8_t* block) const;
};

using LargeBuffer = std::unique_ptr<std::uint8_t[], LargeBufferDeleter>;

// How a picture-sized block is going to be written.
enum class PageUse {
  Whole,      // every byte, right after allocation
  Scattered,  // here and there (run-length pictures); the rest must stay zero and cost nothing
};

// A zero-filled block of size bytes, or null when memory is short. Large blocks are fresh
// mappings, zero without being cleared, so pages nobody writes never become resident. A block
// written whole is asked for in huge pages on Linux: a fresh 35 MB buffer otherwise costs
// thousands of page faults, more than the whole conversion. Huge pages would make a scattered
// write resident 2 MB at a time, so those blocks keep small pages.
LargeBuffer AllocateLargeBuffer(std::size_t size, PageUse use = PageUse::Whole);

// Tells the system a Scattered block is written and will now be read throughout, so the pages
// nobody wrote may come in huge pages: far fewer faults for the passes that read them all.
void ExpectWholeReads(const LargeBuffer& block);

}  // namespace strixa
