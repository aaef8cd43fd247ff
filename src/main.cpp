// Adapts the process to driver::Run.
#include <string>
#include <vector>

#include "driver/run.h"
#include "platform/console.h"
#include "platform/environment.h"
#include "platform/file.h"

int main(int argc, char** argv) {
  platform::PrepareProcess();
  std::vector<std::string> arguments(argv + (argc > 0 ? 1 : 0), argv + argc);
  return driver::Run(arguments, {platform::RealFileSystem(), platform::RealConsole(),
                                 platform::RealEnvironment()});
}
