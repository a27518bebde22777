#include "driver/driver.h"
#include "platform/platform.h"

int main(int argc, char** argv) {
  const std::unique_ptr<Platform> platform = MakeSystemPlatform(argc, argv);
  return RunProgram(*platform);
}
