// SPDX-License-Identifier: Apache-2.0
#include "formats/pdf.h"

#include <algorithm>
#include <climits>
#include <cmath>
#include <memory>
#include <poppler/Error.h>
#include <poppler/ErrorCodes.h>
#include <poppler/GlobalParams.h>
#include <poppler/PDFDoc.h>
#include <poppler/Page.h>
#include <poppler/SplashOutputDev.h>
#include <poppler/Stream.h>
#include <poppler/splash/SplashBitmap.h>

#include "memoryBudget.h"

namespace strixa {

namespace {

void DropMessage(ErrorCategory, Goffset, const char*) {}

// The renderer's settings, made once for the whole process before its first document; its
// messages are dropped.
void SetUpRenderer() {
  static const bool ready = [] {
    globalParams = std::make_unique<GlobalParams>();
    setErrorCallback(DropMessage);
    return true;
  }();
  (void)ready;
}

// Drawing runs any number of operators, and forms may draw forms, each many times: a page of
// a few kilobytes can ask for a billion shapes. So each page is held to:
// - maxPaintings times its own area painted by fills, strokes and images (each charged the
//   part of its box that the clip leaves), what painting costs;
// - maxForms forms drawn, and maxDrawChecks of the renderer's asks whether to stop (it asks
//   every ten or so operators, but each form starts that count afresh);
// - and the file's time.
// Once one is spent, forms are passed over, nothing more is painted and the page stops.
constexpr std::int64_t maxPaintings = 256;
constexpr std::int64_t maxForms = std::int64_t{1} << 16;
constexpr std::int64_t maxDrawChecks = std::int64_t{1} << 22;

// The renderer keeps an alpha byte beside each grey one: a page takes twice its pixels.
constexpr std::size_t renderBytesPerPixel = 2;

struct DrawingBudget {
  const FileBudget* file = nullptr;
  double paintLimit = 0;  // device pixels
  double painted = 0;
  std::int64_t forms = 0;
  std::int64_t checks = 0;
  bool tooMuch = false;
  bool outOfTime = false;

  bool Spent() {
    if (painted > paintLimit || forms > maxForms || checks > maxDrawChecks) {
      tooMuch = true;
    } else if ((++checks & 255) == 0 && file->TimeIsUp()) {
      outOfTime = true;
    }
    return tooMuch || outOfTime;
  }
};

bool StopDrawing(void* data) { return static_cast<DrawingBudget*>(data)->Spent(); }

// The device area of the box around points (user space, widened by margin device pixels)
// that the clip leaves.
class PaintedBox {
 public:
  PaintedBox(const GfxState& state, double margin) : state_(state), margin_(margin) {}
  void Add(double userX, double userY) {
    double x = 0, y = 0;
    state_.transform(userX, userY, &x, &y);
    xMin_ = std::min(xMin_, x - margin_);
    yMin_ = std::min(yMin_, y - margin_);
    xMax_ = std::max(xMax_, x + margin_);
    yMax_ = std::max(yMax_, y + margin_);
  }
  double Area() const {
    double clipXMin = 0, clipYMin = 0, clipXMax = 0, clipYMax = 0;
    state_.getClipBBox(&clipXMin, &clipYMin, &clipXMax, &clipYMax);
    const double width = std::min(xMax_, clipXMax) - std::max(xMin_, clipXMin);
    const double height = std::min(yMax_, clipYMax) - std::max(yMin_, clipYMin);
    return width > 0 && height > 0 ? (width + 1) * (height + 1) : 1;
  }

 private:
  const GfxState& state_;
  double margin_;
  double xMin_ = 1e300, yMin_ = 1e300, xMax_ = -1e300, yMax_ = -1e300;
};

double PathArea(const GfxState& state, double margin) {
  PaintedBox box(state, margin);
  const GfxPath& path = *state.getPath();
  for (int i = 0; i < path.getNumSubpaths(); ++i) {
    const GfxSubpath& subpath = *path.getSubpath(i);
    for (int j = 0; j < subpath.getNumPoints(); ++j) {
      box.Add(subpath.getX(j), subpath.getY(j));
    }
  }
  return box.Area();
}

// Images fill the unit square of the current matrix.
double ImageArea(const GfxState& state) {
  PaintedBox box(state, 0);
  for (const auto& [x, y] : {std::pair{0, 0}, {1, 0}, {0, 1}, {1, 1}}) {
    box.Add(x, y);
  }
  return box.Area();
}

// Charges forms and painting to the budget, and draws nothing once it is spent.
class BudgetedOutput : public SplashOutputDev {
 public:
  BudgetedOutput(SplashColorPtr paper, DrawingBudget& budget)
      : SplashOutputDev(splashModeMono8, 4, false, paper), budget_(budget) {}
  // True skips the form: drawForm does nothing.
  bool useDrawForm() override {
    ++budget_.forms;
    return budget_.Spent();
  }
  void fill(GfxState* state) override {
    if (Charge(PathArea(*state, 0))) {
      SplashOutputDev::fill(state);
    }
  }
  void eoFill(GfxState* state) override {
    if (Charge(PathArea(*state, 0))) {
      SplashOutputDev::eoFill(state);
    }
  }
  void stroke(GfxState* state) override {
    const double* ctm = state->getCTM();
    const double lineWidth =
        state->getLineWidth() * std::sqrt(std::abs(ctm[0] * ctm[3] - ctm[1] * ctm[2]));
    if (Charge(PathArea(*state, lineWidth / 2 + 1))) {
      SplashOutputDev::stroke(state);
    }
  }
  // A skipped image still goes through the base class, which reads past inline image data.
  void drawImage(GfxState* state, Object* ref, Stream* stream, int width, int height,
                 GfxImageColorMap* colours, bool interpolate, const int* maskColours,
                 bool inlineImage) override {
    if (Charge(ImageArea(*state))) {
      SplashOutputDev::drawImage(state, ref, stream, width, height, colours, interpolate,
                                 maskColours, inlineImage);
    } else {
      OutputDev::drawImage(state, ref, stream, width, height, colours, interpolate, maskColours,
                           inlineImage);
    }
  }
  void drawImageMask(GfxState* state, Object* ref, Stream* stream, int width, int height,
                     bool invert, bool interpolate, bool inlineImage) override {
    if (Charge(ImageArea(*state))) {
      SplashOutputDev::drawImageMask(state, ref, stream, width, height, invert, interpolate,
                                     inlineImage);
    } else {
      OutputDev::drawImageMask(state, ref, stream, width, height, invert, interpolate, inlineImage);
    }
  }

 private:
  bool Charge(double area) {
    budget_.painted += area;
    return !budget_.Spent();
  }

  DrawingBudget& budget_;
};

}  // namespace

void SilencePdfMessages() { SetUpRenderer(); }

bool DecodePdf(std::span<const std::uint8_t> bytes, const DecodeLimits& limits,
               const PageSink& sink, std::string& error) {
  SetUpRenderer();
  // The stream belongs to the document, which only reads the caller's bytes.
  PDFDoc document(new MemStream(reinterpret_cast<const char*>(bytes.data()), 0,
                                static_cast<Goffset>(bytes.size()), Object(objNull)));
  if (!document.isOk()) {
    error = document.getErrorCode() == errEncrypted ? "PDF: document is protected by a password"
                                                    : "PDF: damaged or unreadable document";
    return false;
  }
  const int pageCount = document.getNumPages();
  if (pageCount > limits.maxPages) {
    error = "PDF: more than " + std::to_string(limits.maxPages) + " pages";
    return false;
  }
  FileBudget fileBudget(limits);
  for (int index = 0; index < pageCount; ++index) {
    if (limits.pdfPages != nullptr && (static_cast<std::size_t>(index) >= limits.pdfPages->size() ||
                                       !(*limits.pdfPages)[index])) {
      continue;
    }
    const std::string where = " (page " + std::to_string(index + 1) + ")";
    Page* page = document.getPage(index + 1);
    if (page == nullptr) {
      error = "PDF: damaged page" + where;
      return false;
    }
    // Check the size the page will have at this resolution before anything is drawn.
    const PDFRectangle* box = page->getCropBox();
    double width = std::ceil(std::abs(box->x2 - box->x1) * limits.dpi / 72.0);
    double height = std::ceil(std::abs(box->y2 - box->y1) * limits.dpi / 72.0);
    if (page->getRotate() == 90 || page->getRotate() == 270) {
      std::swap(width, height);
    }
    if (!(width < 1e9 && height < 1e9)) {
      error = "PDF: page size out of range" + where;
      return false;
    }
    if (!CheckPageSize(static_cast<std::int64_t>(width), static_cast<std::int64_t>(height), limits,
                       error) ||
        !fileBudget.SpendPage(static_cast<std::int64_t>(width), static_cast<std::int64_t>(height),
                              error)) {
      error = "PDF: " + error + where;
      return false;
    }
    // Set aside what rendering will take before it starts; a page that needs more than the
    // whole run may hold is refused rather than rendered past it.
    const std::size_t renderSize =
        renderBytesPerPixel * static_cast<std::size_t>(width) * static_cast<std::size_t>(height);
    MemoryReservation rendering;
    if (!rendering.Reserve(renderSize, limits)) {
      error = limits.memory != nullptr && renderSize > limits.memory->Total()
                  ? "PDF: page too large to render (" +
                        std::to_string(static_cast<std::int64_t>(width)) + " x " +
                        std::to_string(static_cast<std::int64_t>(height)) + " pixels at " +
                        std::to_string(limits.dpi) +
                        " dpi need more than the run's memory budget of " +
                        std::to_string(limits.memory->Total() >> 20) + " MiB)" + where
                  : "PDF: out of memory" + where;
      return false;
    }
    // Grey pages need a quarter of the memory of colour ones and are what the reader looks at;
    // white paper, no smoothing.
    SplashColor paper = {0xff, 0xff, 0xff, 0xff};
    DrawingBudget drawing{&fileBudget, static_cast<double>(maxPaintings) * width * height};
    BudgetedOutput output(paper, drawing);
    output.setFontAntialias(false);
    output.setVectorAntialias(false);
    output.setFreeTypeHinting(false, false);
    output.startDoc(&document);
    document.displayPageSlice(&output, index + 1, limits.dpi, limits.dpi, 0, false, true, false, -1,
                              -1, -1, -1, StopDrawing, &drawing, nullptr, nullptr, true);
    if (drawing.tooMuch || drawing.outOfTime) {
      error = drawing.tooMuch
                  ? "PDF: too much drawing" + where
                  : "PDF: over the file's time budget of " +
                        std::to_string(limits.maxFileTime.count() / 1000) + " s" + where;
      return false;
    }
    const SplashBitmap* image = output.getBitmap();
    if (image == nullptr || image->getWidth() < 1 || image->getHeight() < 1 ||
        image->getWidth() > limits.maxSide || image->getHeight() > limits.maxSide) {
      error = "PDF: page cannot be rendered" + where;
      return false;
    }
    sink(PageView{image->getDataPtr(), image->getWidth(), image->getHeight(), image->getRowSize(),
                  PixelLayout::Grey8});
  }
  return true;
}

}  // namespace strixa
