// SPDX-License-Identifier: Apache-2.0
#include "support/batch/formatWriters.h"

#include <cstdio>
#include <cstdlib>
#include <memory>
#include <string_view>

#include "image/image.h"

#if STRIXA_WITH_PNG
#include <spng.h>
#endif
#if STRIXA_WITH_JPEG
#include <jpeglib.h>
#endif
#if STRIXA_WITH_TIFF
#include <tiffio.h>
#endif
#if STRIXA_WITH_WEBP
#include <webp/encode.h>
#endif

namespace strixa {

GreyPicture GreyOf(const Image& image) {
  GreyPicture picture{image.imageWidth, image.imageHeight, {}};
  picture.grey.reserve(static_cast<std::size_t>(picture.width) * picture.height);
  for (int y = 1; y <= picture.height; ++y) {
    for (int x = 1; x <= picture.width; ++x) {
      picture.grey.push_back(static_cast<std::uint8_t>(PixelValue(image, x, y)));
    }
  }
  return picture;
}

std::vector<std::uint8_t> RgbOf(const GreyPicture& picture) {
  std::vector<std::uint8_t> rgb;
  rgb.reserve(picture.grey.size() * 3);
  for (std::uint8_t value : picture.grey) {
    rgb.insert(rgb.end(), 3, value);
  }
  return rgb;
}

bool WriteFile(const std::string& path, const std::vector<std::uint8_t>& bytes) {
  std::FILE* file = std::fopen(path.c_str(), "wb");
  if (file == nullptr) {
    return false;
  }
  // An empty vector's data() may be null, which fwrite must not be given.
  const bool written =
      bytes.empty() || std::fwrite(bytes.data(), 1, bytes.size(), file) == bytes.size();
  return std::fclose(file) == 0 && written;
}

bool WritePng([[maybe_unused]] const std::string& path, [[maybe_unused]] const GreyPicture& picture,
              [[maybe_unused]] bool colour) {
#if STRIXA_WITH_PNG
  std::unique_ptr<spng_ctx, void (*)(spng_ctx*)> context(spng_ctx_new(SPNG_CTX_ENCODER),
                                                         spng_ctx_free);
  spng_set_option(context.get(), SPNG_ENCODE_TO_BUFFER, 1);
  spng_ihdr header{};
  header.width = static_cast<std::uint32_t>(picture.width);
  header.height = static_cast<std::uint32_t>(picture.height);
  header.bit_depth = 8;
  header.color_type = colour ? SPNG_COLOR_TYPE_TRUECOLOR : SPNG_COLOR_TYPE_GRAYSCALE;
  spng_set_ihdr(context.get(), &header);
  const std::vector<std::uint8_t> pixels = colour ? RgbOf(picture) : picture.grey;
  if (spng_encode_image(context.get(), pixels.data(), pixels.size(), SPNG_FMT_PNG,
                        SPNG_ENCODE_FINALIZE) != 0) {
    return false;
  }
  std::size_t size = 0;
  int error = 0;
  std::uint8_t* data =
      static_cast<std::uint8_t*>(spng_get_png_buffer(context.get(), &size, &error));
  if (data == nullptr) {
    return false;
  }
  const std::vector<std::uint8_t> bytes(data, data + size);
  std::free(data);
  return WriteFile(path, bytes);
#else
  return false;
#endif
}

bool WriteJpeg([[maybe_unused]] const std::string& path,
               [[maybe_unused]] const GreyPicture& picture, [[maybe_unused]] bool colour,
               [[maybe_unused]] int quality, [[maybe_unused]] bool progressive) {
#if STRIXA_WITH_JPEG
  std::FILE* file = std::fopen(path.c_str(), "wb");
  if (file == nullptr) {
    return false;
  }
  jpeg_compress_struct info;
  jpeg_error_mgr errors;
  info.err = jpeg_std_error(&errors);
  jpeg_create_compress(&info);
  jpeg_stdio_dest(&info, file);
  info.image_width = static_cast<JDIMENSION>(picture.width);
  info.image_height = static_cast<JDIMENSION>(picture.height);
  info.input_components = colour ? 3 : 1;
  info.in_color_space = colour ? JCS_RGB : JCS_GRAYSCALE;
  jpeg_set_defaults(&info);
  jpeg_set_quality(&info, quality, TRUE);
  if (progressive) {
    jpeg_simple_progression(&info);
  }
  jpeg_start_compress(&info, TRUE);
  const std::vector<std::uint8_t> pixels = colour ? RgbOf(picture) : picture.grey;
  const std::size_t rowBytes = static_cast<std::size_t>(picture.width) * (colour ? 3 : 1);
  while (info.next_scanline < info.image_height) {
    JSAMPROW row = const_cast<std::uint8_t*>(pixels.data()) + rowBytes * info.next_scanline;
    jpeg_write_scanlines(&info, &row, 1);
  }
  jpeg_finish_compress(&info);
  jpeg_destroy_compress(&info);
  return std::fclose(file) == 0;
#else
  return false;
#endif
}

bool WriteTiff([[maybe_unused]] const std::string& path,
               [[maybe_unused]] const std::vector<GreyPicture>& pages,
               [[maybe_unused]] bool colour) {
#if STRIXA_WITH_TIFF
  TIFF* tiff = TIFFOpen(path.c_str(), "w");
  if (tiff == nullptr) {
    return false;
  }
  bool written = true;
  for (const GreyPicture& page : pages) {
    TIFFSetField(tiff, TIFFTAG_IMAGEWIDTH, static_cast<std::uint32_t>(page.width));
    TIFFSetField(tiff, TIFFTAG_IMAGELENGTH, static_cast<std::uint32_t>(page.height));
    TIFFSetField(tiff, TIFFTAG_BITSPERSAMPLE, 8);
    TIFFSetField(tiff, TIFFTAG_SAMPLESPERPIXEL, colour ? 3 : 1);
    TIFFSetField(tiff, TIFFTAG_PHOTOMETRIC, colour ? PHOTOMETRIC_RGB : PHOTOMETRIC_MINISBLACK);
    TIFFSetField(tiff, TIFFTAG_PLANARCONFIG, PLANARCONFIG_CONTIG);
    TIFFSetField(tiff, TIFFTAG_COMPRESSION, COMPRESSION_LZW);
    TIFFSetField(tiff, TIFFTAG_ROWSPERSTRIP, 64);
    if (pages.size() > 1) {
      TIFFSetField(tiff, TIFFTAG_SUBFILETYPE, FILETYPE_PAGE);
    }
    const std::vector<std::uint8_t> pixels = colour ? RgbOf(page) : page.grey;
    const std::size_t rowBytes = static_cast<std::size_t>(page.width) * (colour ? 3 : 1);
    for (int y = 0; y < page.height && written; ++y) {
      written = TIFFWriteScanline(tiff, const_cast<std::uint8_t*>(pixels.data()) + rowBytes * y,
                                  static_cast<std::uint32_t>(y), 0) == 1;
    }
    written = written && TIFFWriteDirectory(tiff) == 1;
  }
  TIFFClose(tiff);
  return written;
#else
  return false;
#endif
}

bool WriteWebp([[maybe_unused]] const std::string& path,
               [[maybe_unused]] const GreyPicture& picture) {
#if STRIXA_WITH_WEBP
  const std::vector<std::uint8_t> rgb = RgbOf(picture);
  std::uint8_t* data = nullptr;
  const std::size_t size =
      WebPEncodeLosslessRGB(rgb.data(), picture.width, picture.height, picture.width * 3, &data);
  if (size == 0) {
    return false;
  }
  const std::vector<std::uint8_t> bytes(data, data + size);
  WebPFree(data);
  return WriteFile(path, bytes);
#else
  return false;
#endif
}

std::vector<std::uint8_t> MakePdf(const std::vector<GreyPicture>& pages) {
  std::string pdf = "%PDF-1.4\n";
  std::vector<std::size_t> offsets;  // of objects 1, 2, ...
  const auto add = [&](const std::string& object) {
    offsets.push_back(pdf.size());
    pdf += std::to_string(offsets.size()) + " 0 obj\n" + object + "\nendobj\n";
  };
  // Objects 1 and 2 are the catalogue and the page tree; each page takes three after them.
  std::string kids;
  for (std::size_t i = 0; i < pages.size(); ++i) {
    kids += std::to_string(3 + 3 * i) + " 0 R ";
  }
  add("<< /Type /Catalog /Pages 2 0 R >>");
  add("<< /Type /Pages /Kids [" + kids + "] /Count " + std::to_string(pages.size()) + " >>");
  for (std::size_t i = 0; i < pages.size(); ++i) {
    const GreyPicture& page = pages[i];
    const std::string w = std::to_string(page.width);
    const std::string h = std::to_string(page.height);
    add("<< /Type /Page /Parent 2 0 R /MediaBox [0 0 " + w + " " + h +
        "] /Resources << /XObject << /Im0 " + std::to_string(4 + 3 * i) + " 0 R >> >> /Contents " +
        std::to_string(5 + 3 * i) + " 0 R >>");
    add("<< /Type /XObject /Subtype /Image /Width " + w + " /Height " + h +
        " /ColorSpace /DeviceGray /BitsPerComponent 8 /Length " + std::to_string(page.grey.size()) +
        " >>\nstream\n" + std::string(page.grey.begin(), page.grey.end()) + "\nendstream");
    const std::string content = "q " + w + " 0 0 " + h + " 0 0 cm /Im0 Do Q";
    add("<< /Length " + std::to_string(content.size()) + " >>\nstream\n" + content + "\nendstream");
  }
  const std::size_t xref = pdf.size();
  pdf += "xref\n0 " + std::to_string(offsets.size() + 1) + "\n0000000000 65535 f \n";
  for (std::size_t offset : offsets) {
    char entry[32];
    std::snprintf(entry, sizeof entry, "%010zu 00000 n \n", offset);
    pdf += entry;
  }
  pdf += "trailer\n<< /Size " + std::to_string(offsets.size() + 1) +
         " /Root 1 0 R >>\nstartxref\n" + std::to_string(xref) + "\n%%EOF\n";
  return {pdf.begin(), pdf.end()};
}

std::vector<std::uint8_t> MakePgm(const GreyPicture& picture) {
  const std::string header =
      "P5\n" + std::to_string(picture.width) + " " + std::to_string(picture.height) + "\n255\n";
  std::vector<std::uint8_t> bytes(header.begin(), header.end());
  bytes.insert(bytes.end(), picture.grey.begin(), picture.grey.end());
  return bytes;
}

}  // namespace strixa
