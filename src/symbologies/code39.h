#pragma once

#include <string>
#include <string_view>

std::string DecodeCode39(std::string_view pixels);
