// The commands. Each reports its own failures and returns nothing.
#pragma once

#include <string>

#include "cli/errors.h"
#include "cli/run_state.h"

namespace xev {

void run_catalogue(RunState& state);

ErrorCode collect_host_files(RunState& state);
void run_add(RunState& state);

void run_erase(RunState& state, bool from_add);
std::string file_display_name(const RunState& state, int index);

void run_extract(RunState& state);

void run_set_attrs(RunState& state);
void run_set_user(RunState& state);

void run_type(RunState& state);
void run_hex_dump(RunState& state);

void run_write_system(RunState& state);
void run_copy_system(RunState& state);
void run_save_system(RunState& state);

}  // namespace xev
