// The definition file beside the executable and the disk geometry derived
// from the section named after the image's extension.
#pragma once

#include <string>

#include "cli/errors.h"
#include "cli/run_state.h"

namespace xev {

// Reads the image type's section, checks it, fills the disk parameters and
// allocates the skew table, the directory copy and the allocation map. With
// -iti it prints the definition report.
ErrorCode load_image_type(RunState& state);

// White space: space, tab, line feed, vertical tab, form feed, carriage
// return. Each works in place and returns its argument.
std::string& trim_right(std::string& text);
std::string& trim_left(std::string& text);
std::string& trim(std::string& text);

}  // namespace xev
