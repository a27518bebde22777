// SPDX-License-Identifier: Apache-2.0
#include "platform/byteSource.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <utility>

#if defined(_WIN32)
#include <io.h>
#else
#include <unistd.h>
#endif

namespace strixa {

namespace {

#if defined(_WIN32)
int OpenForReading(const std::string& path) {
  return ::_open(path.c_str(), _O_RDONLY | _O_BINARY | _O_NOINHERIT);
}

bool RegularFileSize(int fd, std::uint64_t& size) {
  struct _stati64 info {};
  if (::_fstati64(fd, &info) != 0 || (info.st_mode & _S_IFMT) != _S_IFREG || info.st_size < 0) {
    return false;
  }
  size = static_cast<std::uint64_t>(info.st_size);
  return true;
}

long long ReadSome(int fd, std::uint8_t* target, std::size_t count) {
  return ::_read(fd, target, static_cast<unsigned>(std::min<std::size_t>(count, 1u << 30)));
}

bool SeekTo(int fd, std::uint64_t position) {
  return ::_lseeki64(fd, static_cast<long long>(position), SEEK_SET) >= 0;
}

void CloseFile(int fd) { ::_close(fd); }
#else
// Without O_NONBLOCK, opening a FIFO waits for a writer that may never come.
int OpenForReading(const std::string& path) {
  return ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK | O_NOCTTY);
}

bool RegularFileSize(int fd, std::uint64_t& size) {
  struct stat info {};
  if (::fstat(fd, &info) != 0 || !S_ISREG(info.st_mode) || info.st_size < 0) {
    return false;
  }
  size = static_cast<std::uint64_t>(info.st_size);
  return true;
}

long long ReadSome(int fd, std::uint8_t* target, std::size_t count) {
  for (;;) {
    const ssize_t got = ::read(fd, target, count);
    if (got >= 0 || errno != EINTR) {
      return got;
    }
  }
}

bool SeekTo(int fd, std::uint64_t position) {
  return ::lseek(fd, static_cast<off_t>(position), SEEK_SET) >= 0;
}

void CloseFile(int fd) { ::close(fd); }
#endif

}  // namespace

ByteSource::ByteSource(std::span<const std::uint8_t> bytes)
    : size_(bytes.size()), piece_(bytes.data()), pieceLength_(bytes.size()) {}

ByteSource::ByteSource(std::uint64_t size, Reader read)
    : size_(size), read_(std::move(read)), buffer_(AllocateLargeBuffer(maxPiece)) {
  piece_ = buffer_.get();
  failed_ = buffer_ == nullptr;
}

ByteSource::ByteSource(int fd, std::uint64_t size)
    : ByteSource(size, [fd](std::uint8_t* target, std::size_t count) {
        return ReadSome(fd, target, count);
      }) {
  fd_ = fd;
}

ByteSource::~ByteSource() {
  if (fd_ >= 0) {
    CloseFile(fd_);
  }
}

bool ByteSource::OpenFile(const std::string& path, std::unique_ptr<ByteSource>& source) {
  source.reset();
  const int fd = path.empty() ? -1 : OpenForReading(path);
  if (fd < 0) {
    return false;
  }
  std::uint64_t size = 0;
  if (!RegularFileSize(fd, size)) {
    CloseFile(fd);
    return false;
  }
  source.reset(new ByteSource(fd, size));
  return !source->failed_;
}

void ByteSource::Fill(std::size_t count) {
  if (pieceLength_ >= count || !read_ || failed_) {
    return;
  }
  std::memmove(buffer_.get(), piece_, pieceLength_);
  piece_ = buffer_.get();
  // Never past the length known at the open: a file that grows meanwhile is read as it was.
  const std::uint64_t left = size_ - position_;
  while (pieceLength_ < count && pieceLength_ < left) {
    const std::size_t room = static_cast<std::size_t>(
        std::min<std::uint64_t>(maxPiece - pieceLength_, left - pieceLength_));
    const long long got = read_(buffer_.get() + pieceLength_, room);
    if (got <= 0) {
      failed_ = got < 0;
      return;
    }
    pieceLength_ += static_cast<std::size_t>(got);
  }
}

std::span<const std::uint8_t> ByteSource::Peek(std::size_t count) {
  Fill(count);
  return {piece_, std::min(count, pieceLength_)};
}

const std::uint8_t* ByteSource::Take(std::size_t count) {
  Fill(count);
  if (pieceLength_ < count) {
    return nullptr;
  }
  const std::uint8_t* taken = piece_;
  piece_ += count;
  pieceLength_ -= count;
  position_ += count;
  return taken;
}

bool ByteSource::SkipTo(std::uint64_t position) {
  if (position < position_ || position > size_) {
    return false;
  }
  const std::uint64_t distance = position - position_;
  if (distance <= pieceLength_) {
    piece_ += distance;
    pieceLength_ -= static_cast<std::size_t>(distance);
    position_ = position;
    return true;
  }
  if (fd_ < 0) {
    // A source without a file to seek in reads its way there.
    while (position_ < position) {
      const auto step =
          static_cast<std::size_t>(std::min<std::uint64_t>(position - position_, maxPiece));
      if (Take(step) == nullptr) {
        return false;
      }
    }
    return true;
  }
  if (!SeekTo(fd_, position)) {
    failed_ = true;
    return false;
  }
  piece_ = buffer_.get();
  pieceLength_ = 0;
  position_ = position;
  return true;
}

}  // namespace strixa
