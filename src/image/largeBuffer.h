// SPDX-License-Identifier: Apache-2.0
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>

namespace strixa {

// Gives a block back the way it was taken: the allocator that made it (platform/memory.h) names
// the function and the length it needs, so the pixels need nothing from the operating system.
struct LargeBufferDeleter {
  void (*release)(std::uint8_t* block, std::size_t size) = nullptr;
  std::size_t size = 0;
  void operator()(std::uint8_t* block) const {
    if (release != nullptr) {
      release(block, size);
    }
  }
};

using LargeBuffer = std::unique_ptr<std::uint8_t[], LargeBufferDeleter>;

}  // namespace strixa
