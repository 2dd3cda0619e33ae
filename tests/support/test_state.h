// RunState builders for unit tests: the geometry comes from a definition
// section read by the real definition reader, the image is a temporary file.
#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "cli/run_state.h"

namespace xev::test {

// A RunState whose disk parameters come from `definition` (a section body,
// one key per line), loaded as image type "dsk". Fails the test when the
// definition is refused.
std::unique_ptr<RunState> make_state(const std::string& definition);

// Gives `state` an open temporary image of image_size bytes, all `fill`.
void attach_image(RunState& state, std::uint8_t fill = 0xE5);

// The whole image file as bytes.
std::string image_bytes(RunState& state);

}  // namespace xev::test
