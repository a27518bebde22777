// SPDX-License-Identifier: Apache-2.0
#include "formats/format.h"

#include <algorithm>
#include <cstring>

#include "formats/pnm.h"
#if STRIXA_WITH_PNG
#include "formats/png.h"
#endif
#if STRIXA_WITH_JPEG
#include "formats/jpeg.h"
#endif
#if STRIXA_WITH_TIFF
#include "formats/tiff.h"
#endif
#if STRIXA_WITH_WEBP
#include "formats/webp.h"
#endif
#if STRIXA_WITH_PDF
#include "formats/pdf.h"
#endif

namespace strixa {

namespace {

bool StartsWith(std::span<const std::uint8_t> bytes, std::string_view magic) {
  return bytes.size() >= magic.size() && std::memcmp(bytes.data(), magic.data(), magic.size()) == 0;
}

}  // namespace

Format SniffFormat(std::span<const std::uint8_t> head) {
  using namespace std::string_view_literals;
  if (StartsWith(head, "BM")) {
    return Format::Bmp;
  }
  if (StartsWith(head, "\x89PNG\r\n\x1a\n"sv)) {
    return Format::Png;
  }
  if (StartsWith(head, "\xff\xd8\xff"sv)) {
    return Format::Jpeg;
  }
  // Classic and big TIFF, in either byte order.
  if (StartsWith(head, "II*\0"sv) || StartsWith(head, "MM\0*"sv) || StartsWith(head, "II+\0"sv) ||
      StartsWith(head, "MM\0+"sv)) {
    return Format::Tiff;
  }
  if (head.size() >= 12 && StartsWith(head, "RIFF") && StartsWith(head.subspan(8), "WEBP")) {
    return Format::Webp;
  }
  if (head.size() >= 3 && head[0] == 'P' && head[1] >= '1' && head[1] <= '6' &&
      std::strchr(" \t\r\n#", head[2]) != nullptr && head[2] != '\0') {
    return Format::Pnm;
  }
  const std::string_view text(reinterpret_cast<const char*>(head.data()),
                              std::min(head.size(), sniffLength));
  if (text.find("%PDF-") != std::string_view::npos) {
    return Format::Pdf;
  }
  return Format::Unknown;
}

std::string_view FormatName(Format format) {
  switch (format) {
    case Format::Bmp:
      return "BMP";
    case Format::Png:
      return "PNG";
    case Format::Jpeg:
      return "JPEG";
    case Format::Tiff:
      return "TIFF";
    case Format::Pnm:
      return "PNM";
    case Format::Webp:
      return "WebP";
    case Format::Pdf:
      return "PDF";
    case Format::Unknown:
      break;
  }
  return "unknown";
}

bool IsFormatBuilt(Format format) {
  switch (format) {
    case Format::Bmp:
    case Format::Pnm:
      return true;
    case Format::Png:
      return STRIXA_WITH_PNG;
    case Format::Jpeg:
      return STRIXA_WITH_JPEG;
    case Format::Tiff:
      return STRIXA_WITH_TIFF;
    case Format::Webp:
      return STRIXA_WITH_WEBP;
    case Format::Pdf:
      return STRIXA_WITH_PDF;
    case Format::Unknown:
      break;
  }
  return false;
}

void SilenceDecoderMessages() {
#if STRIXA_WITH_PDF
  SilencePdfMessages();
#endif
}

bool DecodePages(Format format, std::span<const std::uint8_t> bytes, const DecodeLimits& limits,
                 const PageSink& sink, std::string& error) {
  if (format == Format::Unknown) {
    error = "unknown format";
    return false;
  }
  if (!IsFormatBuilt(format)) {
    error = "unsupported format (" + std::string(FormatName(format)) + " not built in)";
    return false;
  }
  // A format left out of the build was refused above, so its case only keeps the switch whole.
  switch (format) {
    case Format::Pnm:
      return DecodePnm(bytes, limits, sink, error);
    case Format::Png:
#if STRIXA_WITH_PNG
      return DecodePng(bytes, limits, sink, error);
#else
      break;
#endif
    case Format::Jpeg:
#if STRIXA_WITH_JPEG
      return DecodeJpeg(bytes, limits, sink, error);
#else
      break;
#endif
    case Format::Tiff:
#if STRIXA_WITH_TIFF
      return DecodeTiff(bytes, limits, sink, error);
#else
      break;
#endif
    case Format::Webp:
#if STRIXA_WITH_WEBP
      return DecodeWebp(bytes, limits, sink, error);
#else
      break;
#endif
    case Format::Pdf:
#if STRIXA_WITH_PDF
      return DecodePdf(bytes, limits, sink, error);
#else
      break;
#endif
    case Format::Bmp:
    case Format::Unknown:
      break;
  }
  error = "unsupported format (" + std::string(FormatName(format)) + ")";
  return false;
}

}  // namespace strixa
