// SPDX-License-Identifier: Apache-2.0
// The Windows platform layer against real files, and the real Strixa.exe run as a user would.
// Runs of the program wait out its own pauses, so they stay few.
#include <algorithm>
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <map>
#include <memory>
#include <sstream>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "image/image.h"
#include "platform/bitmap.h"
#include "platform/memory.h"
#include "platform/platform.h"
#include "support/bmpWriter.h"
#include "support/builders.h"
#include "support/colours.h"
#include "support/programTexts.h"

namespace strixa {

namespace {

namespace fs = std::filesystem;

// The grey (green) byte of every pixel, top row first, whichever layout the loader chose.
std::vector<int> Greys(const Image& image) {
  std::vector<int> greys;
  for (int y = 0; y < image.imageHeight; ++y) {
    for (int x = 0; x < image.imageWidth; ++x) {
      greys.push_back(image.greyBytes[y * image.rowPitch + x * image.pixelStep]);
    }
  }
  return greys;
}

std::vector<int> GreensOf(const std::vector<std::uint32_t>& colours) {
  std::vector<int> greens;
  for (std::uint32_t colour : colours) {
    greens.push_back(static_cast<int>((colour >> 8) & 0xFF));
  }
  return greens;
}
using Bytes = std::vector<std::uint8_t>;

// A private folder under the temporary directory, removed with everything in it.
class ScratchFolder {
 public:
  explicit ScratchFolder(const std::string& name)
      : path_(fs::temp_directory_path() / ("strixa-win32-" + name)) {
    fs::remove_all(path_);
    fs::create_directories(path_);
  }
  ~ScratchFolder() {
    std::error_code ignored;
    fs::remove_all(path_, ignored);
  }
  std::string Write(const std::string& name, const Bytes& bytes) const {
    std::ofstream out(path_ / name, std::ios::binary);
    out.write(reinterpret_cast<const char*>(bytes.data()),
              static_cast<std::streamsize>(bytes.size()));
    return (path_ / name).string();
  }
  std::string operator/(const std::string& name) const { return (path_ / name).string(); }

 private:
  fs::path path_;
};

Bytes ReadAll(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

TEST(PlatformWin32Test, TellsNonEmptyFilesFromEverythingElse) {
  const ScratchFolder folder("files");
  folder.Write("data.bmp", {'B', 'M', 1});
  folder.Write("empty.bmp", {});
  fs::create_directory(folder / "sub");
  fs::create_directory(folder / "sub.bmp");
  const std::unique_ptr<Platform> platform = MakeSystemPlatform(0, nullptr);

  struct FileCase {
    std::string name, path;
    bool expected;
  };
  const FileCase cases[] = {
      {"non-empty file", folder / "data.bmp", true},
      {"same file, other case", folder / "DATA.BMP", true},
      {"file of 0 bytes", folder / "empty.bmp", false},
      {"missing file", folder / "missing.bmp", false},
      {"directory", folder / "sub", false},
      {"directory named like a bitmap", folder / "sub.bmp", false},
      {"directory with a trailing separator", folder / "sub\\", false},
      {"star matching the file", folder / "d*.bmp", false},
      {"question mark matching the file", folder / "dat?.bmp", false},
      {"angle bracket matching the file", folder / "data<bmp", false},
      {"drive root", "C:\\", false},
      {"drive without a separator", "C:", false},
      {"root of the current drive", "\\", false},
      {"null device", "NUL", false},
      {"console device", "CON", false},
      {"empty path", "", false},
  };
  for (const FileCase& c : cases) {
    SCOPED_TRACE(c.name + ": " + c.path);
    EXPECT_EQ(platform->IsNonEmptyFile(c.path), c.expected);
  }
}

BmpFile Rgb24File() {
  BmpFile file;
  file.width = 3;
  file.height = 2;
  file.pixels = PackRows({{0x010203, 0x040506, 0x070809}, {0x0A0B0C, 0x0D0E0F, 0x101112}}, 24);
  return file;
}

struct LoadCase {
  std::string name;
  Bytes bytes;
  int width;  // 0 = must not load
  int height;
  std::vector<std::uint32_t> colours;
};

std::vector<LoadCase> LoadCases() {
  BmpFile pal8;
  pal8.width = 3;
  pal8.height = 2;
  pal8.bitCount = 8;
  pal8.palette = {0x112233, 0x445566, 0x778899};
  pal8.coloursUsed = 3;
  pal8.pixels = PackRows({{0, 1, 2}, {2, 1, 0}}, 8);

  // Bottom row 2 1 0 and an end-of-line code, top row 0 1 2 and both end codes.
  BmpFile rle8 = pal8;
  rle8.compression = 1;
  rle8.pixels = {1, 2, 1, 1, 1, 0, 0, 0, 1, 0, 1, 1, 1, 2, 0, 0, 0, 1};
  BmpFile rle8TopDown = rle8;
  rle8TopDown.height = -2;

  BmpFile pal1 = pal8;
  pal1.bitCount = 1;
  pal1.palette = {0x00FF00, 0xFF00FF};
  pal1.coloursUsed = 2;
  pal1.pixels = PackRows({{0, 1, 0}, {1, 1, 0}}, 1);

  BmpFile blackWhite = pal1;
  blackWhite.palette = {0xFFFFFF, 0x000000};

  BmpFile rgb32;
  rgb32.width = 2;
  rgb32.height = 1;
  rgb32.bitCount = 32;
  rgb32.pixels = {0x03, 0x02, 0x01, 0xFF, 0x06, 0x05, 0x04, 0x80};

  BmpFile alphaFields = rgb32;
  alphaFields.compression = 6;
  alphaFields.masks = {0xFF0000, 0x00FF00, 0x0000FF, 0xFF000000};

  BmpFile tooWide = pal1;
  tooWide.width = 32768;
  tooWide.height = 1;
  tooWide.pixels.assign(4096, 0);

  // Rows stored top row first; the platform loader returns these blank.
  const std::vector<std::vector<std::uint32_t>> rgbRows = {{0x010203, 0x040506, 0x070809},
                                                           {0x0A0B0C, 0x0D0E0F, 0x101112}};
  BmpFile topDown24 = Rgb24File();
  topDown24.height = -2;
  topDown24.pixels = PackRows(rgbRows, 24, true);
  BmpFile topDown32 = topDown24;
  topDown32.bitCount = 32;
  topDown32.pixels = PackRows(rgbRows, 32, true);

  const Bytes good = WriteBmp(Rgb24File());  // 54 bytes of headers, two rows of 12 bytes
  const Bytes unpaddedEnd(good.begin(), good.end() - 3);
  const Bytes oneByteShort(good.begin(), good.end() - 4);
  const Bytes cut(good.begin(), good.begin() + 70);
  Bytes offsetPastEnd = good;
  offsetPastEnd[10] = 60;
  Bytes badSignature = good;
  badSignature[1] = 'A';
  Bytes junk = {'B', 'M'};
  junk.resize(200, 0x5A);
  const Bytes icon = {0, 0, 1, 0, 1, 0, 1, 1, 0, 0, 1, 0, 32, 0, 48, 0, 0, 0, 22, 0, 0, 0};
  const Bytes png = {0x89, 'P', 'N', 'G', 0x0D, 0x0A, 0x1A, 0x0A, 0, 0, 0, 0x0D};
  const std::vector<std::uint32_t> rgbColours = {0x010203, 0x040506, 0x070809,
                                                 0x0A0B0C, 0x0D0E0F, 0x101112};
  const std::vector<std::uint32_t> pal8Colours = {0x112233, 0x445566, 0x778899,
                                                  0x778899, 0x445566, 0x112233};
  const std::vector<std::uint32_t> pal1Colours = {0x00FF00, 0xFF00FF, 0x00FF00,
                                                  0xFF00FF, 0xFF00FF, 0x00FF00};
  const std::vector<std::uint32_t> blackWhiteColours = {0xFFFFFF, 0x000000, 0xFFFFFF,
                                                        0x000000, 0x000000, 0xFFFFFF};

  return {
      {"24-bit bottom-up", good, 3, 2, rgbColours},
      {"last row without its padding", unpaddedEnd, 3, 2, rgbColours},
      {"24-bit top-down", WriteBmp(topDown24), 3, 2, rgbColours},
      {"32-bit top-down", WriteBmp(topDown32), 3, 2, rgbColours},
      {"8-bit palette", WriteBmp(pal8), 3, 2, pal8Colours},
      {"8-bit run-length", WriteBmp(rle8), 3, 2, pal8Colours},
      {"1-bit coloured palette", WriteBmp(pal1), 3, 2, pal1Colours},
      {"1-bit white and black", WriteBmp(blackWhite), 3, 2, blackWhiteColours},
      {"32-bit with the fourth byte set", WriteBmp(rgb32), 2, 1, {0x010203, 0x040506}},
      {"pixel data one byte short", oneByteShort, 0, 0, {}},
      {"pixel data cut in the first row", cut, 0, 0, {}},
      {"pixel offset past the end", offsetPastEnd, 0, 0, {}},
      {"run-length rows stored top-down", WriteBmp(rle8TopDown), 0, 0, {}},
      {"bit fields with an alpha mask", WriteBmp(alphaFields), 0, 0, {}},
      {"wider than 32767 pixels", WriteBmp(tooWide), 0, 0, {}},
      {"signature BA", badSignature, 0, 0, {}},
      {"BM and junk", junk, 0, 0, {}},
      {"icon", icon, 0, 0, {}},
      {"PNG", png, 0, 0, {}},
      {"only the signature", {'B', 'M'}, 0, 0, {}},
      {"text", {'n', 'o', 't', 'e', 's'}, 0, 0, {}},
      {"0 bytes", {}, 0, 0, {}},
  };
}

TEST(PlatformWin32Test, DecodesBitmapsThroughThePlatformLoader) {
  const ScratchFolder folder("load");
  const std::unique_ptr<Platform> platform = MakeSystemPlatform(0, nullptr);
  int index = 0;
  for (const LoadCase& c : LoadCases()) {
    SCOPED_TRACE(c.name);
    const std::string path = folder.Write("case" + std::to_string(index++) + ".bmp", c.bytes);
    Image image;
    const bool loaded = LoadImageFile(*platform, path, image);
    ASSERT_EQ(loaded, c.width != 0);
    EXPECT_EQ(image.imageWidth, c.width);
    EXPECT_EQ(image.imageHeight, c.height);
    if (loaded) {
      EXPECT_EQ(image.rowPitch, image.pixelStep * c.width);
      EXPECT_EQ(Greys(image), GreensOf(c.colours));
    } else {
      EXPECT_EQ(image.pixelBuffer, nullptr);
    }
  }
  Image image;
  EXPECT_FALSE(LoadImageFile(*platform, folder / "missing.bmp", image));
  fs::create_directory(folder / "folder.bmp");
  EXPECT_FALSE(LoadImageFile(*platform, folder / "folder.bmp", image));
}

TEST(PlatformWin32Test, SleepsAndReadsTheLocalYear) {
  const std::unique_ptr<Platform> platform = MakeSystemPlatform(0, nullptr);
  const auto start = std::chrono::steady_clock::now();
  platform->Sleep(300);
  const double waited =
      std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  EXPECT_GE(waited, 0.29);
  EXPECT_LT(waited, 2.0);

  const std::time_t now = std::time(nullptr);
  const std::tm* local = std::localtime(&now);
  ASSERT_NE(local, nullptr);
  EXPECT_EQ(platform->CurrentYear(), local->tm_year + 1900);
}

struct ManifestRow {
  std::string file, fileClass, expected, reference;
  int bits[3] = {8, 8, 8};  // significant bits of blue, green, red
};

std::vector<ManifestRow> ReadManifest(const fs::path& path) {
  std::ifstream in(path);
  std::vector<ManifestRow> rows;
  std::string line;
  std::getline(in, line);  // column names
  while (std::getline(in, line)) {
    std::vector<std::string> fields;
    std::istringstream split(line);
    for (std::string field; std::getline(split, field, '\t');) {
      fields.push_back(field);
    }
    if (fields.size() < 10) {
      continue;
    }
    ManifestRow row{fields[0], fields[1], fields[7], fields[8] == "-" ? "" : fields[8]};
    int red = 8, green = 8, blue = 8;
    if (std::sscanf(fields[9].c_str(), "%d,%d,%d", &red, &green, &blue) == 3) {
      row.bits[0] = blue;
      row.bits[1] = green;
      row.bits[2] = red;
    }
    rows.push_back(row);
  }
  return rows;
}

// Two decodings of one channel agree when the bits the file holds are equal; wider channels
// may differ by one from rounding.
bool ChannelAgrees(int a, int b, int bits) {
  if (bits >= 9) {
    return a - b <= 1 && b - a <= 1;
  }
  return bits <= 0 || a >> (8 - bits) == b >> (8 - bits);
}

// How two loaded pictures compare on the byte the later stages read (grey, or green where a
// loader keeps colour): "same", or how many pixels differ and the first of them.
std::string ComparePixels(const Image& a, const Image& b, const ManifestRow& row, bool& agree) {
  agree = a.imageWidth == b.imageWidth && a.imageHeight == b.imageHeight;
  if (!agree) {
    return "sizes differ";
  }
  const std::vector<int> p = Greys(a);
  const std::vector<int> q = Greys(b);
  int differing = 0;
  std::size_t shown = p.size();  // the first differing pixel, or the first beyond the file's bits
  for (std::size_t i = 0; i < p.size(); ++i) {
    if (p[i] == q[i]) {
      continue;
    }
    ++differing;
    const bool within = ChannelAgrees(p[i], q[i], row.bits[1]);
    if (shown == p.size() || (agree && !within)) {
      shown = i;
    }
    agree = agree && within;
  }
  if (differing == 0) {
    return "same";
  }
  const int at = static_cast<int>(shown);
  char greys[16];
  std::snprintf(greys, sizeof greys, "%02X against %02X", p[shown], q[shown]);
  return std::to_string(differing) + " of " + std::to_string(p.size()) + " differ" +
         (agree ? " within the file's bits" : "") + ", e.g. at " +
         std::to_string(at % a.imageWidth) + "," + std::to_string(at / a.imageWidth) + ": " + greys;
}

// Files a platform loader is known to read wrongly, though it reports success.
const std::map<std::string, std::string> loaderQuirks = {
    {"g/rgb16-565.bmp", "Wine's loader keeps 5 bits of each 16-bit channel"},
    {"g/rgb16-565pal.bmp", "Wine's loader keeps 5 bits of each 16-bit channel"},
    {"q/rgb16-3103.bmp", "Wine's loader keeps 5 bits of each 16-bit channel"},
    {"q/rgba16-1924.bmp", "Wine's loader keeps 5 bits of each 16-bit channel"},
    {"b/rgb16-880.bmp", "Wine's loader keeps 5 bits of each 16-bit channel"},
};

// A reference picture: "BGRA", width, height, 0, then the pixels as our buffer holds them.
bool ReadReference(const fs::path& path, Image& image) {
  const Bytes bytes = ReadAll(path);
  if (bytes.size() < 16) {
    return false;
  }
  const auto Field = [&](std::size_t at) {
    return static_cast<int>(bytes[at] | bytes[at + 1] << 8 | bytes[at + 2] << 16);
  };
  if (!AllocatePixelBuffer(Field(4), Field(8), image) ||
      bytes.size() != 16 + static_cast<std::size_t>(image.rowPitch) * image.imageHeight) {
    return false;
  }
  std::copy(bytes.begin() + 16, bytes.end(), image.pixelBuffer.get());
  return true;
}

// "ok" when the picture matches the file's reference within its bits, else how it differs;
// "-" when there is nothing to compare.
std::string CheckReference(bool loaded, const Image& image, const Image& reference,
                           const ManifestRow& row, bool& ok) {
  ok = true;
  if (!loaded || !reference.pixelBuffer) {
    return "-";
  }
  const std::string comparison = ComparePixels(image, reference, row, ok);
  return ok ? "ok" : comparison;
}

// The conformance files through the platform loader and our own reader. Every good file loads
// in both and matches its reference, every file that must fail fails in both. With
// STRIXA_CONFORMANCE_TABLE set, one row per file goes to that path.
TEST(PlatformWin32Test, PlatformLoaderAndOwnReaderAgreeOnConformanceFiles) {
  const fs::path suiteDir = fs::path(STRIXA_SOURCE_DIR) / ".." / "shared" / "bmpsuite";
  const std::vector<ManifestRow> rows = ReadManifest(suiteDir / "MANIFEST.tsv");
  if (rows.empty()) {
    GTEST_SKIP() << "conformance files not found at " << suiteDir;
  }
  const std::unique_ptr<Platform> platform = MakeSystemPlatform(0, nullptr);
  std::ostringstream table;
  table << "file\tclass\tplatform loader\town reader\tplatform against own\t"
           "platform against reference\town against reference\n";
  for (const ManifestRow& row : rows) {
    SCOPED_TRACE(row.file);
    Image byPlatform;
    Image byOwn;
    Image reference;
    const bool platformLoads = LoadImageFile(*platform, (suiteDir / row.file).string(), byPlatform);
    const bool ownLoads = DecodeBmp(ReadAll(suiteDir / row.file), byOwn) == BmpRefusal::None;
    if (!row.reference.empty()) {
      EXPECT_TRUE(ReadReference(suiteDir / row.reference, reference));
    }
    bool agree = false;
    const std::string pixels =
        platformLoads && ownLoads ? ComparePixels(byPlatform, byOwn, row, agree) : "-";
    bool platformRight = true;
    bool ownRight = true;
    table << row.file << '\t' << row.fileClass << '\t' << (platformLoads ? "loads" : "fails")
          << '\t' << (ownLoads ? "loads" : "fails") << '\t' << pixels << '\t'
          << CheckReference(platformLoads, byPlatform, reference, row, platformRight) << '\t'
          << CheckReference(ownLoads, byOwn, reference, row, ownRight) << '\n';

    // A file that loads must load right, whatever its class.
    EXPECT_TRUE(platformRight || loaderQuirks.contains(row.file));
    EXPECT_TRUE(ownRight);
    if (row.fileClass == "good") {
      EXPECT_TRUE(platformLoads);
      EXPECT_TRUE(ownLoads);
      EXPECT_TRUE(agree || loaderQuirks.contains(row.file)) << pixels;
    }
    if (row.expected.starts_with("must fail")) {
      EXPECT_FALSE(platformLoads);
      EXPECT_FALSE(ownLoads);
      EXPECT_EQ(byPlatform.pixelBuffer, nullptr);
    }
  }
  EXPECT_GT(rows.size(), 80u);
  if (const char* tablePath = std::getenv("STRIXA_CONFORMANCE_TABLE")) {
    std::ofstream(tablePath, std::ios::binary) << table.str();
  }
}

struct ProgramRun {
  std::string output;
  int exitCode = -1;
  double seconds = 0;
};

// Runs the program through the command interpreter with the given command line, as a user
// would type it; its standard output is a pipe.
ProgramRun RunCommand(const std::string& commandLine) {
  const auto start = std::chrono::steady_clock::now();
  ProgramRun run;
  // The interpreter drops the outer pair of quotes and keeps the line inside as typed.
  FILE* pipe = _popen(("\"" + commandLine + "\"").c_str(), "rb");
  EXPECT_NE(pipe, nullptr);
  if (pipe == nullptr) {
    return run;
  }
  char buffer[4096];
  for (std::size_t got; (got = std::fread(buffer, 1, sizeof buffer, pipe)) > 0;) {
    run.output.append(buffer, got);
  }
  run.exitCode = _pclose(pipe);
  run.seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  return run;
}

std::string Quoted(const std::string& text) { return "\"" + text + "\""; }

std::string ProgramPath() { return fs::absolute(STRIXA_BINARY).make_preferred().string(); }

TEST(PlatformWin32Test, ProgramWritesTheBannerBytesToARedirectedFile) {
  const ScratchFolder folder("banner");
  const ProgramRun run =
      RunCommand(Quoted(ProgramPath()) + " /F  /P > " + Quoted(folder / "out.txt"));
  EXPECT_EQ(run.exitCode, 0);
  EXPECT_GE(run.seconds, 2.5);
  EXPECT_EQ(run.output, "");
  const std::time_t now = std::time(nullptr);
  const int year = std::localtime(&now)->tm_year + 1900;
  const Bytes written = ReadAll(folder / "out.txt");
  EXPECT_EQ(std::string(written.begin(), written.end()), BannerBytes(year));
}

// A quoted program path with spaces, a quoted switch and a quoted file name with spaces: the
// parameters come from the raw command line, so the file is named whole in the message.
TEST(PlatformWin32Test, ProgramSplitsItsRawCommandLine) {
  const ScratchFolder folder("command line");
  fs::create_directory(folder / "program dir");
  fs::copy_file(ProgramPath(), folder / "program dir\\Strixa.exe");
  const std::string notes = folder.Write("my  notes.txt", {'n', 'o', 't', 'e', 's'});
  const ProgramRun run = RunCommand(Quoted(folder / "program dir\\Strixa.exe") + " \" /P \" " +
                                    Quoted(" " + notes + " "));
  EXPECT_EQ(run.exitCode, 0);
  EXPECT_GE(run.seconds, 2.0);
  EXPECT_EQ(run.output, CannotOpenBytes(notes));
}

// Nobody reads the output: every write fails, and the run still ends normally.
TEST(PlatformWin32Test, ClosedOutputStillEndsWithExitCodeZero) {
  FILE* pipe = _popen(Quoted(Quoted(ProgramPath()) + " /F").c_str(), "rb");
  ASSERT_NE(pipe, nullptr);
  EXPECT_EQ(_pclose(pipe), 0);
}

}  // namespace

}  // namespace strixa
