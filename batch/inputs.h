// SPDX-License-Identifier: Apache-2.0
#pragma once

#include <iosfwd>
#include <string>
#include <vector>

namespace strixa {

// One input to read; error is set when it is already known to be unreadable. named is set for
// a path given on the command line itself: only those may be pipes (/dev/stdin, <(...)), since
// whoever typed them is writing to them; a pipe in a list or a tree may never see a writer.
struct InputItem {
  std::string path;
  std::string error;
  bool named = false;
};

// A longer line of a "-" list is refused unread, in constant memory: no path is longer (the
// usual PATH_MAX), and a list of zero bytes with no line end must not fill memory.
inline constexpr std::size_t maxListLine = 4096;

// Walks the inputs in the order given: files as they are, directories (under -r) in name order
// depth first, and "-" as the list on standard input. Paths are produced one at a time, so a
// long list or a deep tree is never held whole.
struct InputWalker {
  std::vector<std::string> inputs;
  bool recursive = false;
  bool nulSeparated = false;
  std::istream* list = nullptr;  // standard input, for "-"
  std::size_t nextInput = 0;
  bool readingList = false;
  std::size_t listLine = 0;                           // lines of the list read so far
  std::vector<std::vector<std::string>> directories;  // unread entries, last one first
};

// The next input; false when there are none left.
bool NextInput(InputWalker& walker, InputItem& item);

}  // namespace strixa
