#include "inputs.h"

#include <algorithm>
#include <filesystem>
#include <istream>
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
      if (walker.list != nullptr &&
          std::getline(*walker.list, path, walker.nulSeparated ? '\0' : '\n')) {
        if (!path.empty() && TakeNamed(walker, path, item)) {
          return true;
        }
        continue;
      }
      walker.readingList = false;
      continue;
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
      return true;
    }
  }
}

}  // namespace strixa
