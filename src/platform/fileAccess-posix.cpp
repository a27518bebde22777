// SPDX-License-Identifier: Apache-2.0
#include <cerrno>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include "platform/fileAccess.h"

namespace strixa {

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

}  // namespace strixa
