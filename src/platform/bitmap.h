#pragma once

#include <cstdint>
#include <span>

namespace strixa {

struct Image;

// Decodes the bytes of a whole Windows bitmap file into image. Every header field is checked
// against the data before anything is allocated; false leaves image empty.
bool DecodeBmp(std::span<const std::uint8_t> bytes, Image& image);

}  // namespace strixa
