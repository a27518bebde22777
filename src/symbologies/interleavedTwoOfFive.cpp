#include "symbologies/interleavedTwoOfFive.h"

std::string DecodeInterleavedTwoOfFive(std::string_view) { return {}; }
