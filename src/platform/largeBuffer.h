#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>

namespace strixa {

// Releases a block from AllocateLargeBuffer.
struct LargeBufferDeleter {
  void operator()(std::uint8_t* block) const;
};

using LargeBuffer = std::unique_ptr<std::uint8_t[], LargeBufferDeleter>;

// An uninitialised block of size bytes, or null when memory is short. Picture-sized blocks are
// written once right after allocation, so on Linux they are asked for in huge pages: a fresh
// 35 MB buffer otherwise costs thousands of page faults, more than the whole conversion.
LargeBuffer AllocateLargeBuffer(std::size_t size);

}  // namespace strixa
