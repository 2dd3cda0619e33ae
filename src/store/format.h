// Formatting and the TNS-DOS label and map entries.
#pragma once

#include <cstdint>

#include "cli/errors.h"
#include "cli/run_state.h"

namespace xev {

constexpr std::uint8_t TNS_LABEL_MARK = 0xFF;
constexpr std::uint8_t TNS_MAP_MARK = 0xFE;
constexpr const char* kDefaultTnsLabel = "TNS-DOS/XEV";

ErrorCode format_image(RunState& state, bool with_signature);
ErrorCode clear_directory(RunState& state);

int find_tns_entry(const RunState& state, std::uint8_t mark, int from);
ErrorCode write_tns_label(RunState& state);
ErrorCode store_tns_map(RunState& state);
std::uint8_t reverse_bits(std::uint8_t byte);

}  // namespace xev
