// SPDX-License-Identifier: Apache-2.0
// A thin C++20 layer over strixa.h: a reader that releases itself, failures as exceptions, and
// the barcodes as a range of structs viewing the reader's strings. The C header stays the
// contract; this file only adapts it.
#pragma once

// MSVC reports the standard in _MSVC_LANG unless /Zc:__cplusplus is given.
#if __cplusplus < 202002L && !(defined(_MSVC_LANG) && _MSVC_LANG >= 202002L)
#error "strixa/strixa.hpp needs C++20 (-std=c++20; CMake's Strixa::strixa asks for it)"
#endif

#include <array>
#include <cstddef>
#include <ranges>
#include <span>
#include <stdexcept>
#include <string>
#include <string_view>
#include <utility>

#include "strixa/strixa.h"

namespace strixa {

// A call that failed: its status and the reader's message.
class Error : public std::runtime_error {
 public:
  Error(strixa_status status, const char* message) : std::runtime_error(message), status_(status) {}
  strixa_status Status() const noexcept { return status_; }

 private:
  strixa_status status_;
};

// One barcode found. The strings view the reader's storage: valid until its next read. text is
// for people; data holds the bytes the symbol encodes (NUL bytes included), symbologyId its AIM
// identifier such as "]C1", as strixa.h describes; page counts from 1, corners go in reading
// order (clockwise on screen) and angle is the reading direction in degrees.
struct Barcode {
  strixa_symbology symbology;
  std::string_view label;
  std::string_view text;
  int x;
  int y;
  int width;
  int height;
  strixa_orientation orientation;
  std::string_view data;
  std::string_view symbologyId;
  int page;
  std::array<strixa_point, 4> corners;
  float angle;
};

namespace detail {

inline Barcode ToBarcode(const strixa_barcode& b) {
  return {b.symbology,
          b.label,
          b.text,
          b.x,
          b.y,
          b.width,
          b.height,
          b.orientation,
          {b.data, b.data_length},
          b.symbology_id,
          b.page,
          {b.corners[0], b.corners[1], b.corners[2], b.corners[3]},
          b.angle};
}

}  // namespace detail

// What a read returns: the reader's results seen as Barcode, valid until its next read.
using Barcodes = std::ranges::transform_view<std::span<const strixa_barcode>,
                                             Barcode (*)(const strixa_barcode&)>;

// One reader per thread at a time; it may be moved, not copied.
class Reader {
 public:
  explicit Reader(const strixa_options& options = strixa_default_options()) {
    Check(strixa_reader_create(&options, &reader_));
  }
  Reader(const Reader&) = delete;
  Reader& operator=(const Reader&) = delete;
  Reader(Reader&& other) noexcept : reader_(std::exchange(other.reader_, nullptr)) {}
  Reader& operator=(Reader&& other) noexcept {
    std::swap(reader_, other.reader_);
    return *this;
  }
  ~Reader() { strixa_reader_destroy(reader_); }

  // The barcodes in the command line's order.
  Barcodes ReadPixels(const void* pixels, int width, int height, std::ptrdiff_t stride,
                      strixa_pixel_format format) {
    const strixa_barcode* barcodes = nullptr;
    std::size_t count = 0;
    Check(strixa_read_pixels(reader_, pixels, width, height, stride, format, &barcodes, &count));
    return View(barcodes, count);
  }

  Barcodes ReadBmpFile(const std::string& path) {
    const strixa_barcode* barcodes = nullptr;
    std::size_t count = 0;
    Check(strixa_read_bmp_file(reader_, path.c_str(), &barcodes, &count), path + ": ");
    return View(barcodes, count);
  }

  // Any format this build reads (SupportsFormat), told from the file's first bytes; every page
  // of a multi-page file within SetPages. A failure on a later page throws, losing the earlier
  // pages' barcodes: call strixa_read_file on Handle() to keep them.
  Barcodes ReadFile(const std::string& path) {
    const strixa_barcode* barcodes = nullptr;
    std::size_t count = 0;
    Check(strixa_read_file(reader_, path.c_str(), &barcodes, &count), path + ": ");
    return View(barcodes, count);
  }

  // The same for a whole file's bytes in memory.
  Barcodes ReadEncoded(std::span<const std::byte> bytes) {
    const strixa_barcode* barcodes = nullptr;
    std::size_t count = 0;
    Check(strixa_read_encoded(reader_, bytes.data(), bytes.size(), &barcodes, &count));
    return View(barcodes, count);
  }

  // Multi-page files: pages first .. first + count - 1, from 1; count 0 reads to the last.
  void SetPages(int first, int count = 0) { Check(strixa_reader_set_pages(reader_, first, count)); }

  // The resolution PDF pages are drawn at, 36 to 1200 dpi (300 by default).
  void SetPdfDpi(int dpi) { Check(strixa_reader_set_pdf_dpi(reader_, dpi)); }

  // The engine: STRIXA_ENGINE_DOCUMENT (the default) for clean scans and pages, fast;
  // STRIXA_ENGINE_ROBUST for photos; STRIXA_ENGINE_BOTH when unsure.
  void SetEngine(strixa_engine engine) { Check(strixa_reader_set_engine(reader_, engine)); }

  strixa_reader* Handle() const noexcept { return reader_; }

 private:
  static Barcodes View(const strixa_barcode* barcodes, std::size_t count) {
    return Barcodes(std::span(barcodes, count), &detail::ToBarcode);
  }

  // The C message names no file; a prefix such as "path: " puts it before the reason.
  void Check(strixa_status status, const std::string& prefix = {}) const {
    if (status != STRIXA_OK) {
      throw Error(status, (prefix + (reader_ != nullptr ? strixa_reader_error(reader_)
                                                        : strixa_status_text(status)))
                              .c_str());
    }
  }

  strixa_reader* reader_ = nullptr;
};

// Whether this build reads a format: "bmp", "png", "jpeg", "tiff", "pnm", "webp" or "pdf".
inline bool SupportsFormat(const std::string& name) {
  return strixa_reads_format(name.c_str()) != 0;
}

// The library's version, which may differ from the header's STRIXA_VERSION_STRING.
inline std::string_view Version() { return strixa_version(); }

}  // namespace strixa
