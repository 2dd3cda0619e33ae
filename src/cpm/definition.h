// Image types: a section of a definition file names a disk format by the
// image file's extension and gives its CP/M parameters; from them follows
// the geometry.
#pragma once

#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

#include "cpm/error.h"
#include "cpm/geometry.h"

namespace xev {

// The number each key's last line produced, accepted or not, for the
// definition report; -1 for a key that was not read.
struct DefinitionValues {
  std::int64_t spt = -1;
  std::int64_t xlt = -1;  // the first number of the XLT value
  std::int64_t bls = -1;
  std::int64_t exm = -1;
  std::int64_t dsm = -1;
  std::int64_t drm = -1;
  std::int64_t off = -1;
  std::int64_t offx = -1;
  std::int64_t dirau = -1;
};

struct ImageType {
  std::string name;    // as asked for
  std::string source;  // the definition file it was read from
  Geometry geometry;
  DefinitionValues as_read;
};

// The lines of a definition file, trimmed. A physical line longer than
// 1022 characters is read as several lines.
std::vector<std::string> read_definition_lines(std::FILE* file);

// Finds the first section named `type` (letter case ignored) and derives the
// geometry. ERR_NO_DEFINITION when there is none, ERR_BAD_DEFINITION when it
// is malformed, incomplete or describes an impossible disk.
Error find_image_type(const std::vector<std::string>& lines, const std::string& type,
                      ImageType& out);

// The names of the sections, in file order, as their headers spell them.
std::vector<std::string> image_type_names(const std::vector<std::string>& lines);

}  // namespace xev
