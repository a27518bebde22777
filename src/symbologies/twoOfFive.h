#pragma once

#include <string>
#include <string_view>

std::string DecodeTwoOfFive(std::string_view pixels);
