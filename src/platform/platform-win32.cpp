// SPDX-License-Identifier: Apache-2.0
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <type_traits>
#include <vector>
#include <windows.h>

#include "image/image.h"
#include "platform/bitmap.h"
#include "platform/bmpHeader.h"
#include "platform/commandLine.h"
#include "platform/memory.h"
#include "platform/platform.h"

namespace strixa {

namespace {

// Closing the console window (or Ctrl+C) ends the run at once; the program holds nothing that
// needs saving, and every end of it reports 0.
BOOL WINAPI EndOnConsoleEvent(DWORD event) {
  switch (event) {
    case CTRL_C_EVENT:
    case CTRL_BREAK_EVENT:
    case CTRL_CLOSE_EVENT:
    case CTRL_LOGOFF_EVENT:
    case CTRL_SHUTDOWN_EVENT:
      ::ExitProcess(0);
    default:
      return FALSE;
  }
}

// Writes all of text to the handle; a console gets WriteConsoleA, a file or pipe WriteFile, both
// taking the bytes as they are. A failing write is dropped and the run goes on.
void WriteAll(HANDLE output, std::string_view text) {
  if (output == nullptr || output == INVALID_HANDLE_VALUE) {
    return;
  }
  DWORD mode = 0;
  const bool console = ::GetConsoleMode(output, &mode) != 0;
  while (!text.empty()) {
    // Consoles take limited pieces per call; files take anything up to DWORD.
    const DWORD piece = static_cast<DWORD>(text.size() < 16384 ? text.size() : 16384);
    DWORD written = 0;
    const BOOL ok = console ? ::WriteConsoleA(output, text.data(), piece, &written, nullptr)
                            : ::WriteFile(output, text.data(), piece, &written, nullptr);
    if (!ok || written == 0) {
      return;
    }
    text.remove_prefix(written);
  }
}

// Path characters that FindFirstFileA would take as a pattern; no real file name has them.
bool HasWildcard(const std::string& path) {
  return path.find_first_of("*?<>\"") != std::string::npos;
}

// The file's first bytes (as many as the header check reads) and its size; false when it
// cannot be opened or read.
bool ReadFileStart(const std::string& path, std::vector<std::uint8_t>& start,
                   std::uint64_t& fileSize) {
  const HANDLE file = ::CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE,
                                    nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) {
    return false;
  }
  LARGE_INTEGER size{};
  start.assign(bmpHeadersMaxSize, 0);
  DWORD got = 0;
  const bool ok = ::GetFileSizeEx(file, &size) != 0 &&
                  ::ReadFile(file, start.data(), static_cast<DWORD>(start.size()), &got, nullptr);
  ::CloseHandle(file);
  start.resize(got);
  fileSize = static_cast<std::uint64_t>(size.QuadPart);
  return ok;
}

// Bit fields with an alpha mask after the colour masks: not a desktop format.
constexpr std::uint32_t alphaBitFields = 6;

// Some files the platform loader takes but fills with made-up pixels: rows cut off by the end of
// the file, compressed rows stored top-down (no valid file has them) and bit fields with an
// alpha mask. They are refused before it sees them; everything else our own header check
// refuses is left to the loader, which may read more kinds than we do.
bool LoaderReadsSoundly(const BmpLayout& layout, BmpRefusal refusal, std::uint64_t fileSize) {
  switch (refusal) {
    case BmpRefusal::TruncatedData:
      return false;
    case BmpRefusal::BadPixelOffset:
      return layout.pixelOffset < fileSize;
    case BmpRefusal::BadDepth:
      return !(IsRunLength(layout) && layout.topDown) && layout.compression != alphaBitFields;
    case BmpRefusal::None:
    case BmpRefusal::CannotOpen:
    case BmpRefusal::ReadFailed:
    case BmpRefusal::TruncatedHeader:
    case BmpRefusal::BadSignature:
    case BmpRefusal::BadHeaderSize:
    case BmpRefusal::BadDimensions:
    case BmpRefusal::BadMasks:
    case BmpRefusal::BadPalette:
    case BmpRefusal::BadRle:
    case BmpRefusal::TooLarge:
    case BmpRefusal::OutOfMemory:
      break;
  }
  return true;
}

struct BitmapDeleter {
  void operator()(HBITMAP bitmap) const { ::DeleteObject(bitmap); }
};
using OwnedBitmap = std::unique_ptr<std::remove_pointer_t<HBITMAP>, BitmapDeleter>;

// The platform loader's bitmap and its header; empty when either cannot be had.
OwnedBitmap LoadBitmapFile(const std::string& path, UINT flags, BITMAP& header) {
  OwnedBitmap bitmap(static_cast<HBITMAP>(
      ::LoadImageA(nullptr, path.c_str(), IMAGE_BITMAP, 0, 0, LR_LOADFROMFILE | flags)));
  header = BITMAP{};
  if (bitmap && ::GetObjectA(bitmap.get(), sizeof header, &header) == 0) {
    bitmap.reset();
  }
  return bitmap;
}

// Copies the bitmap as 32-bit top-down rows into image, through a memory device context.
bool CopyPixels(HBITMAP bitmap, int width, int height, Image& image) {
  if (!AllocatePixelBuffer(width, height, image)) {
    return false;
  }
  const std::size_t size = static_cast<std::size_t>(image.rowPitch) * height;

  BITMAPINFO info{};
  info.bmiHeader.biSize = sizeof(BITMAPINFOHEADER);
  info.bmiHeader.biWidth = width;
  info.bmiHeader.biHeight = -height;  // negative: top row first
  info.bmiHeader.biPlanes = 1;
  info.bmiHeader.biBitCount = 32;
  info.bmiHeader.biCompression = BI_RGB;

  int copied = 0;
  const HDC dc = ::CreateCompatibleDC(nullptr);
  if (dc != nullptr) {
    const HGDIOBJ previous = ::SelectObject(dc, bitmap);
    copied = ::GetDIBits(dc, bitmap, 0, static_cast<UINT>(height), image.pixelBuffer.get(), &info,
                         DIB_RGB_COLORS);
    if (previous != nullptr && previous != HGDI_ERROR) {
      ::SelectObject(dc, previous);
    }
    ::DeleteDC(dc);
  }
  if (copied == 0) {
    FreePixelBuffer(image);
    return false;
  }
  // The fourth byte is left undefined by the copy; zero it so every build holds the same bytes.
  for (std::size_t i = 3; i < size; i += 4) {
    image.pixelBuffer[i] = 0;
  }
  return true;
}

class Win32Platform final : public Platform {
 public:
  Win32Platform() : output_(::GetStdHandle(STD_OUTPUT_HANDLE)) {
    ::SetConsoleCtrlHandler(EndOnConsoleEvent, TRUE);
  }

  std::vector<std::string> Arguments() override {
    const char* commandLine = ::GetCommandLineA();
    return SplitCommandLine(commandLine != nullptr ? commandLine : "");
  }

  bool IsNonEmptyFile(const std::string& path) override {
    if (path.empty() || HasWildcard(path)) {
      return false;
    }
    const DWORD attributes = ::GetFileAttributesA(path.c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES ||
        (attributes & (FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_DEVICE)) != 0) {
      return false;
    }
    const UINT driveType = ::GetDriveTypeA(path.c_str());
    if (driveType != DRIVE_NO_ROOT_DIR && driveType != DRIVE_UNKNOWN) {
      return false;  // a drive root
    }
    WIN32_FIND_DATAA found{};
    const HANDLE search = ::FindFirstFileA(path.c_str(), &found);
    if (search == INVALID_HANDLE_VALUE) {
      return false;
    }
    ::FindClose(search);
    const std::uint64_t size =
        static_cast<std::uint64_t>(found.nFileSizeHigh) << 32 | found.nFileSizeLow;
    return (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) == 0 && size > 0;
  }

  bool DecodeBitmap(const std::string& path, Image& image) override {
    std::vector<std::uint8_t> start;
    std::uint64_t fileSize = 0;
    if (!ReadFileStart(path, start, fileSize) || start.size() < 2 || start[0] != 'B' ||
        start[1] != 'M') {
      return false;
    }
    BmpLayout layout;
    const BmpRefusal refusal = ReadBmpLayout(start, fileSize, layout);
    const bool ours = refusal == BmpRefusal::None;
    if (!ours && !LoaderReadsSoundly(layout, refusal, fileSize)) {
      return false;
    }
    if (ours && layout.topDown) {
      // The platform loader (Wine's, at least) returns a top-down file's pixels all zero, and the
      // copy then has nothing to copy; our own reader gives the picture the other builds see.
      return ReadBmpFile(path, image) == BmpRefusal::None;
    }
    BITMAP header{};
    OwnedBitmap bitmap = LoadBitmapFile(path, LR_CREATEDIBSECTION, header);
    if (bitmap && header.bmBitsPixel <= 8) {
      // Palette pictures are read once more as a plain bitmap.
      bitmap.reset();
      bitmap = LoadBitmapFile(path, 0, header);
    }
    if (!bitmap) {
      return false;
    }
    const int height = header.bmHeight < 0 ? -header.bmHeight : header.bmHeight;
    return CopyPixels(bitmap.get(), header.bmWidth, height, image);
  }

  void WriteLine(std::string_view text) override {
    std::string line(text);
    line += "\r\n";
    WriteAll(output_, line);
  }

  void SetTitle(std::string_view title) override { ::SetConsoleTitleA(std::string(title).c_str()); }

  void Sleep(int milliseconds) override {
    ::Sleep(milliseconds > 0 ? static_cast<DWORD>(milliseconds) : 0);
  }

  int CurrentYear() override {
    SYSTEMTIME now{};
    ::GetLocalTime(&now);
    return now.wYear;
  }

 private:
  HANDLE output_;
};

}  // namespace

std::unique_ptr<Platform> MakeSystemPlatform(int /*argc*/, char** /*argv*/) {
  // The raw command line is split here rather than by the C runtime, whose quoting rules differ.
  return std::make_unique<Win32Platform>();
}

}  // namespace strixa
