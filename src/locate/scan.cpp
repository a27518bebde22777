#include "locate/scan.h"

#include "image/image.h"
#include "locate/candidate.h"

void ScanHorizontal(const Image&, int, bool, std::vector<Candidate>&) {}
void ScanVertical(const Image&, int, bool, std::vector<Candidate>&) {}
