#pragma once

#include <string>
#include <string_view>

std::string DecodeInterleavedTwoOfFive(std::string_view pixels);
