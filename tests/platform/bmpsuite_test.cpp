// SPDX-License-Identifier: Apache-2.0
#include <cstdint>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <map>
#include <sstream>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "image/image.h"
#include "platform/bitmap.h"

namespace strixa {

namespace {

const std::filesystem::path suiteDir = STRIXA_SOURCE_DIR "/../shared/bmpsuite";

struct ManifestRow {
  std::string file, expected, reference;
  std::vector<int> bits;  // significant bits of red, green, blue; empty without a reference
};

std::vector<std::uint8_t> ReadFile(const std::filesystem::path& path) {
  std::ifstream in(path, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

std::vector<std::string> SplitTabs(const std::string& line) {
  std::vector<std::string> fields;
  std::istringstream in(line);
  std::string field;
  while (std::getline(in, field, '\t')) {
    fields.push_back(field);
  }
  return fields;
}

std::vector<ManifestRow> ReadManifest() {
  std::ifstream in(suiteDir / "MANIFEST.tsv");
  std::vector<ManifestRow> rows;
  std::string line;
  std::getline(in, line);  // column names
  while (std::getline(in, line)) {
    const std::vector<std::string> fields = SplitTabs(line);
    if (fields.size() < 10) {
      continue;
    }
    ManifestRow row{fields[0], fields[7], fields[8], {}};
    if (fields[9] != "-") {
      std::istringstream bits(fields[9]);
      std::string n;
      while (std::getline(bits, n, ',')) {
        row.bits.push_back(std::stoi(n));
      }
    }
    rows.push_back(row);
  }
  return rows;
}

// True when one channel agrees with the reference as far as the file's bits can tell.
bool ChannelMatches(int got, int want, int bits) {
  if (bits == 0) {
    return true;
  }
  if (bits >= 9) {
    return got - want <= 1 && want - got <= 1;
  }
  return got >> (8 - bits) == want >> (8 - bits);
}

// Compares image with a reference file and reports the first differing pixel.
void ExpectMatchesReference(const Image& image, const ManifestRow& row) {
  const std::vector<std::uint8_t> reference = ReadFile(suiteDir / row.reference);
  ASSERT_GE(reference.size(), 16u);
  ASSERT_EQ(std::memcmp(reference.data(), "BGRA", 4), 0);
  const auto ReadLe = [&](std::size_t at) {
    return static_cast<int>(reference[at] | reference[at + 1] << 8 | reference[at + 2] << 16 |
                            reference[at + 3] << 24);
  };
  const int width = ReadLe(4);
  const int height = ReadLe(8);
  ASSERT_EQ(image.imageWidth, width);
  ASSERT_EQ(image.imageHeight, height);
  ASSERT_EQ(reference.size(), 16 + static_cast<std::size_t>(width) * height * 4);
  ASSERT_EQ(row.bits.size(), 3u);
  const int channelBits[3] = {row.bits[2], row.bits[1], row.bits[0]};  // blue, green, red
  // The reader keeps only the green byte, the one the later stages read.
  for (int i = 0; i < width * height; ++i) {
    for (int c = 1; c < 2; ++c) {
      const int got = image.greyBytes[static_cast<std::size_t>(i)];
      const int want = reference[16 + static_cast<std::size_t>(i) * 4 + c];
      if (!ChannelMatches(got, want, channelBits[c])) {
        FAIL() << "pixel " << i % width << "," << i / width << " channel " << c << ": got " << got
               << ", want " << want;
      }
    }
  }
}

// How this reader settles every file the suite lets go either way; a change shows up here.
const std::map<std::string, bool> settledOutcomes = {
    {"q/pal1huffmsb.bmp", false},   {"q/pal2.bmp", false},           {"q/pal2color.bmp", false},
    {"q/pal8os2-hs.bmp", true},     {"q/pal8os2-sz.bmp", true},      {"q/pal8os2sp.bmp", true},
    {"q/pal8os2v2-16.bmp", false},  {"q/pal8os2v2-40sz.bmp", true},  {"q/pal8os2v2-sz.bmp", false},
    {"q/pal8os2v2.bmp", false},     {"q/pal8oversizepal.bmp", true}, {"q/rgb24jpeg.bmp", false},
    {"q/rgb24largepal.bmp", true},  {"q/rgb24png.bmp", false},       {"q/rgb24rle24.bmp", false},
    {"q/rgba32abf.bmp", false},     {"q/rgba64.bmp", false},         {"b/badbitssize.bmp", true},
    {"b/baddens1.bmp", true},       {"b/baddens2.bmp", true},        {"b/badfilesize.bmp", true},
    {"b/badheadersize.bmp", false}, {"b/badpalettesize.bmp", false}, {"b/badplanes.bmp", true},
    {"b/badrle.bmp", false},        {"b/badrle4.bmp", false},        {"b/badrle4bis.bmp", false},
    {"b/badrle4ter.bmp", false},    {"b/badrlebis.bmp", false},      {"b/badrleter.bmp", false},
    {"b/pal8badindex.bmp", true},   {"b/rgb16-880.bmp", true},
};

TEST(BmpsuiteTest, EveryFileMeetsItsExpectation) {
  if (!std::filesystem::exists(suiteDir / "MANIFEST.tsv")) {
    GTEST_SKIP() << "conformance files not found at " << suiteDir;
  }
  const std::vector<ManifestRow> rows = ReadManifest();
  ASSERT_EQ(rows.size(), 89u);
  int settledSeen = 0;
  for (const ManifestRow& row : rows) {
    SCOPED_TRACE(row.file);
    const std::vector<std::uint8_t> bytes = ReadFile(suiteDir / row.file);
    ASSERT_FALSE(bytes.empty());
    Image image;
    const bool loaded = DecodeBmp(bytes, image) == BmpRefusal::None;
    if (row.expected == "load, pixels must equal REF") {
      ASSERT_TRUE(loaded);
      ExpectMatchesReference(image, row);
    } else if (row.expected == "must fail cleanly, no crash") {
      EXPECT_FALSE(loaded);
    } else {
      ASSERT_EQ(row.expected, "load or fail cleanly");
      const auto settled = settledOutcomes.find(row.file);
      ASSERT_NE(settled, settledOutcomes.end()) << "no settled outcome for this file";
      ++settledSeen;
      EXPECT_EQ(loaded, settled->second);
      if (loaded && row.reference != "-") {
        ExpectMatchesReference(image, row);
      }
    }
    if (!loaded) {
      EXPECT_EQ(image.pixelBuffer, nullptr);
      EXPECT_EQ(image.imageWidth, 0);
      EXPECT_EQ(image.imageHeight, 0);
      EXPECT_EQ(image.rowPitch, 0);
    }
  }
  EXPECT_EQ(settledSeen, static_cast<int>(settledOutcomes.size()));
}

}  // namespace

}  // namespace strixa
