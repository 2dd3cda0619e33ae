// The command line: the program's own path, the image and the options.
#pragma once

#include <string>

#include "commands/request.h"
#include "cpm/error.h"

namespace xev {

// Not a failure: the answer that the usage text is wanted.
constexpr ErrorCode SHOW_USAGE = -100;

struct CommandLine {
  std::string exe_dir;   // the program's folder, with its separator
  std::string exe_name;  // the program's name without its extension
  bool banner = true;    // -nb and -cj leave it out
  Request request;
};

// Reads the options from left to right, testing each value as it comes, then
// how they combine. Returns no failure for a command line that can run,
// SHOW_USAGE when the usage text is to be shown, or the first failure.
// `banner` is set from the options read before a failure as well.
Error parse_options(int argc, const char* const* argv, CommandLine& out);

// Splits `path` at its last '/' (or, without any '/', its last '\') into the
// directory part with its separator and the name part; `extension`, when
// given, receives the text after the last point of the name part.
void split_path(const std::string& path, std::string& dir, std::string& name,
                std::string* extension = nullptr);

}  // namespace xev
