// SPDX-License-Identifier: Apache-2.0
#include "image/largeBuffer.h"

#include <cstdlib>

#if defined(_WIN32)
#include <windows.h>
#elif defined(__unix__)
#include <sys/mman.h>
#endif

namespace strixa {

namespace {

constexpr std::size_t hugePage = std::size_t{2} << 20;

// Below this a heap block is cheap and calloc's clearing costs nothing worth saving.
constexpr std::size_t mappingThreshold = std::size_t{256} << 10;

#if defined(__unix__)
// A fresh anonymous mapping, aligned to a huge page so the whole block can use them.
LargeBuffer MapZeroedBlock(std::size_t size, PageUse use) {
  const std::size_t rounded = (size + hugePage - 1) / hugePage * hugePage;
  void* raw = ::mmap(nullptr, rounded + hugePage, PROT_READ | PROT_WRITE,
                     MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
  if (raw == MAP_FAILED) {
    return LargeBuffer(nullptr);
  }
  auto* start = static_cast<std::uint8_t*>(raw);
  const std::size_t lead =
      (hugePage - reinterpret_cast<std::uintptr_t>(start) % hugePage) % hugePage;
  if (lead > 0) {
    ::munmap(start, lead);
  }
  ::munmap(start + lead + rounded, hugePage - lead);
  std::uint8_t* block = start + lead;
#if defined(MADV_HUGEPAGE)
  // Only hints: the block works the same either way.
  ::madvise(block, rounded, use == PageUse::Whole ? MADV_HUGEPAGE : MADV_NOHUGEPAGE);
#else
  (void)use;
#endif
  return LargeBuffer(block, LargeBufferDeleter{rounded});
}
#endif

}  // namespace

void LargeBufferDeleter::operator()(std::uint8_t* block) const {
  if (mappedSize == 0) {
    std::free(block);
    return;
  }
#if defined(_WIN32)
  ::VirtualFree(block, 0, MEM_RELEASE);
#elif defined(__unix__)
  ::munmap(block, mappedSize);
#endif
}

void ExpectWholeReads(const LargeBuffer& block) {
#if defined(__unix__) && defined(MADV_HUGEPAGE)
  if (block && block.get_deleter().mappedSize > 0) {
    ::madvise(block.get(), block.get_deleter().mappedSize, MADV_HUGEPAGE);
  }
#else
  (void)block;
#endif
}

LargeBuffer AllocateLargeBuffer(std::size_t size, PageUse use) {
  if (size >= mappingThreshold) {
#if defined(_WIN32)
    (void)use;
    // Committed pages read as zero and take memory only once written.
    void* block = ::VirtualAlloc(nullptr, size, MEM_RESERVE | MEM_COMMIT, PAGE_READWRITE);
    return LargeBuffer(static_cast<std::uint8_t*>(block), LargeBufferDeleter{size});
#elif defined(__unix__)
    return MapZeroedBlock(size, use);
#endif
  }
  (void)use;
  return LargeBuffer(static_cast<std::uint8_t*>(std::calloc(size > 0 ? size : 1, 1)));
}

}  // namespace strixa
