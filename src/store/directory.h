// The CP/M directory in memory, the allocation map, the file-name rules and
// the directory search.
#pragma once

#include <cstdint>
#include <string>

#include "cli/errors.h"
#include "cli/run_state.h"

namespace xev {

// Number of allocation units the directory occupies (units 0 to D - 1).
int directory_au_count(const RunState& state);

ErrorCode load_directory(RunState& state);
ErrorCode save_directory(RunState& state);

// With `out` (12 bytes): checks a user's name or mask, stores its
// 11-character form and sets name_is_ambiguous. Without: checks a name read
// from the directory.
bool parse_cpm_name(RunState& state, char* out, const std::string& text);

// Fills `width` characters of `field` from `text` ('*' turns this and every
// later position into '?'), terminates it, and returns the rest of `text`.
const char* pad_name_field(char* field, const char* text, int width);

// Sets cur_user, cur_name, cur_read_only and cur_system from entry `index`.
void load_entry_name(RunState& state, int index);

// Allocation pointer `slot` of an entry (16 one-byte or 8 two-byte pointers).
int entry_pointer(const RunState& state, const std::uint8_t* entry, int slot);
void set_entry_pointer(const RunState& state, std::uint8_t* entry, int slot, int au);

// Allocation map.
bool set_au_bit(RunState& state, int au, bool used);
int first_free_au(const RunState& state);
int count_free_aus(const RunState& state);

// Free entries; with opt_tns, TNS-DOS label and map entries are not free.
int count_free_entries(const RunState& state);
int first_free_entry(const RunState& state);

// Finding files.
ExtentKey extent_key_of(const RunState& state, int index);
int find_entry_from(const RunState& state, const ExtentKey& key, int from);
int file_records(const RunState& state, const ExtentKey& key);
int search_first(RunState& state, const FcbName& mask);
int search_next(RunState& state);

}  // namespace xev
