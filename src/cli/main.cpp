#include <cstdio>

#include "cli/errors.h"
#include "cli/run.h"
#include "platform/platform.h"

int main(int argc, char** argv) {
  xev::platform::use_binary_streams();
  xev::ConsoleOutput out(stdout, stderr);
  return xev::run_program(argc, argv, out);
}
