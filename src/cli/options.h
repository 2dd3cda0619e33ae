// The command line: parsing, value tests and combination rules.
#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "cli/errors.h"
#include "cli/run_state.h"

namespace xev {

// Creates the RunState in `out` (before anything else can fail), fills it
// from the command line and tests the options. Returns 0, SHOW_USAGE or the
// first failure, already reported.
ErrorCode parse_options(int argc, const char* const* argv,
                        std::unique_ptr<RunState>& out);

// Splits `path` at its last '/' (or, without any '/', its last '\') into the
// directory part with its separator and the name part; `extension`, when
// given, receives the text after the last point of the name part.
void split_path(const std::string& path, std::string& dir, std::string& name,
                std::string* extension = nullptr);

// Reads a base-10 number as strtol does. Returns -1 for a negative number, and
// for 0 unless the whole text was consumed; a positive number is returned
// whatever follows its digits.
std::int64_t parse_number(const char* text);

}  // namespace xev
