// SPDX-License-Identifier: Apache-2.0
#include "inputs.h"

#include <filesystem>
#include <fstream>
#include <string>
#include <unistd.h>
#include <vector>

#include <gtest/gtest.h>

namespace strixa {

namespace {

namespace fs = std::filesystem;

// Every item the walk gives, as "path" or "path: error".
std::vector<std::string> Walk(const std::vector<std::string>& inputs) {
  InputWalker walker;
  walker.inputs = inputs;
  walker.recursive = true;
  std::vector<std::string> items;
  InputItem item;
  while (NextInput(walker, item) && items.size() < 100) {
    items.push_back(item.error.empty() ? item.path : item.path + ": " + item.error);
  }
  return items;
}

#if !defined(_WIN32)
// Links back up the tree would make the walk go round for ever: it reads each file once.
TEST(InputsTest, RecursionFollowsNoLinkToADirectory) {
  const fs::path root = fs::temp_directory_path() / ("strixa-inputs-" + std::to_string(::getpid()));
  fs::remove_all(root);
  fs::create_directories(root / "sub");
  std::ofstream(root / "a.bmp") << "a";
  std::ofstream(root / "sub" / "b.bmp") << "b";
  fs::create_directory_symlink("..", root / "sub" / "parent");
  fs::create_directory_symlink(".", root / "self");
  fs::create_symlink("sub/b.bmp", root / "link.bmp");

  const std::string top = root.string();
  EXPECT_EQ(Walk({top}),
            (std::vector<std::string>{top + "/a.bmp", top + "/link.bmp", top + "/sub/b.bmp"}));
  fs::remove_all(root);
}
#endif

}  // namespace

}  // namespace strixa
