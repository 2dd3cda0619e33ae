// The banner every run prints first, and the usage text.
#pragma once

#include "commands/output.h"

namespace xev {

void print_banner(Output& out);

// Prints the usage text; pauses once after the synopsis lines.
void print_usage(Output& out);

}  // namespace xev
