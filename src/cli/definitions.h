// Finding the definition of the image's type. Three definition files are
// looked in, in this order, and the first section of the wanted name wins:
// the user's own (xev/xev.ini in the user's settings folder), the one named
// after the program beside it, and the named formats shipped beside that
// (<program>-formats.ini).
#pragma once

#include <string>
#include <vector>

#include "cli/options.h"
#include "commands/output.h"
#include "cpm/definition.h"

namespace xev {

struct DefinitionFile {
  std::string path;
  std::vector<std::string> lines;
};

// The definition files that exist, in lookup order.
std::vector<DefinitionFile> read_definition_files(const CommandLine& line);

// The type named by -it, else by the image's extension. When neither names a
// section and the image exists, the sections that fit it are tried
// (detection.h); a type found so is announced on `out`, as is an Amstrad
// container named `.dsk` that the `dsk` type does not fit.
Error load_image_type(const CommandLine& line, ImageType& type, Output& out);

}  // namespace xev
