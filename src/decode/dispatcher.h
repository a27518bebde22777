#pragma once

#include <string>

struct Candidate;
struct Image;

// The candidate's result line (label, tab, text) or "" when nothing reads. Sets lineThreshold for
// every sampled line and raises the candidate's orientation by 2 on a reversed read.
std::string DecodeCandidate(const Image& image, Candidate& candidate, int& lineThreshold);
