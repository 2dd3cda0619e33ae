// -e: erase files from the directory; also used by -a -ow to drop the file
// that is about to be replaced. Only the directory and the allocation map
// change; the data in the allocation units is left as it is.
#include <cstdio>
#include <string>

#include "commands/commands.h"
#include "imagetype/image_type.h"
#include "store/directory.h"
#include "store/format.h"

namespace xev {
namespace {

// Marks again every unit that the directory still holds: its own units and
// those named by entries in use. Freeing the units of an erased file must not
// free a unit that another file (or the directory) names as well, or the next
// add would write over that file.
void mark_units_in_use(RunState& state) {
  const int directory_units = directory_au_count(state);
  for (int au = 0; au < directory_units; ++au) set_au_bit(state, au, true);
  for (int index = 0; index < state.dir_entry_count; ++index) {
    const std::uint8_t* entry = state.entry(index);
    if (entry[0] == kFreeMark) continue;
    for (int slot = 0; slot < state.pointers_per_entry; ++slot) {
      const int au = entry_pointer(state, entry, slot);
      if (au == 0) break;
      set_au_bit(state, au, true);
    }
  }
}

// Erases the file whose first entry is `first`: every entry of it from there
// on gets the free mark and gives its units back to the map.
void erase_file(RunState& state, int first) {
  const ExtentKey key = extent_key_of(state, first);
  for (int index = first; index >= 0; index = find_entry_from(state, key, first + 1)) {
    std::uint8_t* entry = state.entry(index);
    entry[0] = kFreeMark;
    for (int slot = 0; slot < state.pointers_per_entry; ++slot) {
      const int au = entry_pointer(state, entry, slot);
      if (au != 0) set_au_bit(state, au, false);
    }
  }
}

}  // namespace

std::string file_display_name(const RunState& state, int index) {
  const std::uint8_t* entry = state.entry(index);
  std::string name;
  for (int i = 1; i <= 8; ++i) name += static_cast<char>(entry[i] & 0x7F);
  trim_right(name) += ".";
  for (int i = 9; i <= 11; ++i) name += static_cast<char>(entry[i] & 0x7F);
  return trim_right(name);
}

void run_erase(RunState& state, bool from_add) {
  if (!from_add && !parse_cpm_name(state, state.fcb_name.data(), state.mask)) {
    raise_error(ERR_BAD_NAME, state.mask.c_str());
    return;
  }
  const bool quiet = state.opt_overwrite;
  if (!quiet) {
    std::printf("Erasing file(s) from '%s', mask: '%s'\n\n", state.image_name.c_str(),
                state.mask.c_str());
  }

  int count = 0;
  for (int index = search_first(state, state.fcb_name); index >= 0;
       index = search_next(state)) {
    erase_file(state, index);
    ++count;
    if (!quiet) std::printf("File '%s' erased\n", file_display_name(state, index).c_str());
  }
  if (count > 0) mark_units_in_use(state);

  if (!from_add) {
    if (state.opt_tns) store_tns_map(state);
    save_directory(state);  // a failure has been reported there
  }
  if (!quiet) std::printf("\nDone. %d file(s) erased.\n\n", count);
}

}  // namespace xev
