// One run of the program: banner, command line, image type, image, format,
// directory and one command.
#pragma once

#include "commands/output.h"

namespace xev {

// Returns the exit status: the magnitude of the first failure, before the
// command or reported by it, or 0.
int run_program(int argc, const char* const* argv, Output& out);

}  // namespace xev
