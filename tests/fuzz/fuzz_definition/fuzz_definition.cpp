// The definition reader on any definition file. Whatever it accepts must be
// a disk the store can address, and a freshly formatted image of it must
// load as an empty directory.
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

#include "cli/run_state.h"
#include "fuzz_support.h"
#include "imagetype/image_type.h"
#include "store/directory.h"
#include "store/format.h"
#include "store/image.h"

namespace {

using namespace xev;

// Only images up to this size are formatted in memory.
constexpr int kMaxFormattedImage = 256 * 1024;

std::string g_dir;

bool is_track_permutation(const std::vector<int>& table) {
  std::vector<bool> seen(table.size() + 1, false);
  for (int position : table) {
    if (position < 1 || static_cast<std::size_t>(position) > table.size()) return false;
    if (seen[static_cast<std::size_t>(position)]) return false;
    seen[static_cast<std::size_t>(position)] = true;
  }
  return true;
}

void check_geometry(const RunState& state) {
  FUZZ_CHECK(state.sectors_per_track >= 1);
  FUZZ_CHECK(state.skew_table.size() == static_cast<std::size_t>(state.sectors_per_track));
  FUZZ_CHECK(is_track_permutation(state.skew_table));
  FUZZ_CHECK(state.track_size == state.sectors_per_track * kRecordSize);
  FUZZ_CHECK(state.au_size >= 1024 && state.au_size <= 16384 &&
             (state.au_size & (state.au_size - 1)) == 0);
  FUZZ_CHECK(state.records_per_au * kRecordSize == state.au_size);
  FUZZ_CHECK(state.au_count >= 2 && state.au_count <= 65536);
  FUZZ_CHECK(state.map_bytes == (state.au_count + 7) / 8);
  FUZZ_CHECK(state.alloc_map.size() == static_cast<std::size_t>(state.map_bytes));
  FUZZ_CHECK(state.pointers_per_entry == (state.au_count <= 256 ? 16 : 8));
  FUZZ_CHECK(state.dir_entry_count >= 1 &&
             state.dir_entry_count * kEntrySize % state.au_size == 0);
  FUZZ_CHECK(state.directory.size() ==
             static_cast<std::size_t>(state.dir_entry_count) * kEntrySize);
  FUZZ_CHECK(state.system_size >= 0);
  FUZZ_CHECK(state.image_size <= 0x40000000);

  // The data area is whole tracks and holds every allocation unit.
  const std::int64_t data_size = std::int64_t{state.image_size} - state.system_size;
  FUZZ_CHECK(data_size % state.track_size == 0);
  FUZZ_CHECK(data_size >= std::int64_t{state.au_count} * state.au_size);

  // The last record of the last unit lies inside the image.
  int track = 0;
  int sector = 0;
  FUZZ_CHECK(locate_record(state, state.au_count - 1, state.records_per_au - 1, track, sector));
  const std::int64_t offset =
      state.system_size + std::int64_t{track - state.reserved_tracks} * state.track_size +
      std::int64_t{state.skew_table[static_cast<std::size_t>(sector)] - 1} * kRecordSize;
  FUZZ_CHECK(offset >= state.system_size && offset + kRecordSize <= state.image_size);
}

// Formats an in-memory image of the geometry, with the TNS-DOS entries, and
// loads it back: every entry but the TNS-DOS ones free, only the directory's
// units in use.
void format_and_load(RunState& state) {
  FILE* image = tmpfile();
  FUZZ_CHECK(image != nullptr);
  state.image_file.reset(image);
  const std::vector<std::uint8_t> blank(static_cast<std::size_t>(state.image_size), kFreeMark);
  FUZZ_CHECK(std::fwrite(blank.data(), 1, blank.size(), image) == blank.size());

  const int directory_units = directory_au_count(state);
  const bool fits = directory_units <= state.au_count;
  state.cmd_full_format = true;
  FUZZ_CHECK(format_image(state, true) == ERR_OK);
  const ErrorCode cleared = clear_directory(state);
  FUZZ_CHECK(fits ? cleared == ERR_OK : cleared == ERR_FATAL);
  if (!fits) return;

  FUZZ_CHECK(load_directory(state) == ERR_OK);
  FUZZ_CHECK(count_free_entries(state) == state.dir_entry_count);
  FUZZ_CHECK(count_free_aus(state) == state.au_count - directory_units);

  state.opt_tns = true;
  const int map_entries = (state.map_bytes + 29) / 30;
  const ErrorCode label = write_tns_label(state);
  const ErrorCode map = store_tns_map(state);
  if (1 + map_entries <= state.dir_entry_count) {
    FUZZ_CHECK(label == ERR_OK && map == ERR_OK);
    FUZZ_CHECK(save_directory(state) == ERR_OK);
    FUZZ_CHECK(load_directory(state) == ERR_OK);
    FUZZ_CHECK(count_free_entries(state) == state.dir_entry_count - 1 - map_entries);
  }
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  fuzz::silence_tool_output();
  g_dir = fuzz::make_work_dir("definition");
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  {
    FilePtr ini(std::fopen((g_dir + "xev.ini").c_str(), "wb"));
    FUZZ_CHECK(ini != nullptr);
    FUZZ_CHECK(std::fwrite(data, 1, size, ini.get()) == size);
  }
  RunState state;
  state.io_buffer.assign(kIoBufferSize, 0);
  state.exe_dir = g_dir;
  state.exe_name = "xev";
  state.image_name = "fuzz.dsk";
  state.image_type_name = "dsk";
  state.opt_type_info = true;
  if (load_image_type(state) != ERR_OK) return 0;

  check_geometry(state);
  if (state.image_size <= kMaxFormattedImage) format_and_load(state);
  return 0;
}
