// SPDX-License-Identifier: Apache-2.0
#include "inputs.h"

#include <algorithm>
#include <array>
#include <cerrno>
#include <filesystem>
#include <istream>
#include <limits>
#include <system_error>

namespace strixa {

namespace {

namespace fs = std::filesystem;

// Entries of a directory in reverse name order, so the first is taken from the back.
bool ListDirectory(const std::string& path, std::vector<std::string>& entries, std::string& error) {
  std::error_code problem;
  fs::directory_iterator it(fs::path(path), problem);
  for (; !problem && it != fs::directory_iterator(); it.increment(problem)) {
    // Joined with '/', which Windows takes too, so names keep the form they were given in.
#ifdef _WIN32
    const bool hasSeparator = path.ends_with('/') || path.ends_with('\\') || path.ends_with(':');
#else
    const bool hasSeparator = path.ends_with('/');
#endif
    entries.push_back(path + (hasSeparator ? "" : "/") + it->path().filename().string());
  }
  if (problem) {
    error = "cannot list directory: " + problem.message();
    return false;
  }
  std::sort(entries.begin(), entries.end(), std::greater<>());
  return true;
}

// An input named by the user or a list: directories open under -r; anything else is read and
// fails there if it must.
bool TakeNamed(InputWalker& walker, const std::string& path, InputItem& item) {
  std::error_code problem;
  if (!fs::is_directory(fs::path(path), problem)) {
    item = {path, {}};
    return true;
  }
  if (!walker.recursive) {
    item = {path, "is a directory (-r reads its files)"};
    return true;
  }
  std::vector<std::string> entries;
  if (!ListDirectory(path, entries, item.error)) {
    item.path = path;
    return true;
  }
  walker.directories.push_back(std::move(entries));
  return false;
}

// An entry met while walking: links to directories are not followed, so no tree loops;
// sockets, pipes and devices are skipped.
bool TakeWalked(InputWalker& walker, const std::string& path, InputItem& item) {
  std::error_code problem;
  const fs::file_status own = fs::symlink_status(fs::path(path), problem);
  if (problem) {
    item = {path, "cannot examine: " + problem.message()};
    return true;
  }
  if (fs::is_directory(own)) {
    return TakeNamed(walker, path, item);
  }
  if (fs::is_symlink(own)) {
    const fs::file_status target = fs::status(fs::path(path), problem);
    if (problem || !fs::exists(target)) {
      item = {path, "broken link"};
      return true;
    }
    if (!fs::is_regular_file(target)) {
      return false;
    }
  } else if (!fs::is_regular_file(own)) {
    return false;
  }
  item = {path, {}};
  return true;
}

enum class ListLine { Path, End, TooLong, Unreadable };

// The next path of the list, read through a buffer of the longest accepted line: a longer line is
// skipped to its end without being stored. For Unreadable, path holds the reason.
ListLine ReadListLine(InputWalker& walker, std::string& path) {
  std::istream& list = *walker.list;
  const char separator = walker.nulSeparated ? '\0' : '\n';
  std::array<char, maxListLine + 1> line{};
  errno = 0;
  list.getline(line.data(), static_cast<std::streamsize>(line.size()), separator);
  const std::streamsize stored = list.gcount();
  if (list.bad()) {
    const int code = errno;
    path = code != 0 ? std::generic_category().message(code) : "read error";
    return ListLine::Unreadable;
  }
  if (list.fail() && !list.eof()) {
    // The buffer filled before a line end: drop the rest of the line.
    ++walker.listLine;
    list.clear();
    list.ignore(std::numeric_limits<std::streamsize>::max(), separator);
    return list.bad() ? ListLine::Unreadable : ListLine::TooLong;
  }
  if (stored == 0 && list.fail()) {
    return ListLine::End;
  }
  ++walker.listLine;
  path.assign(line.data(), static_cast<std::size_t>(list.eof() ? stored : stored - 1));
  if (list.eof()) {
    list.clear(std::ios::eofbit);  // the last line had no line end; the next call ends
  }
  return ListLine::Path;
}

}  // namespace

bool NextInput(InputWalker& walker, InputItem& item) {
  while (true) {
    if (!walker.directories.empty()) {
      std::vector<std::string>& entries = walker.directories.back();
      if (entries.empty()) {
        walker.directories.pop_back();
        continue;
      }
      const std::string path = std::move(entries.back());
      entries.pop_back();
      if (TakeWalked(walker, path, item)) {
        return true;
      }
      continue;
    }
    if (walker.readingList) {
      std::string path;
      switch (walker.list != nullptr ? ReadListLine(walker, path) : ListLine::End) {
        case ListLine::Path:
          if (path.find('\0') != std::string::npos) {
            // Opened, the name would end at the NUL: another file than the one listed.
            item = {path, "a path cannot hold a NUL byte (-0 separates the list by them)"};
            return true;
          }
          if (!path.empty() && TakeNamed(walker, path, item)) {
            return true;
          }
          continue;
        case ListLine::End:
          walker.readingList = false;
          continue;
        case ListLine::TooLong:
          item = {"-", "line " + std::to_string(walker.listLine) + " of the list is longer than " +
                           std::to_string(maxListLine) + " bytes, the path limit"};
          return true;
        case ListLine::Unreadable:
          walker.readingList = false;
          item = {"-", "cannot read the list: " + path};
          return true;
      }
    }
    if (walker.nextInput >= walker.inputs.size()) {
      return false;
    }
    const std::string& input = walker.inputs[walker.nextInput++];
    if (input == "-") {
      walker.readingList = true;
      continue;
    }
    if (TakeNamed(walker, input, item)) {
      item.named = true;
      return true;
    }
  }
}

}  // namespace strixa
