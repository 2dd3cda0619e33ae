// -sa and -su: change every directory entry of each matching file, either
// its two attribute bits or its user byte, and write the directory back.
#include <cstdint>
#include <cstdio>

#include "commands/commands.h"
#include "store/directory.h"

namespace xev {
namespace {

constexpr std::uint8_t kAttributeBit = 0x80;
constexpr int kReadOnlyByte = 9;
constexpr int kSystemByte = 10;

// What sets one command apart from the other: the change made to a single
// entry and the three lines it prints.
struct EntryChange {
  void (*apply)(const RunState& state, std::uint8_t* entry);
  void (*print_heading)(const RunState& state);
  const char* file_line;     // one %s: the file's display name
  const char* closing_line;  // one %d: the number of files
};

void set_bit(std::uint8_t& byte, bool on) {
  byte = static_cast<std::uint8_t>(on ? (byte | kAttributeBit) : (byte & ~kAttributeBit));
}

void apply_attributes(const RunState& state, std::uint8_t* entry) {
  set_bit(entry[kReadOnlyByte], state.new_attrs.size() > 0 && state.new_attrs[0] == 'R');
  set_bit(entry[kSystemByte], state.new_attrs.size() > 1 && state.new_attrs[1] == 'S');
}

void apply_user(const RunState& state, std::uint8_t* entry) { entry[0] = state.new_user; }

void print_attributes_heading(const RunState& state) {
  std::printf("Setting file attributes to '%s', mask: '%s'\n\n", state.new_attrs.c_str(),
              state.mask.c_str());
}

void print_user_heading(const RunState& state) {
  std::printf("Setting user area to '%d', mask: '%s'\n\n", state.new_user,
              state.mask.c_str());
}

void change_matching_files(RunState& state, const EntryChange& change) {
  if (!parse_cpm_name(state, state.fcb_name.data(), state.mask)) {
    raise_error(ERR_BAD_NAME, state.mask.c_str());
    return;
  }
  change.print_heading(state);

  int count = 0;
  for (int index = search_first(state, state.fcb_name); index >= 0;
       index = search_next(state)) {
    // The key is taken before anything changes, so the further entries are
    // still found by their original bytes.
    const ExtentKey key = extent_key_of(state, index);
    for (int entry = index; entry >= 0; entry = find_entry_from(state, key, entry + 1)) {
      change.apply(state, state.entry(entry));
    }
    ++count;
    std::printf(change.file_line, file_display_name(state, index).c_str());
  }

  // A failed save has been reported where it happened; the count still
  // tells what was changed in memory.
  save_directory(state);
  std::printf(change.closing_line, count);
}

}  // namespace

void run_set_attrs(RunState& state) {
  static constexpr EntryChange kChange{apply_attributes, print_attributes_heading,
                                       "File attributes for '%s' are set.\n",
                                       "\nDone. Attributes set for %d file(s).\n\n"};
  change_matching_files(state, kChange);
}

void run_set_user(RunState& state) {
  static constexpr EntryChange kChange{apply_user, print_user_heading,
                                       "User area for '%s' set.\n",
                                       "\nDone. User area set for %d file(s).\n\n"};
  change_matching_files(state, kChange);
}

}  // namespace xev
