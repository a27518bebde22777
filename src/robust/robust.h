// SPDX-License-Identifier: Apache-2.0
#pragma once

#include <array>
#include <string>
#include <vector>

#include "symbologies/symbology.h"

namespace strixa {

struct Image;

// A second reading engine, beside the document pipeline, for what that pipeline's fixed
// thresholds and upright rectangles do not read: photos, grey or uneven backgrounds, blur, turned
// symbols, light bars on dark, symbols without a margin.
//
// It looks for no rectangle first. Lines cross the picture at every 15 degrees (rows and columns
// twice as densely), on the picture and on copies scaled down by two and four, where noise
// averages out. They are sampled only near bars: a cheap look at every few rows and columns of
// the picture marks the cells where the grey turns up and down by a step as large as the
// smallest edge the lines take (larger in noise), and each line keeps the parts within 64
// pixels of its scale beyond them, for quiet zones; where it is cut short, its end never stands
// in for light. The light beyond is sampled only where the grey within the cells turns often
// enough for a symbol (text and clutter mostly do, a stroke or an edge crossed does not). Each
// line's grey profile is sampled bilinearly and split at alternating extremes that differ by a step
// large against the local contrast (an eighth of the grey range within about thirty samples, so
// that blur's shallow narrow elements still count). Each edge lies where the grey crosses the
// middle of that local range, interpolated between samples: unlike the gradient's peak, which an
// element of one or two pixels drags by a third of a pixel, the crossing stays within a tenth of a
// pixel, so symbols of one and a half pixels a module read. Where blur keeps a narrow element from
// reaching its shade, so that its step falls short of that middle (or of the middle of the paper
// and ink shown on both sides, over a long stretch of narrow elements), its edges lie nearer its
// extreme than the step's middle, by a share that depends only on how far it reaches; an element
// that measures about as wide as its neighbour (a wide bar a glare lightens) keeps the step's
// middle. Uneven light and grey or coloured grounds move the range and the edges with it.
//
// Each line's widths are decoded forwards and backwards, dark bars on light and light on dark, by
// ratios to the symbol's own module where each character lies (tilts and cans change it along
// the symbol, smoothly): EAN, UPC and Code 128 by the distances from one edge to the
// next like edge, which ink spread and blur leave alone (EAN's 1 and 7, 2 and 8, which share
// them, by their bars corrected for the spread the guards show, nearer one than the other by half
// their difference), Code 39 and 2 of 5 by narrow and wide classes. Trust comes first: guards,
// start and stop, check characters and quiet zones measured in modules decide every read; the
// picture's edge stands in for light only for symbologies whose start, stop and check a piece
// cannot pass, and so, for them, does ink beyond a tight label's paper as wide as the quiet zone,
// wider than any of their bars: the dark surface the label is stuck on (a narrower strip of it
// that runs into the picture's edge counts as that edge). Reads without a check character must
// come from several parallel lines spread across the bars, whose ends line up across the bars as
// a symbol's do and not as a line's entry across a turned symbol's long edge does; so must the
// measuring lines (below) of every Code 128 read, whose check a piece passes about once in a
// hundred.
//
// Families of lines are read one after another. Once four lines of one family read a symbol with
// a check character alike, their ends lining up, and no line read another text near it, its
// place is left out for the families and scales still to come: they would only read it again.
//
// Reads of one symbol merge into one barcode. A second pass lays lines along the symbol's own
// axis across its bars to measure it (sixty-four, or where few of them read up to 480; half a
// pixel apart at the closest, and more beyond while the outermost still reads): its angle from
// the line through the first bar's edges, and the bars' ends where the contrast across the bars
// falls to half the middle's.
// Two barcodes of different texts on one place are both dropped unless one has three times the
// other's lines, and whenever one of them was read firmly (its lines, and the other's, then
// stopped short).
//
// The cost is bounded for every picture: the lines' spacing grows with the picture so their
// samples stay within a budget (flat paper and ground are not sampled at all), a bar starts a
// decoding only after light as wide as half its next four elements, and each found symbol is
// measured by at most a few hundred lines, each read no further than its first read of it.

// A point in picture coordinates: the origin is the top-left corner of the top-left pixel, y down.
struct RobustPoint {
  double x = 0;
  double y = 0;
};

struct RobustBarcode {
  Symbology symbology = Symbology::None;
  // As the document pipeline's Candidate.text: for Code 128, the transcript, a NUL and the
  // transmission.
  std::string text;
  // In reading order: the first bar's top, the last bar's top, the last bar's bottom, the first
  // bar's bottom.
  std::array<RobustPoint, 4> corners{};
  // The reading direction in degrees clockwise from the x axis (y down), 0 <= angle < 360.
  double angle = 0;
};

// A symbol another reader has read: its symbology, its text as RobustBarcode.text holds it, and
// an upright box in picture coordinates that holds at least part of its bars.
struct RobustKnown {
  Symbology symbology = Symbology::None;
  std::string text;
  double left = 0;
  double top = 0;
  double right = 0;
  double bottom = 0;
};

struct RobustOptions {
  // Samples the first pass may take at each scale; the lines' spacing grows to stay within it.
  long long samplesPerScale = 500'000;
  // Whether light bars on a dark ground are also read.
  bool lightOnDark = true;
  // Symbols read already (both engines together pass the document pipeline's reads). The lines
  // pass over the cells their boxes reach into, so that whatever lies wholly within a box may be
  // left out, whatever its text. A symbol whose lines still read the same text on one, its
  // reads' place stretched along its bars by its length meeting the box, is left out of the
  // results unmeasured: the caller's merging would drop it. Where a barcode on no known symbol
  // comes within a box's longer side of one, the picture is read again over the boxes, and
  // known symbols speak against other texts on their place as without them, measured where
  // another barcode meets them.
  std::vector<RobustKnown> known;
};

// Every barcode read in picture, in the order of its first bar's position, top to bottom, then
// left to right. Thread-safe; throws nothing but std::bad_alloc.
std::vector<RobustBarcode> ReadRobust(const Image& picture, const RobustOptions& options = {});

// For each known symbol, whether it is a plain or interleaved 2 of 5 symbol that is a piece of a
// longer one: light across a symbol ends a piece in a stop its data spell, and neither code has a
// check character. The symbol's text is found again on lines across its box (its digits known,
// its quiet zones unchecked) and measured; it is a piece where bars like its own go on beyond it,
// as the barcodes ReadRobust returns are judged, unless a symbol of another symbology stands
// there, apart from it (labels side by side): another known symbol, one of others, or one read
// there (a rest of its own symbology may read as a symbol of its own). Thread-safe; throws
// nothing but std::bad_alloc.
std::vector<bool> PiecesOfLongerSymbols(const Image& picture, const std::vector<RobustKnown>& known,
                                        const std::vector<RobustBarcode>& others);

}  // namespace strixa
