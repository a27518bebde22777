// SPDX-License-Identifier: Apache-2.0
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <span>
#include <string>

#include "image/largeBuffer.h"

namespace strixa {

// The bytes of one file, read front to back: either all in memory already, or pulled from an
// open regular file in large pieces so that no copy of the whole file is ever made. The pointers
// it hands out stay valid until the next call.
class ByteSource {
 public:
  // A source over bytes the caller keeps alive.
  explicit ByteSource(std::span<const std::uint8_t> bytes);
  // Reads up to count bytes into target: how many came, 0 at the end of the data, negative when
  // reading failed.
  using Reader = std::function<long long(std::uint8_t* target, std::size_t count)>;
  // A source of size bytes pulled in large pieces through read, as a file is; tests hand in a
  // reader that fails.
  ByteSource(std::uint64_t size, Reader read);
  ByteSource(const ByteSource&) = delete;
  ByteSource& operator=(const ByteSource&) = delete;
  ~ByteSource();

  // Opens path for reading. Only a regular file is taken, and the open itself never waits, so a
  // FIFO or device put in the file's place fails at once. False when it cannot be opened.
  static bool OpenFile(const std::string& path, std::unique_ptr<ByteSource>& source);

  // The whole length of the data, as known when it was opened.
  std::uint64_t Size() const { return size_; }
  std::uint64_t Position() const { return position_; }

  // Up to count bytes from the current position without moving it; fewer only at the end of the
  // data. count must not exceed maxPiece.
  std::span<const std::uint8_t> Peek(std::size_t count);
  // The next count bytes, or null (position unchanged) when the data ends first.
  const std::uint8_t* Take(std::size_t count);
  // Moves to an absolute position at or after the current one; false past the end.
  bool SkipTo(std::uint64_t position);
  // True when reading failed rather than the data ending.
  bool Failed() const { return failed_; }

  // The largest piece Peek and Take can hand out at once.
  static constexpr std::size_t maxPiece = std::size_t{1} << 20;

 private:
  ByteSource(int fd, std::uint64_t size);
  // Makes at least count bytes (fewer at the end of the file) available from the current
  // position.
  void Fill(std::size_t count);

  int fd_ = -1;  // -1 for bytes in memory
  std::uint64_t size_ = 0;
  std::uint64_t position_ = 0;  // of the next byte handed out, from the start of the data
  bool failed_ = false;
  // In memory: the bytes themselves. From a file: the buffered piece that starts at position_.
  const std::uint8_t* piece_ = nullptr;
  std::size_t pieceLength_ = 0;
  Reader read_;  // empty for bytes in memory
  LargeBuffer buffer_;
};

}  // namespace strixa
