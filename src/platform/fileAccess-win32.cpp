// SPDX-License-Identifier: Apache-2.0
#include <algorithm>
#include <fcntl.h>
#include <io.h>
#include <sys/stat.h>

#include "platform/fileAccess.h"

namespace strixa {

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

}  // namespace strixa
