// SPDX-License-Identifier: Apache-2.0
// strixa-batch: reads the barcodes in many pictures per run; everything but the wiring of the
// real streams is in strixa_batch_core.
#include <cstdio>
#include <iostream>
#include <string>
#include <vector>

#include "batch.h"

#ifdef _WIN32
#include <fcntl.h>
#include <io.h>
#else
#include <unistd.h>
#endif

int main(int argc, char** argv) {
  std::ios::sync_with_stdio(false);
#ifdef _WIN32
  // Records end in LF (CR LF for csv) as written; lists may hold NUL bytes.
  _setmode(_fileno(stdout), _O_BINARY);
  _setmode(_fileno(stdin), _O_BINARY);
  const bool errorsIsTerminal = _isatty(_fileno(stderr)) != 0;
  const bool outputIsTerminal = _isatty(_fileno(stdout)) != 0;
#else
  const bool errorsIsTerminal = isatty(STDERR_FILENO) != 0;
  const bool outputIsTerminal = isatty(STDOUT_FILENO) != 0;
#endif
  const std::vector<std::string> arguments(argv + (argc > 0 ? 1 : 0), argv + argc);
  return strixa::RunBatch(arguments, std::cin, std::cout, std::cerr, errorsIsTerminal,
                          outputIsTerminal);
}
