// SPDX-License-Identifier: Apache-2.0
// Photo benchmark: draws labels of every symbology with random data, lays them into photo-sized
// scenes with what cameras and poor scans do to them (perspective, turns, curved surfaces,
// uneven light, backgrounds, low contrast, blur, noise, JPEG, tight margins, small and large
// modules, light on dark), and scenes without any symbol; then reads every picture with Strixa's
// document engine (normal and fine) and with the open readers zxing-cpp and ZBar, on the same
// pixels, and counts per category and reader the correct reads, misses and wrong lines, and the
// time each reader took; beside them the second engine (src/robust) reads the same pixels. Every
// picture follows from the seed and its index alone (--picture).
//
// A further reader plugs in as one Engine: a class whose Read takes the grey picture and returns
// family and text per symbol found, plus one line in MakeEngines (see FunctionEngine for a plain
// function).
// clang-format off
// Before zxing-cpp, whose error macros would rename ZBar's C++ exception classes.
#include <zbar.h>
// clang-format on

#include <ZXing/ReadBarcode.h>
#include <algorithm>
#include <array>
#include <atomic>
#include <chrono>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <string>
#include <string_view>
#include <thread>
#include <tuple>
#include <utility>
#include <vector>

#include "image/image.h"
#include "robust/robust.h"
#include "strixa/strixa.h"
#include "support/bmpWriter.h"
#include "support/builders.h"
#include "support/canvas.h"
#include "support/code128Encoder.h"
#include "support/code39Encoder.h"
#include "support/photoDamage.h"
#include "support/pictureRun.h"
#include "support/randomSymbols.h"
#include "support/readForms.h"
#if STRIXA_PHOTO_JPEG
#include "support/jpegRoundTrip.h"
#endif

namespace strixa {

namespace {

// ---------------------------------------------------------------------------------------------
// Readers

// A picture as every reader gets it: 8-bit grey, top row first, rows without gaps.
struct GreyView {
  int width = 0;
  int height = 0;
  const std::uint8_t* pixels = nullptr;
};

// One reader, made once per worker thread, so it may keep state between pictures.
class Engine {
 public:
  virtual ~Engine() = default;
  virtual std::vector<Found> Read(const GreyView& picture) = 0;
};

// Strixa through the C library, as its users call it: the document engine unless told.
class StrixaEngine : public Engine {
 public:
  explicit StrixaEngine(bool fine, strixa_engine engine = STRIXA_ENGINE_DOCUMENT) {
    strixa_options options = strixa_default_options();
    options.fine = fine ? 1 : 0;
    options.symbologies = STRIXA_ALL_SYMBOLOGIES;
    if (strixa_reader_create(&options, &reader) != STRIXA_OK) {
      reader = nullptr;
    } else if (strixa_reader_set_engine(reader, engine) != STRIXA_OK) {
      strixa_reader_destroy(reader);
      reader = nullptr;
    }
  }
  ~StrixaEngine() override { strixa_reader_destroy(reader); }
  StrixaEngine(const StrixaEngine&) = delete;
  StrixaEngine& operator=(const StrixaEngine&) = delete;

  std::vector<Found> Read(const GreyView& picture) override {
    const strixa_barcode* barcodes = nullptr;
    std::size_t count = 0;
    std::vector<Found> found;
    if (reader == nullptr ||
        strixa_read_pixels(reader, picture.pixels, picture.width, picture.height, picture.width,
                           STRIXA_GREY8, &barcodes, &count) != STRIXA_OK) {
      return found;
    }
    for (std::size_t i = 0; i < count; ++i) {
      found.push_back(NormalForm(FamilyOf(barcodes[i].symbology),
                                 std::string_view(barcodes[i].data, barcodes[i].data_length)));
    }
    return found;
  }

 private:
  static Family FamilyOf(strixa_symbology symbology) {
    switch (symbology) {
      case STRIXA_EAN13:
      case STRIXA_UPCA:
        return Family::ean13;
      case STRIXA_EAN8:
        return Family::ean8;
      case STRIXA_CODE128:
      case STRIXA_EAN128:
        return Family::code128;
      case STRIXA_CODE39:
        return Family::code39;
      case STRIXA_TWO_OF_FIVE:
        return Family::twoOfFive;
      case STRIXA_INTERLEAVED_TWO_OF_FIVE:
        return Family::interleaved;
    }
    return Family::none;
  }

  strixa_reader* reader = nullptr;
};

// zxing-cpp at its most thorough: try-harder and try-rotate, the symbologies it shares with us.
class ZxingEngine : public Engine {
 public:
  ZxingEngine() {
    using ZXing::BarcodeFormat;
    hints.setTryHarder(true);
    hints.setTryRotate(true);
    hints.setFormats(BarcodeFormat::EAN13 | BarcodeFormat::UPCA | BarcodeFormat::EAN8 |
                     BarcodeFormat::Code128 | BarcodeFormat::Code39 | BarcodeFormat::ITF);
  }

  std::vector<Found> Read(const GreyView& picture) override {
    using ZXing::BarcodeFormat;
    std::vector<Found> found;
    const ZXing::ImageView view(picture.pixels, picture.width, picture.height,
                                ZXing::ImageFormat::Lum);
    // One result: zxing-cpp 1.4 asserts when it merges the lines of several linear results
    // (Result::operator==, lineCount() == 1), which ReadBarcodes meets on busy pictures.
    const ZXing::Result result = ZXing::ReadBarcode(view, hints);
    if (result.isValid()) {
      const ZXing::ByteArray& bytes = result.bytes();
      const std::string text(bytes.begin(), bytes.end());
      Family family = Family::none;
      switch (result.format()) {
        case BarcodeFormat::EAN13:
        case BarcodeFormat::UPCA:
          family = Family::ean13;
          break;
        case BarcodeFormat::EAN8:
          family = Family::ean8;
          break;
        case BarcodeFormat::Code128:
          family = Family::code128;
          break;
        case BarcodeFormat::Code39:
          family = Family::code39;
          break;
        case BarcodeFormat::ITF:
          family = Family::interleaved;
          break;
        default:
          break;
      }
      found.push_back(NormalForm(family, text));
    }
    return found;
  }

 private:
  ZXing::DecodeHints hints;
};

// ZBar's image scanner with the same symbologies enabled and its other settings left as shipped.
class ZbarEngine : public Engine {
 public:
  ZbarEngine() : scanner(zbar::zbar_image_scanner_create()) {
    zbar::zbar_image_scanner_set_config(scanner, zbar::ZBAR_NONE, zbar::ZBAR_CFG_ENABLE, 0);
    for (zbar::zbar_symbol_type_t type : {zbar::ZBAR_EAN13, zbar::ZBAR_UPCA, zbar::ZBAR_EAN8,
                                          zbar::ZBAR_CODE128, zbar::ZBAR_CODE39, zbar::ZBAR_I25}) {
      zbar::zbar_image_scanner_set_config(scanner, type, zbar::ZBAR_CFG_ENABLE, 1);
    }
  }
  ~ZbarEngine() override { zbar::zbar_image_scanner_destroy(scanner); }
  ZbarEngine(const ZbarEngine&) = delete;
  ZbarEngine& operator=(const ZbarEngine&) = delete;

  std::vector<Found> Read(const GreyView& picture) override {
    std::vector<Found> found;
    zbar::zbar_image_t* image = zbar::zbar_image_create();
    zbar::zbar_image_set_format(image, zbar_fourcc('Y', '8', '0', '0'));
    zbar::zbar_image_set_size(image, static_cast<unsigned>(picture.width),
                              static_cast<unsigned>(picture.height));
    zbar::zbar_image_set_data(
        image, picture.pixels,
        static_cast<unsigned long>(picture.width) * static_cast<unsigned long>(picture.height),
        nullptr);
    if (zbar::zbar_scan_image(scanner, image) > 0) {
      for (const zbar::zbar_symbol_t* symbol = zbar::zbar_image_first_symbol(image);
           symbol != nullptr; symbol = zbar::zbar_symbol_next(symbol)) {
        Family family = Family::none;
        switch (zbar::zbar_symbol_get_type(symbol)) {
          case zbar::ZBAR_EAN13:
          case zbar::ZBAR_UPCA:
            family = Family::ean13;
            break;
          case zbar::ZBAR_EAN8:
            family = Family::ean8;
            break;
          case zbar::ZBAR_CODE128:
            family = Family::code128;
            break;
          case zbar::ZBAR_CODE39:
            family = Family::code39;
            break;
          case zbar::ZBAR_I25:
            family = Family::interleaved;
            break;
          default:
            break;
        }
        found.push_back(
            NormalForm(family, std::string_view(zbar::zbar_symbol_get_data(symbol),
                                                zbar::zbar_symbol_get_data_length(symbol))));
      }
    }
    zbar::zbar_image_destroy(image);
    return found;
  }

 private:
  zbar::zbar_image_scanner_t* scanner;
};

// A reader that is one plain function, such as a second engine's entry point.
class FunctionEngine : public Engine {
 public:
  using Function = std::vector<Found> (*)(const GreyView& picture);
  explicit FunctionEngine(Function function) : function(function) {}
  std::vector<Found> Read(const GreyView& picture) override { return function(picture); }

 private:
  Function function;
};

// The second engine (src/robust) on the same grey picture, its results scored as the library's.
std::vector<Found> ReadWithRobust(const GreyView& picture) {
  std::vector<Found> found;
  Image image;
  if (!ViewPixels(picture.pixels, picture.width, picture.height, picture.width, 1, image)) {
    return found;
  }
  for (const RobustBarcode& barcode : ReadRobust(image)) {
    found.push_back(NormalFormOfResult(barcode.symbology, barcode.text));
  }
  return found;
}

// Bits of the families a reader reads at all; pictures of others are not its misses.
constexpr unsigned FamilyBit(Family family) { return 1u << static_cast<unsigned>(family); }
constexpr unsigned allFamilies = FamilyBit(Family::ean13) | FamilyBit(Family::ean8) |
                                 FamilyBit(Family::code128) | FamilyBit(Family::code39) |
                                 FamilyBit(Family::twoOfFive) | FamilyBit(Family::interleaved);
constexpr unsigned peerFamilies = allFamilies & ~FamilyBit(Family::twoOfFive);

struct EngineEntry {
  std::string_view name;
  unsigned families;
  std::unique_ptr<Engine> (*make)();
};

// The readers compared, in the columns' order. A new engine is one more line here.
const std::vector<EngineEntry>& Engines() {
  static const std::vector<EngineEntry> engines = {
      {"strixa", allFamilies, [] { return std::unique_ptr<Engine>(new StrixaEngine(false)); }},
      {"strixa fine", allFamilies, [] { return std::unique_ptr<Engine>(new StrixaEngine(true)); }},
      {"robust", allFamilies,
       [] { return std::unique_ptr<Engine>(new FunctionEngine(ReadWithRobust)); }},
      {"both", allFamilies,
       [] { return std::unique_ptr<Engine>(new StrixaEngine(false, STRIXA_ENGINE_BOTH)); }},
      {"zxing-cpp", peerFamilies, [] { return std::unique_ptr<Engine>(new ZxingEngine); }},
      {"zbar", peerFamilies, [] { return std::unique_ptr<Engine>(new ZbarEngine); }},
  };
  return engines;
}

std::vector<std::unique_ptr<Engine>> MakeEngines() {
  std::vector<std::unique_ptr<Engine>> engines;
  for (const EngineEntry& entry : Engines()) {
    engines.push_back(entry.make());
  }
  return engines;
}

// ---------------------------------------------------------------------------------------------
// Pictures

enum Category {
  baselineCategory,
  perspectiveCategory,
  rotationCategory,
  cylinderCategory,
  lightCategory,
  backgroundCategory,
  contrastCategory,
  blurCategory,
  noiseCategory,
  jpegCategory,
  marginCategory,
  moduleCategory,
  invertedCategory,
  noSymbolCategory,
  categoryCount,
};

constexpr std::array<std::string_view, categoryCount> categoryNames = {
    "baseline",    "perspective <=30", "rotation 0-360", "cylinder",  "uneven light",
    "backgrounds", "low contrast",     "blur <=2 mod",   "noise",     "JPEG q30-90",
    "margin 0-10", "1-6 px/module",    "light on dark",  "no symbol",
};

constexpr int symbolKinds = textPageKind;  // the kinds before the text page are symbols

struct Photo {
  int index = 0;
  Category category = baselineCategory;
  SymbolKind kind = ean13Kind;
  Drawn drawn;
  std::string description;
  int width = 0;
  int height = 0;
  std::vector<std::uint8_t> grey;
};

// A label's symbol: its pixels along the reading direction and what reading it right gives.
struct LabelSymbol {
  std::string pixels;
  std::string caption;
  Drawn drawn;
};

LabelSymbol MakeLabelSymbol(SymbolKind kind, int modulePixels, Random& random) {
  LabelSymbol label;
  switch (kind) {
    case code128AKind:
    case code128BKind:
    case code128CKind:
    case ean128Kind: {
      // Drawn here rather than by MakeSymbol: the data bytes need the symbol's values.
      std::vector<int> values;
      std::string caption;
      if (kind == ean128Kind) {
        values = {105, 102};
        for (int pairs = random.Int(1, 8), i = 0; i < pairs; ++i) {
          values.push_back(random.Int(0, 99));
          caption += Code128Text(2, values.back());
        }
      } else {
        std::tie(values, caption) = RandomCode128(random, kind - code128AKind);
      }
      label.pixels = Widen(EncodeCode128(values), modulePixels);
      label.caption = caption;
      label.drawn = {Family::code128, {Code128Data(values)}};
      return label;
    }
    case code39Ratio2Kind:
    case code39Ratio3Kind: {
      // Half the symbols carry a check character; reading it with or without that is right.
      const std::string text = RandomCode39Text(random);
      const bool checked = random.Chance(0.5);
      const std::string drawn = checked ? text + Code39Check(text) : text;
      const int ratio = kind == code39Ratio2Kind ? 2 : 3;
      label.pixels =
          Code39Pixels("*" + drawn + "*", modulePixels, ratio * modulePixels, modulePixels);
      label.caption = "*" + drawn + "*";
      label.drawn = {Family::code39, {drawn}};
      if (checked) {
        label.drawn.texts.push_back(text);
      }
      return label;
    }
    default:
      break;
  }
  const Symbol symbol = MakeSymbol(kind, modulePixels, random);
  label.pixels = symbol.pixels;
  label.caption = symbol.caption;
  const std::string_view line = symbol.expected;
  const std::string_view text = line.substr(line.find('\t') + 1);
  const Family family = kind == ean13Kind || kind == upcAKind ? Family::ean13
                        : kind == ean8Kind                    ? Family::ean8
                        : kind == twoOfFiveKind               ? Family::twoOfFive
                                                              : Family::interleaved;
  label.drawn = {family, {NormalForm(family, text).text}};
  return label;
}

// Paper and ink of coloured labels, as grey: every reader here gets grey pixels, so a colour
// counts by its luminance.
constexpr float Luma(int red, int green, int blue) {
  return 0.299f * static_cast<float>(red) + 0.587f * static_cast<float>(green) +
         0.114f * static_cast<float>(blue);
}
constexpr std::array<float, 6> colouredPapers = {
    Luma(255, 236, 120), Luma(255, 190, 200), Luma(170, 210, 250),
    Luma(200, 165, 120), Luma(180, 240, 180), Luma(250, 160, 60),
};
constexpr std::array<float, 4> colouredInks = {
    Luma(20, 30, 120),
    Luma(130, 10, 20),
    Luma(20, 80, 30),
    Luma(60, 40, 30),
};

struct Drawing {
  double modulePixels = 0;
  double tilt = 0, turn = 0, wrap = 0;
  double blurSigma = 0, noise = 0;
  int margin = -1, quality = 0;
};

std::string Describe(const Photo& photo, const Drawing& d) {
  char text[320];
  std::snprintf(
      text, sizeof text,
      "%s, %s, %dx%d, %.2f px/module, tilt %.1f, turn %.1f, wrap %.0f, margin %d, "
      "blur %.2f, noise %.1f, jpeg %d",
      std::string(categoryNames[photo.category]).c_str(),
      photo.category == noSymbolCategory ? "no symbol" : std::string(kindNames[photo.kind]).c_str(),
      photo.width, photo.height, d.modulePixels, d.tilt, d.turn, d.wrap, d.margin, d.blurSigma,
      d.noise, d.quality);
  return text;
}

// A scene without symbols: pages of text, surfaces and clutter of our own drawing.
void DrawEmptyScene(Canvas& scene, Random& random) {
  const int choice = random.Int(0, 2);
  if (choice == 1) {
    DrawTexture(scene, random);
  }
  DrawClutter(scene, random, choice == 2 ? random.Int(10, 40) : random.Int(0, 6));
  if (choice == 0) {
    int scale = 0;
    const float paper = static_cast<float>(random.Uniform(200, 255));
    const Canvas page =
        DrawTextPage(random, paper, static_cast<float>(random.Uniform(0, 70)), scale);
    Quad quad = TiltedQuad(page.width, page.height, random.Uniform(0.6, 1.2), random.Uniform(0, 25),
                           random.Uniform(0, 180), random.Uniform(-20, 20), scene.width);
    if (PlaceInside(quad, scene.width, scene.height, random)) {
      PasteQuad(scene, page, quad);
    }
  }
}

Photo DrawPhoto(std::uint64_t seed, int index) {
  Random random(
      Random(seed * 0x9E3779B97F4A7C15ull + 0x51ED2701ull * static_cast<std::uint64_t>(index + 1))
          .Next());
  Photo photo;
  photo.index = index;
  photo.category = static_cast<Category>(index % categoryCount);
  photo.kind = static_cast<SymbolKind>(index / categoryCount % symbolKinds);
  const Category category = photo.category;
  Drawing d;

  const double size = random.Uniform(0, 1);
  photo.width = size < 0.8 ? 640 : size < 0.9 ? 960 : 1280;
  photo.height = photo.width * 3 / 4;
  const bool coloured = category == backgroundCategory;
  Canvas scene = MakeCanvas(photo.width, photo.height, 0);
  if (coloured && random.Chance(0.5)) {
    DrawTexture(scene, random);
  } else {
    const float desk = coloured ? colouredPapers[static_cast<std::size_t>(random.Int(0, 5))] *
                                      static_cast<float>(random.Uniform(0.4, 1))
                                : static_cast<float>(random.Uniform(70, 200));
    scene = MakeCanvas(photo.width, photo.height, desk);
  }
  DrawClutter(scene, random, coloured ? random.Int(4, 14) : random.Int(0, 3));

  // Where the label lies, for a glare on it.
  Point labelCentre = {photo.width / 2.0, photo.height / 2.0};
  double labelReach = photo.width / 2.0;
  if (category == noSymbolCategory) {
    DrawEmptyScene(scene, random);
  } else {
    d.modulePixels = category == moduleCategory ? random.Uniform(1, 6) : random.Uniform(1.5, 4);
    const int labelModule = static_cast<int>(std::ceil(d.modulePixels));
    const LabelSymbol symbol = MakeLabelSymbol(photo.kind, labelModule, random);
    photo.drawn = symbol.drawn;
    const float paper = coloured ? colouredPapers[static_cast<std::size_t>(random.Int(0, 5))]
                                 : static_cast<float>(random.Uniform(200, 255));
    const float ink = coloured ? colouredInks[static_cast<std::size_t>(random.Int(0, 3))]
                               : static_cast<float>(random.Uniform(0, 70));
    d.margin = category == marginCategory ? random.Int(0, 10) : random.Int(10, 16);
    const int quiet = d.margin * labelModule;
    const int length = static_cast<int>(symbol.pixels.size());
    const int barHeight =
        std::max(20 * labelModule, static_cast<int>(length * random.Uniform(0.2, 0.7)));
    const bool captioned = random.Chance(0.5);
    const int captionScale = std::clamp(labelModule, 1, 3);
    const int top = random.Int(2, 8) * labelModule;
    const int bottom =
        random.Int(2, 8) * labelModule + (captioned ? (glyphRows + 3) * captionScale : 0);
    Canvas label = MakeCanvas(2 * quiet + length, top + barHeight + bottom, paper);
    for (int i = 0; i < length; ++i) {
      if (symbol.pixels[static_cast<std::size_t>(i)] == '1') {
        FillBox(label, quiet + i, top, 1, barHeight, ink);
      }
    }
    if (captioned) {
      DrawText(label, symbol.caption,
               quiet + (length - TextWidth(symbol.caption, captionScale, false)) / 2,
               top + barHeight + 2 * captionScale, captionScale, false, ink);
    }
    if (category == marginCategory) {
      // Around a tight label lies something darker than its paper.
      const float surround = static_cast<float>(paper * random.Uniform(0.2, 0.7));
      for (float& grey : scene.grey) {
        grey = std::min(grey, surround);
      }
    }

    d.tilt = category == perspectiveCategory ? random.Uniform(5, 30) : random.Uniform(0, 8);
    d.turn = category == rotationCategory ? random.Uniform(0, 360) : random.Uniform(-5, 5);
    d.wrap = category == cylinderCategory ? random.Uniform(40, 150) : 0;
    const double tiltAxis = random.Uniform(0, 180);
    Point placed;
    double scale = d.modulePixels / labelModule;
    // Shrunk until it fits: a label larger than the picture is photographed from further away.
    for (int attempt = 0; attempt < 20; ++attempt, scale *= 0.85) {
      if (d.wrap > 0) {
        const double halfWidth = CylinderWidth(label.width, scale, d.wrap) / 2;
        Quad box = TiltedQuad(2 * halfWidth, label.height, 1, 0, 0, d.turn, photo.width);
        if (PlaceInside(box, photo.width, photo.height, random)) {
          const Point centre = {(box[0].x + box[2].x) / 2, (box[0].y + box[2].y) / 2};
          PasteCylinder(scene, label, centre, scale, d.wrap, d.turn);
          placed = centre;
          break;
        }
        continue;
      }
      Quad quad =
          TiltedQuad(label.width, label.height, scale, d.tilt, tiltAxis, d.turn, photo.width);
      if (PlaceInside(quad, photo.width, photo.height, random)) {
        PasteQuad(scene, label, quad);
        placed = {(quad[0].x + quad[2].x) / 2, (quad[0].y + quad[2].y) / 2};
        break;
      }
    }
    d.modulePixels = scale * labelModule;
    labelCentre = placed;
    labelReach = label.width * scale / 2;
  }

  if (category == lightCategory) {
    ShadeGradient(scene, random.Uniform(0, 360), random.Uniform(0.3, 0.8),
                  random.Uniform(0.95, 1.1));
    if (random.Chance(0.7)) {
      // A glare from a lamp or flash on or beside the label.
      AddSpot(scene,
              {labelCentre.x + random.Uniform(-labelReach, labelReach),
               labelCentre.y + random.Uniform(-labelReach / 2, labelReach / 2)},
              random.Uniform(10, 100), random.Uniform(0.4, 0.95));
    }
  } else if (category == contrastCategory) {
    ScaleContrast(scene, static_cast<float>(random.Uniform(90, 170)), random.Uniform(0.1, 0.35));
  } else if (category == invertedCategory) {
    InvertGrey(scene);
  }
  // Every camera blurs a little and every sensor adds some noise.
  d.blurSigma = category == blurCategory ? random.Uniform(0.25, 1) * d.modulePixels
                                         : random.Uniform(0.3, 0.8);
  d.noise = category == noiseCategory ? random.Uniform(8, 45) : random.Uniform(1, 4);
  Blur(scene, d.blurSigma);
  AddNoise(scene, d.noise, random);
  ClipGrey(scene);
  photo.grey = GreyBytes(scene);
#if STRIXA_PHOTO_JPEG
  if (category == jpegCategory) {
    d.quality = random.Int(30, 90);
    std::vector<std::uint8_t> decoded;
    std::size_t fileBytes = 0;
    if (JpegRoundTrip(photo.grey, photo.width, photo.height, d.quality, decoded, fileBytes)) {
      photo.grey = std::move(decoded);
    }
  }
#endif
  photo.description = Describe(photo, d);
  return photo;
}

// The JPEG category needs libjpeg; without it, its pictures are skipped.
constexpr bool HasCategory(Category category) {
  return category != jpegCategory || STRIXA_PHOTO_JPEG;
}

// ---------------------------------------------------------------------------------------------
// Counting

struct Tally {
  long pictures = 0;  // symbol pictures of families the reader reads, or pictures without one
  long correct = 0;
  long missed = 0;
  long wrongLines = 0;
  long wrongPictures = 0;
  long timed = 0;  // every picture read, whatever its family
  double seconds = 0;
  long vgaPictures = 0;  // the 640 x 480 ones, timed apart for the speed target
  double vgaSeconds = 0;

  void Add(const Tally& o) {
    pictures += o.pictures;
    correct += o.correct;
    missed += o.missed;
    wrongLines += o.wrongLines;
    wrongPictures += o.wrongPictures;
    timed += o.timed;
    seconds += o.seconds;
    vgaPictures += o.vgaPictures;
    vgaSeconds += o.vgaSeconds;
  }
};

struct WrongLine {
  int index = 0;
  std::string reader;
  std::string expected;
  std::string printed;
  std::string description;
};

struct Counts {
  // [reader][category] and [reader][symbol kind]
  std::vector<std::array<Tally, categoryCount>> byCategory;
  std::vector<std::array<Tally, symbolKinds>> byKind;
  std::vector<WrongLine> wrongLines;
  // --missed: the pictures of each category that reader missed.
  std::array<std::vector<int>, categoryCount> missed;

  explicit Counts(std::size_t readers) : byCategory(readers), byKind(readers) {}

  void Add(const Counts& other) {
    for (std::size_t r = 0; r < byCategory.size(); ++r) {
      for (std::size_t c = 0; c < categoryCount; ++c) {
        byCategory[r][c].Add(other.byCategory[r][c]);
      }
      for (std::size_t k = 0; k < symbolKinds; ++k) {
        byKind[r][k].Add(other.byKind[r][k]);
      }
    }
    wrongLines.insert(wrongLines.end(), other.wrongLines.begin(), other.wrongLines.end());
    for (std::size_t c = 0; c < categoryCount; ++c) {
      missed[c].insert(missed[c].end(), other.missed[c].begin(), other.missed[c].end());
    }
  }
};

std::string Shown(const Found& found) {
  std::string shown(FamilyName(found.family));
  shown += ": ";
  for (unsigned char c : found.text) {
    if (c < 0x20 || c >= 0x7F) {
      char escaped[8];
      std::snprintf(escaped, sizeof escaped, "\\x%02X", c);
      shown += escaped;
    } else {
      shown += static_cast<char>(c);
    }
  }
  return shown;
}

struct Options : PictureRun {
  Options() { pictures = 2000; }
  // The readers that read, by name, comma-separated; empty: all. The others' columns stay empty,
  // so a change to one reader is measured without the slow peers' time.
  std::string readers;
  // --missed R: list the pictures reader R missed, by category.
  std::string missedOf;
  // --common: reads and misses count only on symbologies every chosen reader reads, so each
  // category's columns compare the same pictures.
  bool common = false;
  // --category C: of the pictures numbered, only those of the category whose row name begins
  // with C; -1 for all.
  int category = -1;

  bool Reads(std::string_view name) const {
    if (readers.empty()) {
      return true;
    }
    for (std::size_t from = 0; from <= readers.size();) {
      const std::size_t comma = std::min(readers.find(',', from), readers.size());
      if (std::string_view(readers).substr(from, comma - from) == name) {
        return true;
      }
      from = comma + 1;
    }
    return false;
  }
};

void SavePicture(const Options& options, const Photo& photo) {
  const std::string path = options.saveFolder + "/photo-" + std::to_string(options.seed) + "-" +
                           std::to_string(photo.index) + ".bmp";
  const std::vector<std::uint8_t> bitmap = WriteGreyBmp(photo.width, photo.height, photo.grey);
  if (std::FILE* out = std::fopen(path.c_str(), "wb")) {
    std::fwrite(bitmap.data(), 1, bitmap.size(), out);
    std::fclose(out);
  } else {
    std::perror(path.c_str());
  }
}

void ReadOnePhoto(const Options& options, int index, std::vector<std::unique_ptr<Engine>>& engines,
                  Counts& counts) {
  if (!HasCategory(static_cast<Category>(index % categoryCount)) ||
      (options.category >= 0 && index % categoryCount != options.category)) {
    return;
  }
  const Photo photo = DrawPhoto(options.seed, index);
  const GreyView view{photo.width, photo.height, photo.grey.data()};
  const std::string expected = photo.drawn.family == Family::none
                                   ? "nothing"
                                   : Shown({photo.drawn.family, photo.drawn.texts.front()});
  if (options.onlyPicture >= 0) {
    std::printf("picture %d: %s\n  drawn: %s\n", index, photo.description.c_str(),
                expected.c_str());
  }
  bool anyWrong = false;
  for (std::size_t r = 0; r < engines.size(); ++r) {
    const EngineEntry& entry = Engines()[r];
    if (!options.Reads(entry.name)) {
      continue;
    }
    const auto start = std::chrono::steady_clock::now();
    const std::vector<Found> found = engines[r]->Read(view);
    const double seconds =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    Tally tally;
    tally.timed = 1;
    tally.seconds = seconds;
    if (photo.width == 640) {
      tally.vgaPictures = 1;
      tally.vgaSeconds = seconds;
    }
    unsigned families = entry.families;
    if (options.common) {
      for (const EngineEntry& other : Engines()) {
        if (options.Reads(other.name)) {
          families &= other.families;
        }
      }
    }
    const bool counted =
        photo.drawn.family == Family::none || (families & FamilyBit(photo.drawn.family)) != 0;
    bool correct = false;
    for (const Found& line : found) {
      if (photo.drawn.Matches(line)) {
        correct = true;
        continue;
      }
      ++tally.wrongLines;
      counts.wrongLines.push_back(
          {index, std::string(entry.name), expected, Shown(line), photo.description});
    }
    if (options.onlyPicture >= 0) {
      std::printf("  %-12s %.1f ms:", std::string(entry.name).c_str(), 1000 * seconds);
      for (const Found& line : found) {
        std::printf(" [%s]", Shown(line).c_str());
      }
      std::printf("\n");
    }
    tally.wrongPictures = tally.wrongLines > 0 ? 1 : 0;
    anyWrong = anyWrong || tally.wrongLines > 0;
    if (counted) {
      tally.pictures = 1;
      tally.correct = correct ? 1 : 0;
      tally.missed = !correct && photo.drawn.family != Family::none ? 1 : 0;
      if (tally.missed != 0 && entry.name == options.missedOf) {
        counts.missed[photo.category].push_back(index);
      }
    }
    counts.byCategory[r][photo.category].Add(tally);
    if (photo.category != noSymbolCategory) {
      counts.byKind[r][photo.kind].Add(tally);
    }
  }
  if ((anyWrong || options.onlyPicture >= 0) && !options.saveFolder.empty()) {
    SavePicture(options, photo);
  }
}

// ---------------------------------------------------------------------------------------------
// Report

void PrintTableHeader(std::string_view first) {
  std::printf("%-18s", std::string(first).c_str());
  for (const EngineEntry& entry : Engines()) {
    std::printf(" | %-21s", std::string(entry.name).c_str());
  }
  std::printf("\n%-18s", "");
  for (std::size_t r = 0; r < Engines().size(); ++r) {
    std::printf(" | %5s %4s %4s %5s", "read", "miss", "wrng", "ms");
  }
  std::printf("\n");
}

void PrintTableRow(std::string_view name, const std::vector<Tally>& tallies) {
  std::printf("%-18s", std::string(name).c_str());
  for (const Tally& t : tallies) {
    if (t.timed == 0) {
      std::printf(" | %5s %4s %4s %5s", "-", "-", "-", "-");
    } else if (t.pictures == 0) {
      std::printf(" | %5s %4s %4ld %5.1f", "-", "-", t.wrongLines, 1000 * t.seconds / t.timed);
    } else {
      std::printf(" | %5ld %4ld %4ld %5.1f", t.correct, t.missed, t.wrongLines,
                  1000 * t.seconds / t.timed);
    }
  }
  std::printf("\n");
}

void PrintReport(const Options& options, const Counts& counts, double seconds) {
  const std::size_t readers = Engines().size();
  std::printf("Photo benchmark: pictures %d..%d, seed %llu, %d threads, %.1f s%s\n", options.first,
              options.first + options.pictures - 1, static_cast<unsigned long long>(options.seed),
              options.threads, seconds,
              STRIXA_PHOTO_JPEG ? "" : " (no libjpeg: JPEG category skipped)");
  std::printf(
      "read = right text; miss = symbol without it; wrng = lines that are not the drawn symbol's "
      "(any line on a picture without one); ms = mean time per picture. Peers do not read plain "
      "2 of 5: those pictures count only their wrong lines.\n\n");
  PrintTableHeader("category");
  std::vector<Tally> symbols(readers), all(readers);
  for (int c = 0; c < categoryCount; ++c) {
    std::vector<Tally> row(readers);
    for (std::size_t r = 0; r < readers; ++r) {
      row[r] = counts.byCategory[r][static_cast<std::size_t>(c)];
      all[r].Add(row[r]);
      if (c != noSymbolCategory) {
        symbols[r].Add(row[r]);
      }
    }
    if (HasCategory(static_cast<Category>(c))) {
      PrintTableRow(categoryNames[static_cast<std::size_t>(c)], row);
    }
  }
  PrintTableRow("all symbols", symbols);
  PrintTableRow("all pictures", all);

  std::printf("\n");
  PrintTableHeader("symbology");
  for (int k = 0; k < symbolKinds; ++k) {
    std::vector<Tally> row(readers);
    for (std::size_t r = 0; r < readers; ++r) {
      row[r] = counts.byKind[r][static_cast<std::size_t>(k)];
    }
    PrintTableRow(kindNames[static_cast<std::size_t>(k)], row);
  }

  std::printf("\ntime per reader (sum of per-picture times, one thread each)\n");
  std::printf("%-12s %10s %14s %16s\n", "reader", "total s", "ms / picture", "ms / 640x480");
  for (std::size_t r = 0; r < readers; ++r) {
    const Tally& t = all[r];
    std::printf("%-12s %10.2f %14.2f %16.2f\n", std::string(Engines()[r].name).c_str(), t.seconds,
                t.timed > 0 ? 1000 * t.seconds / t.timed : 0.0,
                t.vgaPictures > 0 ? 1000 * t.vgaSeconds / t.vgaPictures : 0.0);
  }

  if (!options.missedOf.empty()) {
    std::printf("\npictures %s missed\n", options.missedOf.c_str());
    for (std::size_t c = 0; c < categoryCount; ++c) {
      std::vector<int> missed = counts.missed[c];
      std::sort(missed.begin(), missed.end());
      std::printf("%-18s", std::string(categoryNames[c]).c_str());
      for (const int index : missed) {
        std::printf(" %d", index);
      }
      std::printf("\n");
    }
  }

  if (options.verbose || options.onlyPicture >= 0) {
    std::printf("\nwrong lines\n");
    for (const WrongLine& wrong : counts.wrongLines) {
      std::printf("#%d %s: drawn \"%s\" read \"%s\" [%s]\n", wrong.index, wrong.reader.c_str(),
                  wrong.expected.c_str(), wrong.printed.c_str(), wrong.description.c_str());
    }
  }
}

bool ParseOptions(int argc, char** argv, Options& options) {
  for (int i = 1; i < argc; ++i) {
    if (std::string_view(argv[i]) == "--readers" && i + 1 < argc) {
      options.readers = argv[++i];
    } else if (std::string_view(argv[i]) == "--missed" && i + 1 < argc) {
      options.missedOf = argv[++i];
    } else if (std::string_view(argv[i]) == "--common") {
      options.common = true;
    } else if (std::string_view(argv[i]) == "--category" && i + 1 < argc) {
      const std::string_view name = argv[++i];
      const auto named = std::find_if(categoryNames.begin(), categoryNames.end(),
                                      [name](std::string_view c) { return c.starts_with(name); });
      if (name.empty() || named == categoryNames.end()) {
        return false;
      }
      options.category = static_cast<int>(named - categoryNames.begin());
    } else if (!TakePictureRunOption(argc, argv, i, options)) {
      return false;
    }
  }
  return FinishPictureRun(options);
}

int RunBenchmark(int argc, char** argv) {
  Options options;
  if (!ParseOptions(argc, argv, options)) {
    std::printf(
        "usage: strixa_photo_bench [--pictures N] [--first K] [--seed S] [--threads T]\n"
        "                          [--verbose] [--save FOLDER] [--picture K] [--readers R,...]\n"
        "                          [--missed R] [--common] [--category C]\n"
        "  --pictures N   how many pictures (default 2000), numbered from --first (default 0)\n"
        "  --seed S       picture K is drawn from S and K alone (default 1)\n"
        "  --threads T    worker threads (default 2), each with its own readers\n"
        "  --verbose      list every wrong line with the picture's parameters\n"
        "  --save FOLDER  write each picture some reader misread as FOLDER/photo-S-K.bmp\n"
        "  --picture K    draw and read picture K only, printing what each reader reads\n"
        "  --readers R,.. only these readers read (strixa, strixa fine, robust, zxing-cpp, "
        "zbar)\n"
        "  --missed R     list the pictures reader R missed, by category\n"
        "  --common       count reads and misses only of symbologies every chosen reader reads\n"
        "  --category C   of the pictures numbered, only those of the category named C...\n"
        "                 (its row's name or the name's start: margin, noise, ...)\n");
    return 2;
  }
  const auto start = std::chrono::steady_clock::now();
  std::vector<Counts> perThread(static_cast<std::size_t>(options.threads),
                                Counts(Engines().size()));
  // Each thread its own readers, made here and used by that thread alone.
  std::vector<std::vector<std::unique_ptr<Engine>>> engines;
  for (int thread = 0; thread < options.threads; ++thread) {
    engines.push_back(MakeEngines());
  }
  ForEachPicture(options, [&options, &perThread, &engines](int thread, int index) {
    const auto slot = static_cast<std::size_t>(thread);
    ReadOnePhoto(options, index, engines[slot], perThread[slot]);
  });
  Counts total(Engines().size());
  for (const Counts& counts : perThread) {
    total.Add(counts);
  }
  std::sort(total.wrongLines.begin(), total.wrongLines.end(),
            [](const WrongLine& a, const WrongLine& b) { return a.index < b.index; });
  const double seconds =
      std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  PrintReport(options, total, seconds);
  return 0;
}

}  // namespace

}  // namespace strixa

int main(int argc, char** argv) { return strixa::RunBenchmark(argc, argv); }
