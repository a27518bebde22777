// SPDX-License-Identifier: Apache-2.0
#include "formats/pdf.h"

#include <algorithm>
#include <chrono>
#include <climits>
#include <cmath>
#include <ctime>
#include <memory>
#include <poppler/Error.h>
#include <poppler/ErrorCodes.h>
#include <poppler/GlobalParams.h>
#include <poppler/PDFDoc.h>
#include <poppler/Page.h>
#include <poppler/SplashOutputDev.h>
#include <poppler/Stream.h>
#include <poppler/splash/SplashBitmap.h>

#include "formats/memoryBudget.h"

namespace strixa {

namespace {

// Drawing runs any number of operators, and forms may draw forms, each many times: a page of
// a few kilobytes can ask for a billion shapes. So each page is held to:
// - maxPaintings times its own area painted by fills, strokes and images (each charged the
//   part of its box that the clip leaves), what painting costs;
// - maxForms forms drawn, and maxDrawChecks of the renderer's asks whether to stop (it asks
//   every ten or so operators, but each form starts that count afresh): some five million
//   operators, a second or two of the costlier ones such as saving and restoring the state;
// - and the file's time.
// Once one is spent, forms are passed over, nothing more is painted and the page stops.
constexpr std::int64_t maxPaintings = 256;
constexpr std::int64_t maxForms = std::int64_t{1} << 16;
constexpr std::int64_t maxDrawChecks = std::int64_t{1} << 19;

// A damaged page makes the renderer report errors, and some damage is met again on every use:
// an object that fails to parse is parsed afresh, and reported, each time it is looked up, work
// the limits above do not see. So a page stops after maxErrors errors, and once a file's pages
// have reported any, the time spent drawing those pages may come to damagedTime plus a second
// for every damagedPixelsPerSecond pixels of the file's pages: the thread's processor time, so
// that a busy machine does not stop pages a quiet one reads.
constexpr std::int64_t maxErrors = std::int64_t{1} << 14;
constexpr std::chrono::milliseconds damagedTime{1000};
constexpr double damagedPixelsPerSecond = 16 << 20;

// A page whose drawing used more than this share of the limits, or met errors, is not worth
// drawing again at another resolution.
constexpr std::int64_t costlyShare = 16;

// The renderer keeps an alpha byte beside each grey one: a page takes twice its pixels.
constexpr std::size_t renderBytesPerPixel = 2;

// The processor time this thread has taken.
std::chrono::nanoseconds ThreadTime() {
  timespec now{};
  clock_gettime(CLOCK_THREAD_CPUTIME_ID, &now);
  return std::chrono::seconds(now.tv_sec) + std::chrono::nanoseconds(now.tv_nsec);
}

struct DrawingBudget {
  const FileBudget* file = nullptr;
  double paintLimit = 0;  // device pixels
  // Once errors come, the page stops drawing at this ThreadTime().
  std::chrono::nanoseconds damagedDeadline{};
  double painted = 0;
  std::int64_t forms = 0;
  std::int64_t checks = 0;
  std::int64_t errors = 0;
  bool tooMuch = false;
  bool outOfTime = false;
  bool tooManyErrors = false;
  bool damagedTooLong = false;

  bool Spent() {
    ++checks;
    if (painted > paintLimit || forms > maxForms || checks > maxDrawChecks) {
      tooMuch = true;
    } else if (errors > maxErrors) {
      tooManyErrors = true;
    } else if (errors > 0 && ThreadTime() > damagedDeadline) {
      // Each check after an error looks at the clock: the work between two checks is bounded,
      // but an error may stand for parsing much of the file.
      damagedTooLong = true;
    } else if ((checks & 255) == 0 && file->TimeIsUp()) {
      outOfTime = true;
    }
    return tooMuch || outOfTime || tooManyErrors || damagedTooLong;
  }
  bool Costly() const {
    return errors > 0 || painted > paintLimit / costlyShare || forms > maxForms / costlyShare ||
           checks > maxDrawChecks / costlyShare;
  }
};

// The renderer reports errors through one callback for the whole process, which is not told the
// document. A thread draws one page at a time, so an error on a thread belongs to the page that
// thread is drawing: each thread keeps its own pointer to it, set only while the page is drawn,
// and nothing is shared between threads.
thread_local DrawingBudget* pageOnThisThread = nullptr;

void CountError(ErrorCategory, Goffset, const char*) {
  if (pageOnThisThread != nullptr) {
    ++pageOnThisThread->errors;
  }
}

// Charges this thread's renderer errors to budget while it lives.
class ErrorsChargedTo {
 public:
  explicit ErrorsChargedTo(DrawingBudget& budget) { pageOnThisThread = &budget; }
  ErrorsChargedTo(const ErrorsChargedTo&) = delete;
  ErrorsChargedTo& operator=(const ErrorsChargedTo&) = delete;
  ~ErrorsChargedTo() { pageOnThisThread = nullptr; }
};

// The renderer's settings, made once for the whole process before its first document; its
// messages are counted, never printed. A program that set up the renderer itself keeps its
// settings.
void SetUpRenderer() {
  static const bool ready = [] {
    if (!globalParams) {
      globalParams = std::make_unique<GlobalParams>();
    }
    setErrorCallback(CountError);
    return true;
  }();
  (void)ready;
}

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
  std::int64_t pixels = 0;
  std::chrono::nanoseconds damagedSpent{};  // drawing pages that met errors
  for (int index = limits.firstPage - 1; index < pageCount; ++index) {
    if (IsPastLastPage(index + 1, limits)) {
      break;
    }
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
    pixels += static_cast<std::int64_t>(width) * static_cast<std::int64_t>(height);
    const std::chrono::nanoseconds start = ThreadTime();
    const auto damagedLeft =
        damagedTime - damagedSpent +
        std::chrono::duration_cast<std::chrono::nanoseconds>(
            std::chrono::duration<double>(static_cast<double>(pixels) / damagedPixelsPerSecond));
    DrawingBudget drawing{&fileBudget, static_cast<double>(maxPaintings) * width * height,
                          start + damagedLeft};
    BudgetedOutput output(paper, drawing);
    output.setFontAntialias(false);
    output.setVectorAntialias(false);
    output.setFreeTypeHinting(false, false);
    {
      const ErrorsChargedTo charged(drawing);
      output.startDoc(&document);
      document.displayPageSlice(&output, index + 1, limits.dpi, limits.dpi, 0, false, true, false,
                                -1, -1, -1, -1, StopDrawing, &drawing, nullptr, nullptr, true);
    }
    if (drawing.errors > 0) {
      damagedSpent += ThreadTime() - start;
    }
    if (drawing.tooMuch) {
      error = "PDF: too much drawing" + where;
      return false;
    }
    if (drawing.tooManyErrors || drawing.damagedTooLong) {
      error = drawing.tooManyErrors
                  ? "PDF: damaged page (more than " + std::to_string(maxErrors) +
                        " errors while drawing)" + where
                  : "PDF: damaged page (errors while drawing, which took too long)" + where;
      return false;
    }
    if (drawing.outOfTime) {
      error = "PDF: over the file's time budget of " +
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
                  PixelLayout::Grey8, drawing.Costly(), index + 1});
  }
  return true;
}

}  // namespace strixa
