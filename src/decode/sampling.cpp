#include "decode/sampling.h"

#include "image/image.h"

int LinePosition(int, int, int) { return 0; }
std::string SampleRow(const Image&, int, int, int, int, int, int) { return {}; }
std::string SampleColumn(const Image&, int, int, int, int, int, int) { return {}; }
int RowMean(const Image&, int, int, int, int, int) { return 0; }
int ColumnMean(const Image&, int, int, int, int, int) { return 0; }
std::string ReverseString(std::string_view) { return {}; }
