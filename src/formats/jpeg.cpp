// SPDX-License-Identifier: Apache-2.0
#include "formats/jpeg.h"

#include <algorithm>
#include <climits>
#include <csetjmp>
#include <cstdio>
#include <jpeglib.h>
#include <memory>

namespace strixa {

namespace {

// Progressive files may hold any number of scans, each a pass over the blocks of its
// components; real encoders visit each block about five times in all. The work is held to
// passesPerBlock visits of every block (at least minimumWork), and the scans to maxScans.
constexpr int maxScans = 1000;
constexpr std::int64_t passesPerBlock = 16;
constexpr std::int64_t minimumWork = std::int64_t{1} << 20;

// Huffman coding spends at least one bit on every block of a component's first scan;
// arithmetic coding can spend next to nothing on a blank block, so it is allowed a far smaller
// share. A file with less data than that cannot hold the picture it claims.
constexpr std::int64_t blocksPerByteHuffman = 8;
constexpr std::int64_t blocksPerByteArithmetic = 4096;

struct ErrorManager {
  jpeg_error_mgr base;
  std::jmp_buf jump;
  char message[JMSG_LENGTH_MAX];
};

struct ProgressMonitor {
  jpeg_progress_mgr base;
  std::int64_t workLimit = minimumWork;  // block visits over all scans
  std::int64_t work = 0;
  int lastScan = 0;
};

std::int64_t Blocks(const jpeg_component_info& component) {
  return std::int64_t{component.width_in_blocks} * component.height_in_blocks;
}

// What the decoding half fills in; it lives in the caller's frame, so nothing of it is lost when
// libjpeg jumps back after an error.
struct JpegPage {
  PixelBuffer pixels;
  MemoryReservation coefficients;  // what the library holds of a picture read in many scans
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

// Called before every row of input is consumed: a new scan adds its blocks to the work.
void LimitScans(j_common_ptr info) {
  const j_decompress_ptr decompress = reinterpret_cast<j_decompress_ptr>(info);
  ProgressMonitor& monitor = *reinterpret_cast<ProgressMonitor*>(info->progress);
  if (decompress->input_scan_number != monitor.lastScan) {
    monitor.lastScan = decompress->input_scan_number;
    for (int i = 0; i < decompress->comps_in_scan; ++i) {
      monitor.work += Blocks(*decompress->cur_comp_info[i]);
    }
  }
  const char* problem = nullptr;
  if (decompress->input_scan_number > maxScans) {
    problem = "too many progressive scans";
  } else if (monitor.work > monitor.workLimit) {
    problem = "too much work: the progressive scans pass over the picture too often";
  }
  if (problem != nullptr) {
    ErrorManager* manager = reinterpret_cast<ErrorManager*>(info->err);
    std::snprintf(manager->message, sizeof manager->message, "%s", problem);
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
    page.coefficients.Release();
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
  std::int64_t blocks = 0;
  for (int i = 0; i < info.num_components; ++i) {
    blocks += Blocks(info.comp_info[i]);
  }
  // What follows the first scan's header is all the coded data there is.
  const std::int64_t dataBytes = static_cast<std::int64_t>(info.src->bytes_in_buffer);
  if (dataBytes < blocks / (info.arith_code ? blocksPerByteArithmetic : blocksPerByteHuffman)) {
    jpeg_destroy_decompress(&info);
    page.error = "JPEG: data too short for a picture of its size";
    return false;
  }
  progress.workLimit = std::max(minimumWork, passesPerBlock * blocks);
  if (info.jpeg_color_space == JCS_GRAYSCALE) {
    info.out_color_space = JCS_GRAYSCALE;
  } else if (info.jpeg_color_space == JCS_YCbCr || info.jpeg_color_space == JCS_RGB) {
    info.out_color_space = JCS_RGB;
  } else {
    jpeg_destroy_decompress(&info);
    page.error = "JPEG: CMYK pictures are not supported";
    return false;
  }
  // A picture in many scans (progressive, or components in scans of their own) is held whole as
  // coefficients, 64 of two bytes a block, from the start of decompression.
  if (info.progressive_mode || info.comps_in_scan < info.num_components) {
    const std::size_t size = static_cast<std::size_t>(blocks) * 64 * sizeof(JCOEF);
    if (!page.coefficients.Reserve(size, limits)) {
      jpeg_destroy_decompress(&info);
      page.error = PixelMemoryError(size, limits);
      return false;
    }
  }
  jpeg_start_decompress(&info);
  page.width = static_cast<int>(info.output_width);
  page.height = static_cast<int>(info.output_height);
  page.channels = info.output_components;
  const std::size_t rowBytes = static_cast<std::size_t>(page.width) * page.channels;
  page.pixels = AllocatePixels(rowBytes * page.height, limits);
  if (!page.pixels) {
    jpeg_destroy_decompress(&info);
    page.error = PixelMemoryError(rowBytes * page.height, limits);
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
