// SPDX-License-Identifier: Apache-2.0
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

namespace strixa {

// Plain reads of one file by descriptor, one twin for each system (fileAccess-posix.cpp,
// fileAccess-win32.cpp).

// A descriptor for reading path, or -1. The open never waits, so a FIFO or device put in a
// file's place fails or returns at once.
int OpenForReading(const std::string& path);

// The length of the open file when it is a regular one; false for anything else.
bool RegularFileSize(int fd, std::uint64_t& size);

// Reads up to count bytes into target: how many came, 0 at the end, below 0 on failure.
long long ReadSome(int fd, std::uint8_t* target, std::size_t count);

// Moves to an absolute position; false on failure.
bool SeekTo(int fd, std::uint64_t position);

void CloseFile(int fd);

}  // namespace strixa
