// The definition reader on any definition file. Whatever it accepts must be
// a disk the store can address, and a freshly formatted image of it must
// load as an empty directory.
#include <algorithm>
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

std::string g_dir;

void check_geometry(const RunState& state) {
  std::vector<int> skew = state.skew_table;
  std::sort(skew.begin(), skew.end());
  FUZZ_CHECK(state.sectors_per_track >= 1 && skew.size() == std::size_t(state.sectors_per_track));
  for (std::size_t i = 0; i < skew.size(); ++i) FUZZ_CHECK(skew[i] == int(i) + 1);
  FUZZ_CHECK(state.au_count >= 2 && state.alloc_map.size() == std::size_t(state.au_count + 7) / 8);
  FUZZ_CHECK(state.dir_entry_count >= 1 && state.dir_entry_count * kEntrySize % state.au_size == 0);
  const std::int64_t data_size = std::int64_t{state.image_size} - state.system_size;
  FUZZ_CHECK(state.system_size >= 0 && data_size % state.track_size == 0);
  FUZZ_CHECK(data_size >= std::int64_t{state.au_count} * state.au_size);

  // The last record of the last unit lies inside the image.
  int track = 0, sector = 0;
  FUZZ_CHECK(locate_record(state, state.au_count - 1, state.records_per_au - 1, track, sector));
  const std::int64_t offset =
      state.system_size + std::int64_t{track - state.reserved_tracks} * state.track_size +
      std::int64_t{state.skew_table[std::size_t(sector)] - 1} * kRecordSize;
  FUZZ_CHECK(offset >= state.system_size && offset + kRecordSize <= state.image_size);
}

void format_and_load(RunState& state) {
  const std::vector<std::uint8_t> blank(std::size_t(state.image_size), kFreeMark);
  state.image_file.reset(tmpfile());
  FUZZ_CHECK(state.image_file != nullptr &&
             std::fwrite(blank.data(), 1, blank.size(), state.image_file.get()) == blank.size());
  const int directory_units = directory_au_count(state);
  state.cmd_full_format = true;
  FUZZ_CHECK(format_image(state, true) == ERR_OK);
  FUZZ_CHECK(clear_directory(state) == (directory_units <= state.au_count ? ERR_OK : ERR_FATAL));
  if (directory_units > state.au_count) return;
  FUZZ_CHECK(load_directory(state) == ERR_OK);
  FUZZ_CHECK(count_free_entries(state) == state.dir_entry_count &&
             count_free_aus(state) == state.au_count - directory_units);
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  fuzz::silence_tool_output();
  g_dir = fuzz::make_work_dir("definition");
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  FilePtr ini(std::fopen((g_dir + "xev.ini").c_str(), "wb"));
  FUZZ_CHECK(ini != nullptr && std::fwrite(data, 1, size, ini.get()) == size);
  ini.reset();
  RunState state;
  state.io_buffer.assign(kIoBufferSize, 0);
  state.exe_dir = g_dir;
  state.exe_name = "xev";
  state.image_name = "fuzz.dsk";
  state.image_type_name = "dsk";
  state.opt_type_info = true;
  if (load_image_type(state) != ERR_OK) return 0;
  check_geometry(state);
  if (state.image_size <= 256 * 1024) format_and_load(state);  // small ones only
  return 0;
}
