// SPDX-License-Identifier: Apache-2.0
#pragma once

#include <vector>

#include "decode/dispatcher.h"
#include "locate/candidate.h"

namespace strixa {

struct Image;

// Which scan lines a read lays over the picture. The fine scan's denser lines find smaller
// symbols but miss some the normal scan reads, so the library's fine reading runs both: the
// normal scan's results, then the barcodes only the fine scan found.
enum class Scan { Normal, Fine, NormalThenFine };

// What a read is asked for.
struct ReadOptions {
  Scan scan = Scan::Normal;
  // Where decoding starts; each candidate starts from where the one before left it.
  int lineThreshold = 160;
};

// What reading one picture found.
struct Reading {
  int threshold = 200;      // the locator's level that found the candidates (the last tried)
  int lineThreshold = 160;  // where the last decoding left the line threshold
  std::vector<Candidate> candidateList;  // located, each with its decoded text ("" unread)
  std::vector<Candidate> resultList;     // one per barcode, in the order they are reported
};

// Runs both scan passes at 200, then at 160 and 230 only while nothing has been found, into
// reading's candidateList (emptied first) and threshold.
void LocateCandidates(const Image& image, bool fineScan, Reading& reading);

// Locates, decodes and merges: the whole read of one picture, printing nothing. The command
// line and the library both read through here.
Reading ReadPicture(const Image& image, const ReadOptions& options,
                    const DecoderChain& chain = symbologyDecoders);

}  // namespace strixa
