// -x: copy CP/M files out of the image into host files of the same name.
#include <cstdio>
#include <string>

#include "commands/commands.h"
#include "platform/platform.h"
#include "store/directory.h"
#include "store/image.h"

namespace xev {
namespace {

// The CP/M name as a host file name: characters that separate or quote host
// paths become '_'.
std::string host_name_for(const std::string& cpm_name) {
  std::string name = cpm_name;
  for (char& c : name) {
    if (c == '\\' || c == '/' || c == '"' || c == '|') c = '_';
  }
  return name;
}

// Copies cur_records records of the file whose first entry is `first` into
// the open host file: its entries in directory order from `first` on, the
// units of each up to its first zero pointer.
ErrorCode copy_file_data(RunState& state, int first) {
  const ExtentKey key = extent_key_of(state, first);
  std::uint8_t* buffer = state.io_buffer.data();
  for (int index = first; index >= 0 && state.cur_records > 0;
       index = find_entry_from(state, key, index + 1)) {
    const std::uint8_t* entry = state.entry(index);
    for (int slot = 0; slot < state.pointers_per_entry && state.cur_records > 0; ++slot) {
      const int au = entry_pointer(state, entry, slot);
      if (au == 0) break;
      for (int record = 0; record < state.records_per_au && state.cur_records > 0;
           ++record) {
        int track = 0;
        int sector = 0;
        if (!locate_record(state, au, record, track, sector)) return raise_error(ERR_FATAL);
        if (const ErrorCode code = read_record(state, buffer, track, sector); code != ERR_OK) {
          return code;
        }
        if (std::fwrite(buffer, 1, kRecordSize, state.host_file.get()) != kRecordSize) {
          return raise_error(ERR_FILE_WRITE, state.host_name.c_str());
        }
        --state.cur_records;
      }
    }
  }
  // Buffered data that cannot reach the disk is a failed write as well.
  if (std::fflush(state.host_file.get()) != 0) {
    return raise_error(ERR_FILE_WRITE, state.host_name.c_str());
  }
  return ERR_OK;
}

}  // namespace

void run_extract(RunState& state) {
  if (!parse_cpm_name(state, state.fcb_name.data(), state.mask)) {
    raise_error(ERR_BAD_NAME, state.mask.c_str());
    return;
  }
  std::printf("Extracting file(s) from '%s'\n  path: '%s', mask: '%s'\n\n",
              state.image_name.c_str(), state.host_dir.c_str(), state.mask.c_str());

  int count = 0;
  for (int index = search_first(state, state.fcb_name); index >= 0;
       index = search_next(state)) {
    load_entry_name(state, index);
    state.cur_records = file_records(state, extent_key_of(state, index));
    state.host_name = platform::safe_host_name(host_name_for(state.cur_name));
    if (open_host_file(state, true) != ERR_OK) return;
    const ErrorCode code = copy_file_data(state, index);
    close_host_file(state);
    if (code != ERR_OK) return;
    ++count;
    if (state.host_name == state.cur_name) {
      std::printf("File '%s' extracted\n", state.host_name.c_str());
    } else {
      std::printf("File '%s' extracted as %s\n", state.cur_name.c_str(),
                  state.host_name.c_str());
    }
  }

  if (count > 0 || state.name_is_ambiguous) {
    std::printf("\nDone. %d file(s) extracted.\n\n", count);
  } else {
    raise_error(ERR_FILE_NOT_FOUND, state.mask.c_str());
  }
}

}  // namespace xev
