#pragma once

#include <iosfwd>
#include <string>
#include <vector>

namespace strixa {

// One input to read; error is set when it is already known to be unreadable.
struct InputItem {
  std::string path;
  std::string error;
};

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
  std::vector<std::vector<std::string>> directories;  // unread entries, last one first
};

// The next input; false when there are none left.
bool NextInput(InputWalker& walker, InputItem& item);

}  // namespace strixa
