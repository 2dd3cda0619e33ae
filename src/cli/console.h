// Banner, usage text and the wait for the Enter key.
#pragma once

namespace xev {

void print_banner();

// Prints the usage text; pauses once after the synopsis lines.
void print_usage();

// Prints `prompt` (or "\nPress ENTER ...\n" when null) as a printf format,
// then discards key presses until Enter (code 13). Returns at once after the
// prompt when standard input is not a console.
void wait_for_enter(const char* prompt);

}  // namespace xev
