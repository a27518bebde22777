#pragma once

#include <string>
#include <string_view>

std::string DecodeEan13(std::string_view pixels);
