// SPDX-License-Identifier: Apache-2.0
#include "support/jpegRoundTrip.h"

#include <csetjmp>
#include <cstdio>
#include <cstdlib>
#include <vector>

// jpeglib.h needs FILE and size_t declared first.
#include <jpeglib.h>

namespace strixa {

namespace {

// libjpeg reports fatal errors through a callback that must not return: jump back out.
struct ErrorJump {
  jpeg_error_mgr manager;
  std::jmp_buf jump;
};

void JumpOut(j_common_ptr info) { std::longjmp(reinterpret_cast<ErrorJump*>(info->err)->jump, 1); }

void Quiet(j_common_ptr, int) {}

bool Compress(const std::vector<std::uint8_t>& grey, int width, int height, int quality,
              std::vector<std::uint8_t>& file) {
  jpeg_compress_struct info{};
  ErrorJump error{};
  info.err = jpeg_std_error(&error.manager);
  error.manager.error_exit = JumpOut;
  error.manager.emit_message = Quiet;
  unsigned char* buffer = nullptr;
  unsigned long size = 0;
  if (setjmp(error.jump) != 0) {
    jpeg_destroy_compress(&info);
    std::free(buffer);
    return false;
  }
  jpeg_create_compress(&info);
  jpeg_mem_dest(&info, &buffer, &size);
  info.image_width = static_cast<JDIMENSION>(width);
  info.image_height = static_cast<JDIMENSION>(height);
  info.input_components = 1;
  info.in_color_space = JCS_GRAYSCALE;
  jpeg_set_defaults(&info);
  jpeg_set_quality(&info, quality, TRUE);
  jpeg_start_compress(&info, TRUE);
  while (info.next_scanline < info.image_height) {
    JSAMPROW row = const_cast<JSAMPROW>(
        &grey[static_cast<std::size_t>(info.next_scanline) * static_cast<std::size_t>(width)]);
    jpeg_write_scanlines(&info, &row, 1);
  }
  jpeg_finish_compress(&info);
  file.assign(buffer, buffer + size);
  jpeg_destroy_compress(&info);
  std::free(buffer);
  return true;
}

bool Decompress(const std::vector<std::uint8_t>& file, int width, int height,
                std::vector<std::uint8_t>& grey) {
  jpeg_decompress_struct info{};
  ErrorJump error{};
  info.err = jpeg_std_error(&error.manager);
  error.manager.error_exit = JumpOut;
  error.manager.emit_message = Quiet;
  if (setjmp(error.jump) != 0) {
    jpeg_destroy_decompress(&info);
    return false;
  }
  jpeg_create_decompress(&info);
  jpeg_mem_src(&info, file.data(), static_cast<unsigned long>(file.size()));
  if (jpeg_read_header(&info, TRUE) != JPEG_HEADER_OK) {
    jpeg_destroy_decompress(&info);
    return false;
  }
  info.out_color_space = JCS_GRAYSCALE;
  jpeg_start_decompress(&info);
  if (static_cast<int>(info.output_width) != width ||
      static_cast<int>(info.output_height) != height || info.output_components != 1) {
    jpeg_destroy_decompress(&info);
    return false;
  }
  grey.assign(static_cast<std::size_t>(width) * static_cast<std::size_t>(height), 0);
  while (info.output_scanline < info.output_height) {
    JSAMPROW row =
        &grey[static_cast<std::size_t>(info.output_scanline) * static_cast<std::size_t>(width)];
    jpeg_read_scanlines(&info, &row, 1);
  }
  jpeg_finish_decompress(&info);
  jpeg_destroy_decompress(&info);
  return true;
}

}  // namespace

bool JpegRoundTrip(const std::vector<std::uint8_t>& grey, int width, int height, int quality,
                   std::vector<std::uint8_t>& decoded, std::size_t& fileBytes) {
  if (width <= 0 || height <= 0 ||
      grey.size() != static_cast<std::size_t>(width) * static_cast<std::size_t>(height)) {
    return false;
  }
  std::vector<std::uint8_t> file;
  if (!Compress(grey, width, height, quality, file)) {
    return false;
  }
  fileBytes = file.size();
  return Decompress(file, width, height, decoded);
}

}  // namespace strixa
