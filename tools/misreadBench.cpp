// SPDX-License-Identifier: Apache-2.0
// Misread benchmark: draws symbols of every symbology with random data and damage, and pages of
// plain text without any barcode, runs each picture through the whole program with and without
// /F, and counts correct reads, misses and wrong lines. A wrong line is worse than a miss, so the
// figure to watch is the wrong count. Every picture follows from the seed and its index alone, so
// any wrong line can be drawn and read again on its own with --picture.
#include <algorithm>
#include <array>
#include <atomic>
#include <chrono>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <map>
#include <numbers>
#include <string>
#include <string_view>
#include <thread>
#include <tuple>
#include <utility>
#include <vector>

#include "driver/driver.h"
#include "image/image.h"
#include "locate/candidate.h"
#include "platform/bitmap.h"
#include "robust/robust.h"
#include "support/bmpWriter.h"
#include "support/canvas.h"
#include "support/fakePlatform.h"
#include "support/pictureRun.h"
#include "support/randomSymbols.h"

namespace strixa {

namespace {

// ---------------------------------------------------------------------------------------------
// Pictures

// What was drawn, enough to tell the conditions apart and to describe a wrong line.
struct Picture {
  int index = 0;
  SymbolKind kind = ean13Kind;
  std::string expected;  // "" for a text page
  int modulePixels = 0;  // 0 for a text page
  int quarterTurns = 0;
  double degrees = 0;
  int cutSide = 0;  // -1 left, +1 right, 0 uncut
  double cutShare = 0;
  int marginModules = -1;  // the picture's edge this many modules beyond both ends; -1 wide
  double barShare = 1;     // share of the bars' height left inside the picture
  double blurSigma = 0;
  double noiseDeviation = 0;
  bool captioned = false;
  int textScale = 0;  // text pages only
  Canvas canvas;
};

Picture DrawPicture(std::uint64_t seed, int index) {
  Random random(Random(seed * 0x2545F4914F6CDD1Dull + static_cast<std::uint64_t>(index)).Next());
  Picture picture;
  picture.index = index;
  picture.kind = static_cast<SymbolKind>(index % kindCount);
  const float paper = static_cast<float>(random.Uniform(215, 255));
  const float ink = static_cast<float>(random.Uniform(0, 70));
  // A quarter of the pictures turn through any angle: with the quarter turns below, all 360.
  const bool anyAngle = random.Chance(0.25);
  picture.degrees = anyAngle              ? random.Uniform(-45, 45)
                    : random.Chance(0.35) ? 0
                                          : random.Uniform(-7, 7);
  picture.quarterTurns = random.Chance(0.5) ? 0 : random.Int(1, 3);
  picture.blurSigma = random.Chance(0.3) ? random.Uniform(0.4, 1.6) : 0;
  picture.noiseDeviation = random.Chance(0.3) ? random.Uniform(4, 40) : 0;

  Canvas canvas;
  if (picture.kind == textPageKind) {
    canvas = DrawTextPage(random, paper, ink, picture.textScale);
    canvas = Rotate(canvas, picture.degrees, paper);
  } else {
    picture.modulePixels = random.Int(1, 6);
    const Symbol symbol = MakeSymbol(picture.kind, picture.modulePixels, random);
    picture.expected = symbol.expected;
    const int length = static_cast<int>(symbol.pixels.size());
    const int quietLeft = std::max(10 * picture.modulePixels, 16) + random.Int(0, 30);
    const int quietRight = std::max(10 * picture.modulePixels, 16) + random.Int(0, 30);
    const int barHeight = std::max(24, static_cast<int>(length * random.Uniform(0.2, 0.7)));
    picture.captioned = random.Chance(0.5);
    const int captionScale = std::clamp(picture.modulePixels, 1, 3);
    const int top = random.Int(8, 40);
    const int bottom = random.Int(8, 40) + (picture.captioned ? (glyphRows + 3) * captionScale : 0);
    canvas = MakeCanvas(quietLeft + length + quietRight, top + barHeight + bottom, paper);
    for (int i = 0; i < length; ++i) {
      if (symbol.pixels[static_cast<std::size_t>(i)] == '1') {
        FillBox(canvas, quietLeft + i, top, 1, barHeight, ink);
      }
    }
    if (picture.captioned) {
      const int textWidth = TextWidth(symbol.caption, captionScale, false);
      DrawText(canvas, symbol.caption, quietLeft + (length - textWidth) / 2,
               top + barHeight + 2 * captionScale, captionScale, false, ink);
    }
    const Canvas upright = std::move(canvas);
    canvas = Rotate(upright, picture.degrees, paper);
    // Where the symbol's ends lie on its middle line, as columns of the turned picture.
    const double middleY = top + barHeight / 2.0;
    const double startColumn = RotatedColumn(upright, canvas, picture.degrees, quietLeft, middleY);
    const double endColumn =
        RotatedColumn(upright, canvas, picture.degrees, quietLeft + length, middleY);
    double left = 0;
    double right = canvas.width;
    if (random.Chance(0.3)) {
      // A tight crop: the picture ends marginModules modules beyond both ends of the symbol.
      picture.marginModules = random.Int(0, 10);
      const double margin = picture.marginModules * picture.modulePixels;
      left = std::min(startColumn, endColumn) - margin;
      right = std::max(startColumn, endColumn) + margin;
    }
    if (random.Chance(0.15)) {
      // Cut into the symbol along its reading direction, so part of it lies outside the picture.
      const double centreX = (startColumn + endColumn) / 2;
      const double half = std::abs(endColumn - startColumn) / 2;
      picture.cutSide = random.Chance(0.5) ? -1 : 1;
      picture.cutShare = random.Uniform(0.05, 0.6);
      const double cut = centreX + picture.cutSide * (half - 2 * half * picture.cutShare);
      (picture.cutSide < 0 ? left : right) = cut;
    }
    const int first = std::clamp(static_cast<int>(std::lround(left)), 0, canvas.width - 8);
    canvas = CropColumns(canvas, first,
                         std::clamp(static_cast<int>(std::lround(right)), first + 8, canvas.width));
    if (random.Chance(0.1)) {
      // The picture's edge cuts the bars short across their height, as on a label photographed
      // in part.
      picture.barShare = random.Uniform(0.15, 0.9);
      const int keep = top + static_cast<int>(barHeight * picture.barShare);
      canvas = CropRows(canvas, std::clamp(keep, 1, canvas.height));
    }
  }
  if (picture.blurSigma > 0) {
    Blur(canvas, picture.blurSigma);
  }
  if (picture.quarterTurns != 0) {
    canvas = TurnQuarters(canvas, picture.quarterTurns);
  }
  if (picture.noiseDeviation > 0) {
    AddNoise(canvas, picture.noiseDeviation, random);
  }
  picture.canvas = std::move(canvas);
  return picture;
}

// The picture as an 8-bit grey-palette bitmap file.
std::vector<std::uint8_t> EncodeBitmap(const Canvas& canvas) {
  return WriteGreyBmp(canvas.width, canvas.height, GreyBytes(canvas));
}

// The lines the second engine (src/robust) gives for the bitmap, as the program would print them.
std::vector<std::string> ReadBitmapRobust(const std::vector<std::uint8_t>& bitmap) {
  Image image;
  std::vector<std::string> lines;
  if (DecodeBmp(bitmap, image) != BmpRefusal::None) {
    return lines;
  }
  for (const RobustBarcode& barcode : ReadRobust(image)) {
    lines.emplace_back(PrintedPart(ResultLine(barcode.symbology, barcode.text)));
  }
  return lines;
}

// The lines one run of the program prints for the bitmap, with or without /F.
std::vector<std::string> ReadBitmap(const std::vector<std::uint8_t>& bitmap, bool fine) {
  FakePlatform platform;
  platform.files["picture.bmp"] = bitmap;
  if (fine) {
    platform.arguments.push_back("/F");
  }
  platform.arguments.push_back("picture.bmp");
  RunProgram(platform);
  return platform.lines;
}

std::string Describe(const Picture& picture) {
  char text[240];
  if (picture.kind == textPageKind) {
    std::snprintf(text, sizeof text,
                  "text page, scale %d, turn %d, angle %+.2f, blur %.2f, noise %.1f, %dx%d",
                  picture.textScale, 90 * picture.quarterTurns, picture.degrees, picture.blurSigma,
                  picture.noiseDeviation, picture.canvas.width, picture.canvas.height);
  } else {
    std::snprintf(text, sizeof text,
                  "%s, %d px/module, turn %d, angle %+.2f, margin %d, cut %s %.2f, bars %.2f, "
                  "blur %.2f, noise %.1f, caption %s, %dx%d",
                  std::string(kindNames[picture.kind]).c_str(), picture.modulePixels,
                  90 * picture.quarterTurns, picture.degrees, picture.marginModules,
                  picture.cutSide < 0   ? "left"
                  : picture.cutSide > 0 ? "right"
                                        : "none",
                  picture.cutShare, picture.barShare, picture.blurSigma, picture.noiseDeviation,
                  picture.captioned ? "yes" : "no", picture.canvas.width, picture.canvas.height);
  }
  return text;
}

// ---------------------------------------------------------------------------------------------
// Counting

struct Tally {
  long pictures = 0;
  long correct = 0;
  long missed = 0;
  long wrongLines = 0;
  long wrongPictures = 0;

  void Add(const Tally& other) {
    pictures += other.pictures;
    correct += other.correct;
    missed += other.missed;
    wrongLines += other.wrongLines;
    wrongPictures += other.wrongPictures;
  }
};

struct WrongLine {
  int index = 0;
  bool fine = false;
  std::string expected;
  std::string printed;
  std::string category;
  std::string description;
};

// Pictures drawn as users often send them, counted apart as well.
enum Group : std::size_t { tightGroup, cutGroup, turnedGroup, groupCount };
constexpr std::array<std::string_view, groupCount> groupNames = {
    "whole symbols, picture's edge 0 to 10 modules beyond both ends",
    "symbols cut by the picture's edge (into the symbol or across its bars)",
    "symbols turned by more than 7 degrees (besides quarter turns)",
};

bool InGroup(const Picture& picture, std::size_t group) {
  switch (group) {
    case tightGroup:
      return picture.marginModules >= 0 && picture.cutSide == 0 && picture.barShare == 1;
    case cutGroup:
      return picture.cutSide != 0 || picture.barShare < 1;
    default:
      return std::abs(picture.degrees) > 7;
  }
}

// Per mode (0 without /F, 1 with): tallies by symbology and by condition, wrong-line categories.
struct Counts {
  std::array<std::array<Tally, kindCount>, 2> byKind{};
  // The same for the pictures of each group, shown on their own.
  std::array<std::array<std::array<Tally, kindCount>, 2>, groupCount> byGroup{};
  std::array<std::map<std::pair<std::string, std::string>, Tally>, 2> byCondition;
  std::array<std::map<std::pair<std::string, std::string>, long>, 2> byCategory;
  std::vector<WrongLine> wrongLines;

  void Add(const Counts& other) {
    for (int mode = 0; mode < 2; ++mode) {
      for (int kind = 0; kind < kindCount; ++kind) {
        byKind[mode][kind].Add(other.byKind[mode][kind]);
        for (std::size_t group = 0; group < groupCount; ++group) {
          byGroup[group][mode][kind].Add(other.byGroup[group][mode][kind]);
        }
      }
      for (const auto& [key, tally] : other.byCondition[mode]) {
        byCondition[mode][key].Add(tally);
      }
      for (const auto& [key, count] : other.byCategory[mode]) {
        byCategory[mode][key] += count;
      }
    }
    wrongLines.insert(wrongLines.end(), other.wrongLines.begin(), other.wrongLines.end());
  }
};

std::string Label(std::string_view line) { return std::string(line.substr(0, line.find('\t'))); }

std::string Text(std::string_view line) {
  const std::size_t tab = line.find('\t');
  return tab == std::string_view::npos ? std::string() : std::string(line.substr(tab + 1));
}

// Why a printed line is wrong: any read of a text page, a read under another symbology's label
// (named), a piece of the drawn text (a partial read) or other text under the right label.
std::string Categorise(const Picture& picture, const std::string& printed) {
  if (picture.kind == textPageKind) {
    return "text read as " + Label(printed);
  }
  if (Label(printed) != Label(picture.expected)) {
    return "read as " + Label(printed);
  }
  if (Text(picture.expected).find(Text(printed)) != std::string::npos) {
    return "part of the text";
  }
  return "other text";
}

std::vector<std::pair<std::string, std::string>> Conditions(const Picture& picture) {
  const double angle = std::abs(picture.degrees);
  const char* band = angle == 0    ? "0"
                     : angle <= 1  ? "0-1"
                     : angle <= 3  ? "1-3"
                     : angle <= 5  ? "3-5"
                     : angle <= 7  ? "5-7"
                     : angle <= 15 ? "7-15"
                     : angle <= 30 ? "15-30"
                                   : "30-45";
  char margin[16];
  std::snprintf(margin, sizeof margin, "%2d", picture.marginModules);
  return {
      {"angle (degrees)", band},
      {"turn", std::to_string(90 * picture.quarterTurns)},
      {"px/module", std::to_string(picture.modulePixels)},
      {"cut", picture.cutSide == 0 ? "none" : "into the symbol"},
      {"margin (modules)", picture.marginModules < 0 ? "wide" : margin},
      {"bars cut short", picture.barShare < 1 ? "yes" : "no"},
      {"blur", picture.blurSigma == 0  ? "none"
               : picture.blurSigma < 1 ? "sigma < 1"
                                       : "sigma >= 1"},
      {"noise", picture.noiseDeviation == 0   ? "none"
                : picture.noiseDeviation < 20 ? "sd < 20"
                                              : "sd >= 20"},
      {"caption", picture.captioned ? "yes" : "no"},
  };
}

struct Options : PictureRun {
  Options() { pictures = 10000; }
  bool listMisses = false;
  bool robust = false;
};

void SaveBitmap(const std::string& path, const std::vector<std::uint8_t>& bitmap) {
  if (std::FILE* out = std::fopen(path.c_str(), "wb")) {
    std::fwrite(bitmap.data(), 1, bitmap.size(), out);
    std::fclose(out);
  } else {
    std::perror(path.c_str());
  }
}

void ReadOnePicture(const Options& options, int index, Counts& counts) {
  const Picture picture = DrawPicture(options.seed, index);
  const std::vector<std::uint8_t> bitmap = EncodeBitmap(picture.canvas);
  bool saved = false;
  for (int mode = 0; mode < (options.robust ? 1 : 2); ++mode) {
    const std::vector<std::string> lines =
        options.robust ? ReadBitmapRobust(bitmap) : ReadBitmap(bitmap, mode == 1);
    Tally tally;
    tally.pictures = 1;
    bool found = false;
    for (const std::string& line : lines) {
      if (picture.kind != textPageKind && line == picture.expected) {
        found = true;
        continue;
      }
      ++tally.wrongLines;
      const std::string category = Categorise(picture, line);
      ++counts.byCategory[mode][{std::string(kindNames[picture.kind]), category}];
      counts.wrongLines.push_back(
          {index, mode == 1, picture.expected, line, category, Describe(picture)});
    }
    tally.correct = found ? 1 : 0;
    tally.missed = found || picture.kind == textPageKind ? 0 : 1;
    tally.wrongPictures = tally.wrongLines > 0 ? 1 : 0;
    if (tally.missed > 0 && options.listMisses) {
      counts.wrongLines.push_back(
          {index, mode == 1, picture.expected, "", "missed", Describe(picture)});
    }
    counts.byKind[mode][picture.kind].Add(tally);
    for (std::size_t group = 0; group < groupCount; ++group) {
      if (picture.kind != textPageKind && InGroup(picture, group)) {
        counts.byGroup[group][mode][picture.kind].Add(tally);
      }
    }
    if (picture.kind == textPageKind) {
      counts.byCondition[mode][{"text page scale", std::to_string(picture.textScale)}].Add(tally);
    } else {
      for (const auto& key : Conditions(picture)) {
        counts.byCondition[mode][key].Add(tally);
      }
    }
    // A picture asked for alone is saved whatever it reads, to be looked at.
    if ((tally.wrongLines > 0 || options.onlyPicture >= 0) && !options.saveFolder.empty() &&
        !saved) {
      SaveBitmap(options.saveFolder + "/misread-" + std::to_string(options.seed) + "-" +
                     std::to_string(index) + ".bmp",
                 bitmap);
      saved = true;
    }
    if (options.onlyPicture >= 0) {
      std::printf("%s: %s\n", mode == 1 ? "with /F" : "without /F", Describe(picture).c_str());
      std::printf("  expected: %s\n", picture.expected.c_str());
      for (const std::string& line : lines) {
        std::printf("  printed:  %s\n", line.c_str());
      }
    }
  }
}

// The line with its tab shown, so it reads on one line of a report.
std::string Shown(std::string_view line) {
  std::string shown;
  for (char c : line) {
    if (c == '\t') {
      shown += "\\t";
    } else {
      shown += c;
    }
  }
  return shown;
}

void PrintRow(std::string_view name, const std::array<Tally, 2>& modes) {
  std::printf("%-22s %8ld", std::string(name).c_str(), modes[0].pictures);
  for (const Tally& t : modes) {
    std::printf(" | %8ld %8ld %7ld %7ld", t.correct, t.missed, t.wrongLines, t.wrongPictures);
  }
  std::printf("\n");
}

void PrintHeader(std::string_view first) {
  std::printf("%-22s %8s | %35s | %35s\n", "", "", "without /F", "with /F");
  std::printf("%-22s %8s", std::string(first).c_str(), "pictures");
  for (int mode = 0; mode < 2; ++mode) {
    std::printf(" | %8s %8s %7s %7s", "correct", "missed", "wrong", "w.pics");
  }
  std::printf("\n");
}

void PrintReport(const Options& options, const Counts& counts, double seconds) {
  std::printf("Misread benchmark: pictures %d..%d, seed %llu, %d threads, %.1f s\n", options.first,
              options.first + options.pictures - 1, static_cast<unsigned long long>(options.seed),
              options.threads, seconds);
  std::printf(
      "wrong = lines printed that are not the drawn symbol's line; w.pics = pictures "
      "with at least one; missed = symbol pictures without the right line\n\n");
  PrintHeader("symbology");
  std::array<Tally, 2> symbols{};
  for (int kind = 0; kind < kindCount; ++kind) {
    PrintRow(kindNames[kind], {counts.byKind[0][kind], counts.byKind[1][kind]});
    if (kind != textPageKind) {
      symbols[0].Add(counts.byKind[0][kind]);
      symbols[1].Add(counts.byKind[1][kind]);
    }
  }
  PrintRow("all symbols", symbols);
  std::array<Tally, 2> all = symbols;
  all[0].Add(counts.byKind[0][textPageKind]);
  all[1].Add(counts.byKind[1][textPageKind]);
  PrintRow("all pictures", all);

  for (std::size_t group = 0; group < groupCount; ++group) {
    std::printf("\n%s\n", std::string(groupNames[group]).c_str());
    PrintHeader("symbology");
    std::array<Tally, 2> inGroup{};
    for (int kind = 0; kind < textPageKind; ++kind) {
      PrintRow(kindNames[kind], {counts.byGroup[group][0][kind], counts.byGroup[group][1][kind]});
      inGroup[0].Add(counts.byGroup[group][0][kind]);
      inGroup[1].Add(counts.byGroup[group][1][kind]);
    }
    PrintRow("all symbols", inGroup);
  }

  std::printf("\n");
  PrintHeader("condition (symbols)");
  std::string group;
  for (const auto& [key, tally] : counts.byCondition[0]) {
    if (key.first != group) {
      group = key.first;
      std::printf("%s\n", group.c_str());
    }
    const auto other = counts.byCondition[1].find(key);
    PrintRow("  " + key.second,
             {tally, other == counts.byCondition[1].end() ? Tally{} : other->second});
  }

  std::printf("\nwrong lines by kind of fault\n");
  std::map<std::pair<std::string, std::string>, std::array<long, 2>> categories;
  for (int mode = 0; mode < 2; ++mode) {
    for (const auto& [key, count] : counts.byCategory[mode]) {
      categories[key][static_cast<std::size_t>(mode)] += count;
    }
  }
  std::printf("%-12s %-28s %10s %10s\n", "symbology", "fault", "without /F", "with /F");
  for (const auto& [key, pair] : categories) {
    std::printf("%-12s %-28s %10ld %10ld\n", key.first.c_str(), key.second.c_str(), pair[0],
                pair[1]);
  }

  if (options.verbose || options.listMisses || options.onlyPicture >= 0) {
    std::printf("\nwrong lines\n");
    for (const WrongLine& wrong : counts.wrongLines) {
      std::printf("#%d %s expected \"%s\" printed \"%s\" (%s) [%s]\n", wrong.index,
                  wrong.fine ? "/F" : "--", Shown(wrong.expected).c_str(),
                  Shown(wrong.printed).c_str(), wrong.category.c_str(), wrong.description.c_str());
    }
  }
}

bool ParseOptions(int argc, char** argv, Options& options) {
  for (int i = 1; i < argc; ++i) {
    const std::string_view arg = argv[i];
    if (TakePictureRunOption(argc, argv, i, options)) {
      continue;
    }
    if (arg == "--robust") {
      options.robust = true;
    } else if (arg == "--misses") {
      options.listMisses = true;
    } else {
      return false;
    }
  }
  return FinishPictureRun(options);
}

int RunBenchmark(int argc, char** argv) {
  Options options;
  if (!ParseOptions(argc, argv, options)) {
    std::printf(
        "usage: strixa_misread_bench [--pictures N] [--first K] [--seed S] [--threads T]\n"
        "                            [--verbose] [--misses] [--save FOLDER] [--picture K]\n"
        "                            [--robust]\n"
        "  --pictures N   how many pictures (default 10000), numbered from --first (default 0)\n"
        "  --seed S       picture K is drawn from S and K alone (default 1)\n"
        "  --threads T    worker threads (default 2)\n"
        "  --verbose      list every wrong line with the picture's parameters\n"
        "  --misses       list every symbol picture without its line too\n"
        "  --save FOLDER  write each picture with a wrong line as FOLDER/misread-S-K.bmp\n"
        "  --picture K    draw and read picture K only, printing everything it reads\n"
        "  --robust       read with the second engine (src/robust) instead, once (the /F rows\n"
        "                 stay empty)\n");
    return 2;
  }
  const auto start = std::chrono::steady_clock::now();
  std::vector<Counts> perThread(static_cast<std::size_t>(options.threads));
  ForEachPicture(options, [&options, &perThread](int thread, int index) {
    ReadOnePicture(options, index, perThread[static_cast<std::size_t>(thread)]);
  });
  Counts total;
  for (const Counts& counts : perThread) {
    total.Add(counts);
  }
  std::stable_sort(total.wrongLines.begin(), total.wrongLines.end(),
                   [](const WrongLine& a, const WrongLine& b) {
                     return std::tie(a.index, a.fine) < std::tie(b.index, b.fine);
                   });
  const double seconds =
      std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  PrintReport(options, total, seconds);
  return 0;
}

}  // namespace

}  // namespace strixa

int main(int argc, char** argv) { return strixa::RunBenchmark(argc, argv); }
