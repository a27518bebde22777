#include "formats/pdf.h"

#include <climits>
#include <cmath>
#include <memory>
#include <poppler-document.h>
#include <poppler-global.h>
#include <poppler-image.h>
#include <poppler-page-renderer.h>
#include <poppler-page.h>

namespace strixa {

namespace {

void DropMessage(const std::string&, void*) {}

}  // namespace

void SilencePdfMessages() { poppler::set_debug_error_function(DropMessage, nullptr); }

bool DecodePdf(std::span<const std::uint8_t> bytes, const DecodeLimits& limits,
               const PageSink& sink, std::string& error) {
  if (bytes.size() > INT_MAX) {
    error = "PDF: file too large";
    return false;
  }
  const std::unique_ptr<poppler::document> document(poppler::document::load_from_raw_data(
      reinterpret_cast<const char*>(bytes.data()), static_cast<int>(bytes.size())));
  if (!document) {
    error = "PDF: damaged or unreadable document";
    return false;
  }
  if (document->is_locked()) {
    error = "PDF: document is protected by a password";
    return false;
  }
  const int pageCount = document->pages();
  if (pageCount > limits.maxPages) {
    error = "PDF: more than " + std::to_string(limits.maxPages) + " pages";
    return false;
  }
  poppler::page_renderer renderer;
  // Grey pages need a quarter of the memory of colour ones and are what the reader looks at.
  renderer.set_image_format(poppler::image::format_gray8);
  for (int index = 0; index < pageCount; ++index) {
    if (limits.pdfPages != nullptr && (static_cast<std::size_t>(index) >= limits.pdfPages->size() ||
                                       !(*limits.pdfPages)[index])) {
      continue;
    }
    const std::string where = " (page " + std::to_string(index + 1) + ")";
    const std::unique_ptr<poppler::page> page(document->create_page(index));
    if (!page) {
      error = "PDF: damaged page" + where;
      return false;
    }
    // Check the size the page will have at this resolution before anything is drawn.
    const poppler::rectf box = page->page_rect(poppler::crop_box);
    double width = std::ceil(std::abs(box.width()) * limits.dpi / 72.0);
    double height = std::ceil(std::abs(box.height()) * limits.dpi / 72.0);
    const poppler::page::orientation_enum turn = page->orientation();
    if (turn == poppler::page::landscape || turn == poppler::page::seascape) {
      std::swap(width, height);
    }
    if (!(width < 1e9 && height < 1e9)) {
      error = "PDF: page size out of range" + where;
      return false;
    }
    if (!CheckPageSize(static_cast<std::int64_t>(width), static_cast<std::int64_t>(height), limits,
                       error)) {
      error = "PDF: " + error + where;
      return false;
    }
    const poppler::image image = renderer.render_page(page.get(), limits.dpi, limits.dpi);
    if (!image.is_valid() || image.format() != poppler::image::format_gray8 || image.width() < 1 ||
        image.height() < 1 || image.width() > limits.maxSide || image.height() > limits.maxSide) {
      error = "PDF: page cannot be rendered" + where;
      return false;
    }
    sink(PageView{reinterpret_cast<const std::uint8_t*>(image.const_data()), image.width(),
                  image.height(), image.bytes_per_row(), PixelLayout::Grey8});
  }
  return true;
}

}  // namespace strixa
