#pragma once

#include <string>
#include <string_view>

std::string DecodeCode128(std::string_view pixels);
