// The banner every run prints first, and the usage text.
#pragma once

#include "commands/output.h"

namespace xev {

void print_banner(Output& out);

// Prints the usage text; pauses once after the synopsis lines. Without
// `pause` (--help) an empty line stands in place of the prompt.
void print_usage(Output& out, bool pause = true);

// --version: the product, the version and the maker on one line.
void print_version(Output& out);

}  // namespace xev
