// SPDX-License-Identifier: Apache-2.0
#include "formats/tiff.h"

#include <cstdint>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <unistd.h>
#include <vector>

#include <gtest/gtest.h>

#include "formats/format.h"
#include "support/batch/formatWriters.h"

namespace strixa {

namespace {

// A grey TIFF of pageCount pages, 5 x 3 pixels each.
std::vector<std::uint8_t> TiffOfPages(int pageCount) {
  const GreyPicture page{5, 3, std::vector<std::uint8_t>(15, 128)};
  const std::string path = (std::filesystem::temp_directory_path() /
                            ("strixa-tiff-" + std::to_string(::getpid()) + ".tif"))
                               .string();
  std::vector<std::uint8_t> bytes;
  if (WriteTiff(path, std::vector<GreyPicture>(static_cast<std::size_t>(pageCount), page), false)) {
    std::ifstream file(path, std::ios::binary);
    bytes.assign(std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>());
  }
  std::filesystem::remove(path);
  return bytes;
}

// Pages read before an error are kept; the error names the page, and its text is what the batch
// prints, so each kind is written out whole.
TEST(TiffTest, StopsAtItsLimitsWithTheirOwnTexts) {
  if (!IsFormatBuilt(Format::Tiff)) {
    GTEST_SKIP() << "TIFF not built in";
  }
  const std::vector<std::uint8_t> threePages = TiffOfPages(3);
  ASSERT_FALSE(threePages.empty());
  const struct {
    std::string_view name;
    int maxPages;
    int maxSide;
    std::int64_t maxFilePixels;
    int pagesRead;
    std::string_view error;
  } cases[] = {
      {"as many pages as allowed", 3, 5, 45, 3, ""},
      {"one page too many", 2, 5, 45, 2, "TIFF: more than 2 pages"},
      {"a page wider than allowed", 3, 4, 45, 0, "picture too large (5 x 3) (page 1)"},
      {"over the file's budget", 3, 5, 30, 2,
       "TIFF: over the file's budget of 0 megapixels (page 3)"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    DecodeLimits limits;
    limits.maxPages = c.maxPages;
    limits.maxSide = c.maxSide;
    limits.maxFilePixels = c.maxFilePixels;
    int pages = 0;
    std::string error;
    const bool read = DecodePages(
        Format::Tiff, threePages, limits, [&](const PageView&) { ++pages; }, error);
    EXPECT_EQ(read, c.error.empty());
    EXPECT_EQ(pages, c.pagesRead);
    EXPECT_EQ(error, c.error);
  }
}

}  // namespace

}  // namespace strixa
