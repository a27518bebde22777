// SPDX-License-Identifier: Apache-2.0
#include <cstdlib>
#include <windows.h>

#include "platform/memory.h"

namespace strixa {

namespace {

// Below this a heap block is cheap and calloc's clearing costs nothing worth saving.
constexpr std::size_t mappingThreshold = std::size_t{256} << 10;

void ReleaseHeapBlock(std::uint8_t* block, std::size_t) { std::free(block); }

void ReleaseVirtualBlock(std::uint8_t* block, std::size_t) { ::VirtualFree(block, 0, MEM_RELEASE); }

}  // namespace

// Windows takes no hint about page sizes for an ordinary block.
void ExpectWholeReads(const LargeBuffer&) {}

LargeBuffer AllocateLargeBuffer(std::size_t size, PageUse) {
  if (size >= mappingThreshold) {
    // Committed pages read as zero and take memory only once written.
    void* block = ::VirtualAlloc(nullptr, size, MEM_RESERVE | MEM_COMMIT, PAGE_READWRITE);
    return LargeBuffer(static_cast<std::uint8_t*>(block),
                       LargeBufferDeleter{ReleaseVirtualBlock, size});
  }
  return LargeBuffer(static_cast<std::uint8_t*>(std::calloc(size > 0 ? size : 1, 1)),
                     LargeBufferDeleter{ReleaseHeapBlock, 0});
}

}  // namespace strixa
