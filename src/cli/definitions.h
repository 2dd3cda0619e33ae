// Finding the definition of the image's type: the definition file is named
// after the program and lies beside it.
#pragma once

#include "cli/options.h"
#include "cpm/definition.h"

namespace xev {

Error load_image_type(const CommandLine& line, ImageType& type);

}  // namespace xev
