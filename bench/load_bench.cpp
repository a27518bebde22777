#include <cstdint>
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
#include "image/largeBuffer.h"
#include "platform/bitmap.h"
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

// The floor: what merely reading the file into memory costs.
void ReadFileOnly(benchmark::State& state) {
  const std::string& path = PicturePath();
  for (auto _ : state) {
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    struct stat info {};
    ::fstat(fd, &info);
    const auto size = static_cast<std::size_t>(info.st_size);
    // Fresh memory each time, allocated as the program allocates its file buffer.
    const LargeBuffer data = AllocateLargeBuffer(size);
    std::size_t done = 0;
    while (done < size) {
      const ssize_t got = ::read(fd, data.get() + done, size - done);
      if (got <= 0) {
        break;
      }
      done += static_cast<std::size_t>(got);
    }
    ::close(fd);
    benchmark::DoNotOptimize(data.get());
    benchmark::ClobberMemory();
  }
  state.SetBytesProcessed(state.iterations() *
                          static_cast<std::int64_t>(std::filesystem::file_size(path)));
}
BENCHMARK(ReadFileOnly)->Unit(benchmark::kMillisecond);

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
    if (!DecodeBmp(bytes, image)) {
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
