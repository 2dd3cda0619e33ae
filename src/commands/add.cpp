// -a: copy host files into the image as CP/M files.
#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <new>
#include <string>
#include <vector>

#include "commands/commands.h"
#include "platform/platform.h"
#include "store/directory.h"
#include "store/format.h"
#include "store/image.h"

namespace xev {
namespace {

constexpr std::int64_t kMaxFileSize = 8388608;  // 8 MiB: 65536 records
constexpr int kExtentBytes = 16384;             // one logical extent
constexpr int kExtentRecords = 128;
constexpr std::size_t kListStep = 32;

bool holds_wildcard(const FcbName& name) {
  return std::find(name.begin(), name.end(), '?') != name.end();
}

std::uint8_t new_file_user(const RunState& state) {
  return state.user_filter == kAllUsers ? 0 : state.user_filter;
}

// Allocation units per logical extent, and per directory entry. An entry
// holds extents_per_entry logical extents; with an EXM below what the pointer
// area allows, its spare pointer slots stay 0, as CP/M itself writes them.
int units_per_extent(const RunState& state) { return kExtentBytes / state.au_size; }
int units_per_entry(const RunState& state) {
  return state.extents_per_entry * units_per_extent(state);
}

// Sets EX, S2 and RC of a file entry whose last unit is unit `units - 1` of
// the file (counted from 0).
void close_entry(const RunState& state, std::uint8_t* entry, std::int64_t units,
                 int rc) {
  const std::int64_t extent = (units - 1) / units_per_extent(state);
  entry[12] = static_cast<std::uint8_t>(extent & 0x1F);
  entry[14] = static_cast<std::uint8_t>((extent >> 5) & 0x7F);
  entry[15] = static_cast<std::uint8_t>(rc);
}

// Starts a new directory entry for the file named by fcb_name.
ErrorCode open_entry(RunState& state, std::uint8_t*& entry) {
  const int index = first_free_entry(state);
  if (index < 0) return raise_error(ERR_FATAL);
  entry = state.entry(index);
  std::memset(entry, 0, kEntrySize);
  entry[0] = new_file_user(state);
  std::memcpy(entry + 1, state.fcb_name.data(), 11);
  return ERR_OK;
}

// Writes `data` as the file named by fcb_name: entries and units lowest first,
// every unit whole, the space behind the data filled with 0xE5. The caller has
// checked that enough entries and units are free.
ErrorCode write_file(RunState& state, const std::vector<std::uint8_t>& data) {
  const int per_entry = units_per_entry(state);
  const std::int64_t size = static_cast<std::int64_t>(data.size());
  const std::int64_t records = (size + kRecordSize - 1) / kRecordSize;
  std::uint8_t* buffer = state.io_buffer.data();
  std::uint8_t* entry = nullptr;
  std::int64_t done = 0;
  std::int64_t units = 0;

  do {
    if (units % per_entry == 0) {
      if (units > 0) close_entry(state, entry, units, 0x80);
      if (const ErrorCode code = open_entry(state, entry); code != ERR_OK) return code;
    }
    if (done == size) break;  // an empty file: one entry, no unit

    const int au = first_free_au(state);
    if (!set_au_bit(state, au, true)) return raise_error(ERR_FATAL);
    set_entry_pointer(state, entry, static_cast<int>(units % per_entry), au);

    const std::int64_t chunk = std::min<std::int64_t>(size - done, state.au_size);
    std::memcpy(buffer, data.data() + done, static_cast<std::size_t>(chunk));
    std::memset(buffer + chunk, kFreeMark, static_cast<std::size_t>(state.au_size - chunk));
    for (int record = 0; record < state.records_per_au; ++record) {
      int track = 0;
      int sector = 0;
      if (!locate_record(state, au, record, track, sector)) return raise_error(ERR_FATAL);
      const ErrorCode code =
          write_record(state, buffer + record * kRecordSize, track, sector);
      if (code != ERR_OK) return code;
    }
    ++units;
    done += chunk;
  } while (done < size);

  if (units > 0) {
    const int rc = static_cast<int>(records % kExtentRecords);
    close_entry(state, entry, units, rc == 0 ? 0x80 : rc);
  }
  return ERR_OK;
}

// Reads the whole open host file before anything of it is written, so that a
// file that cannot be read leaves the image untouched. A short read ends the
// command without saving: the -ow erasures are not saved either, so the file
// it was to replace is kept.
ErrorCode read_host_file(RunState& state, std::vector<std::uint8_t>& data) {
  try {
    data.resize(static_cast<std::size_t>(state.host_file_size));
  } catch (const std::bad_alloc&) {
    return raise_error(ERR_OUT_OF_MEMORY);
  }
  if (std::fread(data.data(), 1, data.size(), state.host_file.get()) != data.size()) {
    return raise_error(ERR_FILE_READ, state.host_name.c_str());
  }
  return ERR_OK;
}

enum class Outcome { kAdded, kSkipped, kStop, kAbort };

// Steps for one host file: existence, size, room, then the data.
Outcome add_one(RunState& state, const std::string& target,
                std::vector<std::uint8_t>& data) {
  if (search_first(state, state.fcb_name) >= 0) {
    raise_error(ERR_FILE_EXISTS, target.c_str());
    return Outcome::kSkipped;
  }
  if (open_host_file(state, false) != ERR_OK) return Outcome::kSkipped;
  const std::int64_t size = state.host_file_size;
  if (size > kMaxFileSize) {
    raise_error(ERR_FILE_TOO_LONG, state.host_name.c_str(), size);
    return Outcome::kSkipped;
  }
  const std::int64_t entry_bytes =
      static_cast<std::int64_t>(units_per_entry(state)) * state.au_size;
  const std::int64_t entries = std::max<std::int64_t>(1, (size + entry_bytes - 1) / entry_bytes);
  if (count_free_entries(state) < entries) {
    raise_error(ERR_DIRECTORY_FULL);
    return Outcome::kStop;
  }
  const std::int64_t units = (size + state.au_size - 1) / state.au_size;
  if (count_free_aus(state) < units) {
    raise_error(ERR_DISK_FULL);
    return Outcome::kStop;
  }
  if (read_host_file(state, data) != ERR_OK) return Outcome::kAbort;
  if (write_file(state, data) != ERR_OK) return Outcome::kAbort;
  return Outcome::kAdded;
}

}  // namespace

ErrorCode collect_host_files(RunState& state) {
  std::vector<std::string> names;
  const std::string pattern = state.host_dir + state.mask;
  platform::HostSearch search;
  std::string name;
  const platform::FindStatus status = search.first(pattern, name);
  if (status != platform::FindStatus::kFound) {
    return raise_error(
        status == platform::FindStatus::kNoFiles ? ERR_NO_MATCH : ERR_BAD_PATH,
        pattern.c_str());
  }
  do {
    state.host_name = name;
    if (!state.afn_name.empty()) {
      if (!parse_cpm_name(state, state.fcb_name.data(), state.afn_name)) {
        return raise_error(ERR_BAD_NAME, state.afn_name.c_str());
      }
      if (holds_wildcard(state.fcb_name)) {
        return raise_error(ERR_AMBIGUOUS, state.afn_name.c_str());
      }
      if (state.opt_overwrite) run_erase(state, true);
    } else if (!parse_cpm_name(state, state.fcb_name.data(), name)) {
      raise_error(ERR_BAD_NAME, name.c_str());
      continue;
    }
    try {
      if (names.size() == names.capacity()) names.reserve(names.size() + kListStep);
      names.push_back(name);
    } catch (const std::bad_alloc&) {
      return raise_error(ERR_OUT_OF_MEMORY);
    }
  } while (search.next(name));
  search.close();

  state.host_files = std::move(names);
  return ERR_OK;
}

void run_add(RunState& state) {
  std::printf("Adding file(s) to '%s'\n  path: '%s', mask: '%s'\n", state.image_name.c_str(),
              state.host_dir.c_str(), state.mask.c_str());
  if (!state.afn_name.empty()) std::printf("  as '%s'\n", state.afn_name.c_str());
  std::printf("\n");

  // An entry cannot cover more logical extents than its pointers can hold.
  if (static_cast<std::int64_t>(state.extents_per_entry) * kExtentBytes >
      static_cast<std::int64_t>(state.pointers_per_entry) * state.au_size) {
    raise_error(ERR_BAD_DEFINITION, state.image_type_name.c_str());
    return;
  }
  if (collect_host_files(state) != ERR_OK) return;

  const bool with_afn = !state.afn_name.empty();
  if (state.opt_overwrite && !with_afn) {
    for (const std::string& name : state.host_files) {
      state.host_name = name;
      parse_cpm_name(state, state.fcb_name.data(), name);
      run_erase(state, true);
    }
  }

  int added = 0;
  std::vector<std::uint8_t> data;
  for (const std::string& name : state.host_files) {
    state.host_name = name;
    const std::string& target = with_afn ? state.afn_name : name;
    parse_cpm_name(state, state.fcb_name.data(), target);
    if (with_afn && state.opt_overwrite) run_erase(state, true);

    const Outcome outcome = add_one(state, target, data);
    close_host_file(state);
    if (outcome == Outcome::kAbort) return;
    if (outcome == Outcome::kStop) break;
    if (outcome == Outcome::kAdded) {
      ++added;
      std::printf("File '%s' added\n", target.c_str());
    }
  }

  if (state.opt_tns) store_tns_map(state);
  save_directory(state);  // a failure has been reported there
  std::printf("\nDone. %d file(s) added.\n\n", added);
}

}  // namespace xev
