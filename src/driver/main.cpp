// SPDX-License-Identifier: Apache-2.0
#include "driver/driver.h"
#include "platform/platform.h"

int main(int argc, char** argv) {
  const std::unique_ptr<strixa::Platform> platform = strixa::MakeSystemPlatform(argc, argv);
  return strixa::RunProgram(*platform);
}
