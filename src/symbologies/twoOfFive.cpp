#include "symbologies/twoOfFive.h"

std::string DecodeTwoOfFive(std::string_view) { return {}; }
