// SPDX-License-Identifier: Apache-2.0
#include <cstdlib>
#include <sys/mman.h>

#include "platform/memory.h"

namespace strixa {

namespace {

constexpr std::size_t hugePage = std::size_t{2} << 20;

// Below this a heap block is cheap and calloc's clearing costs nothing worth saving.
constexpr std::size_t mappingThreshold = std::size_t{256} << 10;

void ReleaseHeapBlock(std::uint8_t* block, std::size_t) { std::free(block); }

void ReleaseMapping(std::uint8_t* block, std::size_t size) { ::munmap(block, size); }

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
  return LargeBuffer(block, LargeBufferDeleter{ReleaseMapping, rounded});
}

}  // namespace

void ExpectWholeReads(const LargeBuffer& block) {
#if defined(MADV_HUGEPAGE)
  if (block && block.get_deleter().release == ReleaseMapping) {
    ::madvise(block.get(), block.get_deleter().size, MADV_HUGEPAGE);
  }
#else
  (void)block;
#endif
}

LargeBuffer AllocateLargeBuffer(std::size_t size, PageUse use) {
  if (size >= mappingThreshold) {
    return MapZeroedBlock(size, use);
  }
  return LargeBuffer(static_cast<std::uint8_t*>(std::calloc(size > 0 ? size : 1, 1)),
                     LargeBufferDeleter{ReleaseHeapBlock, 0});
}

}  // namespace strixa
