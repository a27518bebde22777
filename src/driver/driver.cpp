// SPDX-License-Identifier: Apache-2.0
#include "driver/driver.h"

#include <array>

#include "platform/escape.h"
#include "platform/platform.h"
#include "read/pipeline.h"
#include "symbologies/symbology.h"

namespace strixa {

namespace {

constexpr std::string_view webAddress = "https://strixa.example.org";

void PrintBanner(Platform& platform) {
  const std::string years =
      "(c) 2003-" + std::to_string(platform.CurrentYear()) + " Strixa Software";
  const std::array<std::string_view, 14> lines = {
      " ",
      "Vantelo V1.7",
      years,
      " ",
      "The Strixa developers",
      webAddress,
      "info@strixa.example.org",
      " ",
      "Please check Vantelo.DLL which is maintained, much more faster, more",
      "reliable and better optimising the results. Perfect for developers.",
      "The DLL returns orientation of barcodes, too. It also is able",
      "to handle TIF, JPG, PNG and even PDF(!) files directly...",
      " ",
      "Usage: Strixa.exe <optional switches> <filename>",
  };
  for (std::string_view line : lines) {
    PrintLine(platform, line);
  }
}

void PrintCannotOpen(Platform& platform, std::string_view fileName) {
  const std::string shownName = EscapeControlCharacters(fileName);
  const std::string lastLine = "Please have a look at " + std::string(webAddress);
  const std::array<std::string_view, 12> lines = {
      " ",
      "Usage: Strixa.exe <filename>",
      " ",
      "Error: can not open input file:",
      shownName,
      " ",
      "Please check Vantelo.DLL which is maintained, much more faster, more",
      "reliable and better optimising the results. Perfect for developers.",
      "The DLL returns position and orientation of barcodes, too. It also is able",
      "to handle TIF, JPG, PNG and even PDF(!) files directly...",
      " ",
      lastLine,
  };
  for (std::string_view line : lines) {
    PrintLine(platform, line);
  }
}

std::string FormatPositions(const Candidate& result) {
  std::string line;
  for (int value : {result.x, result.y, result.width, result.height}) {
    line += std::to_string(value);
    line += '\t';
  }
  line += ResultLine(result.symbology, PrintedPart(result.text));
  // A positioned line carries one carriage return of its own ahead of the line end.
  line += '\r';
  return line;
}

}  // namespace

void PrintLine(Platform& platform, std::string_view text) { platform.WriteLine(text); }

std::string CleanParameter(std::string_view parameter) {
  const std::size_t first = parameter.find_first_not_of(' ');
  if (first == std::string_view::npos) {
    return {};
  }
  parameter = parameter.substr(first, parameter.find_last_not_of(' ') - first + 1);
  std::string cleaned;
  for (char c : parameter) {
    if (c != '"') {
      cleaned += c;
    }
  }
  return cleaned;
}

void ReadParameters(Platform& platform, const std::vector<std::string>& parameters,
                    RunState& state) {
  for (const std::string& raw : parameters) {
    std::string p = CleanParameter(raw);
    if (p.empty() || platform.IsNonEmptyFile(p)) {
      state.imageFileName = std::move(p);
      return;
    }
    if (p == "/F") {
      state.fineScan = true;
    } else if (p == "/P") {
      state.printPositions = true;
    } else if (p == "/D") {
      state.pauseAtEnd = true;
    }
  }
  state.imageFileName.clear();
}

void PrintResults(Platform& platform, const std::vector<Candidate>& resultList,
                  bool printPositions) {
  for (const Candidate& result : resultList) {
    if (printPositions) {
      PrintLine(platform, FormatPositions(result));
    } else {
      PrintLine(platform, ResultLine(result.symbology, PrintedPart(result.text)));
    }
  }
}

int RunProgram(Platform& platform) {
  RunState state;
  platform.SetTitle(consoleTitle);
  ReadParameters(platform, platform.Arguments(), state);

  if (state.imageFileName.empty()) {
    PrintBanner(platform);
    platform.Sleep(bannerPause);
    return 0;
  }
  if (!LoadImageFile(platform, state.imageFileName, state.image)) {
    PrintCannotOpen(platform, state.imageFileName);
    platform.Sleep(cannotOpenPause);
    return 0;
  }
  platform.Sleep(loadPause);
  const Reading reading =
      ReadPicture(state.image, {.scan = state.fineScan ? Scan::Fine : Scan::Normal});
  PrintResults(platform, reading.resultList, state.printPositions);
  FreePixelBuffer(state.image);
  if (state.pauseAtEnd) {
    platform.Sleep(endPause);
  }
  return 0;
}

}  // namespace strixa
