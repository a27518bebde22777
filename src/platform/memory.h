// SPDX-License-Identifier: Apache-2.0
#pragma once

#include <cstddef>

#include "image/largeBuffer.h"

namespace strixa {

struct Image;

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

// Allocates a zero-filled buffer for width x height pixels and sets the companions; use tells
// how the caller will write it (see AllocateLargeBuffer). False (image left empty) when a side
// is outside 1..maxImageSide or memory is short.
bool AllocatePixelBuffer(int width, int height, Image& image, PageUse use = PageUse::Whole);

// The same with one grey byte a pixel: a quarter of the memory, for readers that keep only the
// byte the later stages read.
bool AllocateGreyBuffer(int width, int height, Image& image, PageUse use = PageUse::Whole);

}  // namespace strixa
