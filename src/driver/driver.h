// SPDX-License-Identifier: Apache-2.0
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "image/image.h"
#include "locate/candidate.h"

namespace strixa {

struct Platform;

// Everything one run knows; RunProgram owns the only instance. What it reads, the pipeline in
// read/ finds.
struct RunState {
  bool fineScan = false;
  bool printPositions = false;
  bool pauseAtEnd = false;
  std::string imageFileName;
  Image image;
};

inline constexpr std::string_view consoleTitle = "Strixa / commandline barcode extraction tool";
inline constexpr int bannerPause = 2500;
inline constexpr int cannotOpenPause = 2000;
inline constexpr int loadPause = 2000;
inline constexpr int endPause = 5000;

// Writes one line followed by CR LF; every output line goes through here.
void PrintLine(Platform& platform, std::string_view text);

// Trims spaces and removes double quotes, as every parameter is cleaned before it is judged.
std::string CleanParameter(std::string_view parameter);

// Takes parameters until one names a non-empty file (or none is left), setting the switches
// met before it; imageFileName is that parameter, or empty.
void ReadParameters(Platform& platform, const std::vector<std::string>& parameters,
                    RunState& state);

// One line per result: its text, or under printPositions x, y, width and height each followed by
// a tab, then the text and a carriage return.
void PrintResults(Platform& platform, const std::vector<Candidate>& resultList,
                  bool printPositions);

// One whole run from start-up to the end; always returns the exit code 0.
int RunProgram(Platform& platform);

}  // namespace strixa
