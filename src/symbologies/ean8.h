#pragma once

#include <string>
#include <string_view>

std::string DecodeEan8(std::string_view pixels);
