// SPDX-License-Identifier: Apache-2.0
#pragma once

#include <array>
#include <vector>

#include "locate/candidate.h"
#include "read/pipeline.h"
#include "robust/robust.h"

namespace strixa {

struct Image;

// Which engine reads a picture: the document pipeline (fast, for clean scans and pages), the
// second engine (photos, uneven light, blur, turned symbols), or both, each barcode reported once.
// The values are the library's strixa_engine.
enum class Engine { Document = 0, Robust = 1, Both = 2 };

// One barcode as an engine found it. candidate holds the rectangle in the library's convention
// (its pixel box runs from x - 1 to x - 1 + width), orientation, text and symbology; a second
// engine's read also keeps its corners, in reading order, and its angle.
struct EngineResult {
  Candidate candidate;
  bool measured = false;  // corners and angle come from the engine, not the rectangle
  std::array<RobustPoint, 4> corners{};
  double angle = 0;
};

// A second engine's barcode as the document pipeline reports one: the rectangle is the box of
// its corners within a picture of width x height, the orientation the nearest of the four to
// its angle.
EngineResult FromRobust(const RobustBarcode& barcode, int width, int height);

// Whether a second engine's read is a document barcode read again: the same symbology and text,
// and the document rectangle overlaps or touches the read's own box stretched along its bars by
// the symbol's length (the document pipeline may find only part of the bars' height).
bool IsSameBarcode(const EngineResult& robust, const Candidate& document);

// Whether a second engine's read lies on the same symbol as a document barcode, whatever their
// texts: the centre of either lies within the other.
bool ContradictsDocument(const EngineResult& robust, const Candidate& document);

// The document pipeline's results, in their order, then the second engine's reads in a picture of
// width x height that are neither a document barcode read again (IsSameBarcode) nor on a
// document barcode of another text: two texts for one symbol mean one is wrong, and the document
// pipeline's, which callers have relied on, stays.
std::vector<EngineResult> MergeReads(std::vector<Candidate> document,
                                     const std::vector<RobustBarcode>& robust, int width,
                                     int height);

// Reads the picture with the engine. Both gives the document pipeline's results first, in its
// order, less its 2 of 5 reads the second engine finds to be pieces of longer symbols
// (PiecesOfLongerSymbols), then the second engine's reads that none of them already holds.
std::vector<EngineResult> ReadWithEngine(const Image& image, Engine engine, Scan scan);

}  // namespace strixa
