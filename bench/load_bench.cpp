// SPDX-License-Identifier: Apache-2.0
#include <algorithm>
#include <cstdint>
#include <cstring>
#include <fcntl.h>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <memory>
#include <string>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

#include <benchmark/benchmark.h>

#include "image/image.h"
#include "platform/bitmap.h"
#include "platform/memory.h"
#include "platform/platform.h"

using namespace strixa;

namespace {

constexpr int pictureWidth = 2500;
constexpr int pictureHeight = 3500;

void PutLe(std::vector<char>& out, std::size_t at, std::uint32_t value) {
  for (int i = 0; i < 4; ++i) {
    out[at + i] = static_cast<char>(value >> (8 * i));
  }
}

// A temporary file removed when the process ends.
struct TempFile {
  std::string path;
  ~TempFile() { std::filesystem::remove(path); }
};

// A 24-bit bottom-up picture of upright bars, written once per process.
const std::string& PicturePath() {
  static const TempFile picture{[] {
    const std::size_t stride = (pictureWidth * 3 + 3) / 4 * 4;
    std::vector<char> file(54 + stride * pictureHeight, 0);
    file[0] = 'B';
    file[1] = 'M';
    PutLe(file, 2, static_cast<std::uint32_t>(file.size()));
    PutLe(file, 10, 54);
    PutLe(file, 14, 40);
    PutLe(file, 18, pictureWidth);
    PutLe(file, 22, pictureHeight);
    PutLe(file, 26, 1 | 24 << 16);
    for (int y = 0; y < pictureHeight; ++y) {
      for (int x = 0; x < pictureWidth; ++x) {
        const char grey = (x / 7 + y / 500) % 3 == 0 ? 0 : static_cast<char>(0xF0);
        char* p = &file[54 + stride * y + 3 * x];
        p[0] = grey;
        p[1] = grey;
        p[2] = static_cast<char>(x);
      }
    }
    const std::string name = (std::filesystem::temp_directory_path() /
                              ("strixa-load-bench-" + std::to_string(::getpid()) + ".bmp"))
                                 .string();
    std::ofstream(name, std::ios::binary)
        .write(file.data(), static_cast<std::streamsize>(file.size()));
    return name;
  }()};
  return picture.path;
}

// The floor: stream the file in 1 MB reads into a fresh 32-bit buffer with one conversion loop
// and nothing checked; a load should cost little more.
void StreamIntoFreshBuffer(benchmark::State& state) {
  const std::string& path = PicturePath();
  const std::size_t stride = (pictureWidth * 3 + 3) / 4 * 4;
  std::vector<std::uint8_t> piece(std::size_t{1} << 20);
  for (auto _ : state) {
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    const LargeBuffer pixels =
        AllocateLargeBuffer(std::size_t{pictureWidth} * pictureHeight * 4, PageUse::Whole);
    std::size_t have = 0;
    std::size_t skip = 54;
    for (int row = 0; row < pictureHeight;) {
      const ssize_t got = ::read(fd, piece.data() + have, piece.size() - have);
      if (got <= 0) {
        break;
      }
      have += static_cast<std::size_t>(got);
      std::size_t at = std::min(skip, have);
      skip -= at;
      for (; row < pictureHeight && have - at >= stride; ++row, at += stride) {
        std::uint8_t* target =
            pixels.get() + std::size_t{pictureWidth} * 4 * (pictureHeight - 1 - row);
        for (int x = 0; x < pictureWidth; ++x) {
          std::memcpy(target + 4 * x, piece.data() + at + 3 * x, 3);
        }
      }
      std::memmove(piece.data(), piece.data() + at, have - at);
      have -= at;
    }
    ::close(fd);
    benchmark::DoNotOptimize(pixels.get());
    benchmark::ClobberMemory();
  }
  state.SetBytesProcessed(state.iterations() *
                          static_cast<std::int64_t>(std::filesystem::file_size(path)));
}
BENCHMARK(StreamIntoFreshBuffer)->Unit(benchmark::kMillisecond);

void LoadPicture(benchmark::State& state) {
  const std::string& path = PicturePath();
  const std::unique_ptr<Platform> platform = MakeSystemPlatform(0, nullptr);
  for (auto _ : state) {
    Image image;
    if (!LoadImageFile(*platform, path, image)) {
      state.SkipWithError("the picture did not load");
      break;
    }
    benchmark::DoNotOptimize(image.pixelBuffer.get());
    benchmark::ClobberMemory();
  }
  state.SetBytesProcessed(state.iterations() *
                          static_cast<std::int64_t>(std::filesystem::file_size(path)));
}
BENCHMARK(LoadPicture)->Unit(benchmark::kMillisecond);

// The decoder alone, on bytes already in memory: the load minus the read.
void DecodeInMemory(benchmark::State& state) {
  std::ifstream in(PicturePath(), std::ios::binary);
  const std::vector<std::uint8_t> bytes{std::istreambuf_iterator<char>(in),
                                        std::istreambuf_iterator<char>()};
  for (auto _ : state) {
    Image image;
    if (DecodeBmp(bytes, image) != BmpRefusal::None) {
      state.SkipWithError("the picture did not decode");
      break;
    }
    benchmark::DoNotOptimize(image.pixelBuffer.get());
    benchmark::ClobberMemory();
  }
  state.SetBytesProcessed(state.iterations() * static_cast<std::int64_t>(bytes.size()));
}
BENCHMARK(DecodeInMemory)->Unit(benchmark::kMillisecond);

}  // namespace
