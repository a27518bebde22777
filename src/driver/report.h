#pragma once

struct Platform;
struct RunState;

// Decodes every candidate in list order, merges decodings of the same barcode and prints one
// line per result.
void ReportResults(Platform& platform, RunState& state);
