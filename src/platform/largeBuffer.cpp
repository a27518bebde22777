#include "platform/largeBuffer.h"

#include <cstdlib>

#if defined(__linux__)
#include <sys/mman.h>
#endif

namespace strixa {

namespace {

constexpr std::size_t hugePage = std::size_t{2} << 20;

}  // namespace

void LargeBufferDeleter::operator()(std::uint8_t* block) const { std::free(block); }

LargeBuffer AllocateLargeBuffer(std::size_t size) {
  if (size == 0) {
    return LargeBuffer(static_cast<std::uint8_t*>(std::malloc(1)));
  }
#if defined(__linux__)
  if (size >= hugePage) {
    const std::size_t rounded = (size + hugePage - 1) / hugePage * hugePage;
    void* block = std::aligned_alloc(hugePage, rounded);
    if (block != nullptr) {
      // Only a hint: without huge pages the block works the same.
      ::madvise(block, rounded, MADV_HUGEPAGE);
    }
    return LargeBuffer(static_cast<std::uint8_t*>(block));
  }
#endif
  return LargeBuffer(static_cast<std::uint8_t*>(std::malloc(size)));
}

}  // namespace strixa
