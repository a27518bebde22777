#include "formats/jpeg.h"

#include <algorithm>
#include <climits>
#include <csetjmp>
#include <cstdio>
#include <jpeglib.h>
#include <memory>

namespace strixa {

namespace {

// Progressive files may hold any number of scans, each a pass over the whole picture; real
// encoders write about ten.
constexpr int maxScans = 1000;

struct ErrorManager {
  jpeg_error_mgr base;
  std::jmp_buf jump;
  char message[JMSG_LENGTH_MAX];
};

struct ProgressMonitor {
  jpeg_progress_mgr base;
};

// What the decoding half fills in; it lives in the caller's frame, so nothing of it is lost when
// libjpeg jumps back after an error.
struct JpegPage {
  std::unique_ptr<std::uint8_t[]> pixels;
  int width = 0;
  int height = 0;
  int channels = 0;
  std::string error;
};

[[noreturn]] void JumpOnError(j_common_ptr info) {
  ErrorManager* manager = reinterpret_cast<ErrorManager*>(info->err);
  info->err->format_message(info, manager->message);
  std::longjmp(manager->jump, 1);
}

// Warnings (a truncated file, a stray marker) are not printed; a damaged picture reads as far
// as it goes.
void IgnoreMessage(j_common_ptr, int) {}

void LimitScans(j_common_ptr info) {
  const j_decompress_ptr decompress = reinterpret_cast<j_decompress_ptr>(info);
  if (decompress->input_scan_number > maxScans) {
    ErrorManager* manager = reinterpret_cast<ErrorManager*>(info->err);
    std::snprintf(manager->message, sizeof manager->message, "too many progressive scans");
    std::longjmp(manager->jump, 1);
  }
}

// Everything between setjmp and the last libjpeg call holds only trivially destructible locals,
// so the jump back skips no destructor.
bool DecodeInto(std::span<const std::uint8_t> bytes, const DecodeLimits& limits, JpegPage& page) {
  jpeg_decompress_struct info;
  ErrorManager manager;
  ProgressMonitor progress;
  info.err = jpeg_std_error(&manager.base);
  manager.base.error_exit = JumpOnError;
  manager.base.emit_message = IgnoreMessage;
  manager.message[0] = '\0';
  if (setjmp(manager.jump) != 0) {
    jpeg_destroy_decompress(&info);
    page.error = std::string("JPEG: ") + manager.message;
    page.pixels.reset();
    return false;
  }
  jpeg_create_decompress(&info);
  // Progressive pictures keep every coefficient; bound that by the pixel limit.
  info.mem->max_memory_to_use =
      static_cast<long>(std::min<std::int64_t>(limits.maxPixels * 8, LONG_MAX));
  progress.base.progress_monitor = LimitScans;
  info.progress = &progress.base;
  jpeg_mem_src(&info, bytes.data(), static_cast<unsigned long>(bytes.size()));
  jpeg_read_header(&info, TRUE);
  if (!CheckPageSize(info.image_width, info.image_height, limits, page.error)) {
    jpeg_destroy_decompress(&info);
    return false;
  }
  if (info.jpeg_color_space == JCS_GRAYSCALE) {
    info.out_color_space = JCS_GRAYSCALE;
  } else if (info.jpeg_color_space == JCS_YCbCr || info.jpeg_color_space == JCS_RGB) {
    info.out_color_space = JCS_RGB;
  } else {
    jpeg_destroy_decompress(&info);
    page.error = "JPEG: CMYK pictures are not supported";
    return false;
  }
  jpeg_start_decompress(&info);
  page.width = static_cast<int>(info.output_width);
  page.height = static_cast<int>(info.output_height);
  page.channels = info.output_components;
  const std::size_t rowBytes = static_cast<std::size_t>(page.width) * page.channels;
  page.pixels = AllocatePixels(rowBytes * page.height);
  if (!page.pixels) {
    jpeg_destroy_decompress(&info);
    page.error = "out of memory";
    return false;
  }
  while (info.output_scanline < info.output_height) {
    JSAMPROW row = page.pixels.get() + rowBytes * info.output_scanline;
    jpeg_read_scanlines(&info, &row, 1);
  }
  jpeg_finish_decompress(&info);
  jpeg_destroy_decompress(&info);
  return true;
}

}  // namespace

bool DecodeJpeg(std::span<const std::uint8_t> bytes, const DecodeLimits& limits,
                const PageSink& sink, std::string& error) {
  JpegPage page;
  if (!DecodeInto(bytes, limits, page)) {
    error = page.error;
    return false;
  }
  sink(PageView{page.pixels.get(), page.width, page.height,
                static_cast<std::ptrdiff_t>(page.width) * page.channels,
                page.channels == 1 ? PixelLayout::Grey8 : PixelLayout::Rgb24});
  return true;
}

}  // namespace strixa
