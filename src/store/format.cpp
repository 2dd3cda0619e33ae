// Formatting and the TNS-DOS label and map entries.
#include "store/format.h"

#include <algorithm>
#include <cstdio>
#include <cstring>

#include "cli/version.h"
#include "store/directory.h"
#include "store/image.h"

namespace xev {
namespace {

constexpr int kMarkByte = 15;
constexpr std::uint8_t kSystemStartByte = 0xC9;

// Writes the first record of the work buffer at `offset` of the image.
ErrorCode write_image_record(RunState& state, std::int64_t offset) {
  std::FILE* file = state.image_file.get();
  if (!seek_stream(file, offset) ||
      std::fwrite(state.io_buffer.data(), 1, kRecordSize, file) !=
          static_cast<std::size_t>(kRecordSize) ||
      std::fflush(file) != 0) {
    return raise_error(ERR_IMAGE_WRITE, state.image_name.c_str());
  }
  return ERR_OK;
}

// Moves entry `from` to index `to` (to <= from); the entries between move up
// one place and keep their order.
void move_entry(RunState& state, int from, int to) {
  if (from <= to) return;
  std::uint8_t* base = state.directory.data();
  std::rotate(base + to * kEntrySize, base + from * kEntrySize,
              base + (from + 1) * kEntrySize);
}

}  // namespace

ErrorCode format_image(RunState& state, bool with_signature) {
  if (const ErrorCode code = alloc_zeroed(state.io_buffer, kIoBufferSize)) return code;
  std::uint8_t* record = state.io_buffer.data();
  if (state.system_size > 0) {
    std::memset(record, kFreeMark, kRecordSize);
    record[0] = kSystemStartByte;
    if (const ErrorCode code = write_image_record(state, 0)) return code;
  }
  if (with_signature) {
    std::memset(record, 0, kRecordSize);
    std::snprintf(reinterpret_cast<char*>(record), kRecordSize, "%s v%d.%d %s",
                  kProductText, kVersionMajor, kVersionMinor, kMakerText);
    if (const ErrorCode code = write_image_record(
            state, static_cast<std::int64_t>(state.image_size) - kRecordSize)) {
      return code;
    }
  }
  if (state.cmd_full_format)
    std::printf("Image '%s' was formated.\n", state.image_name.c_str());
  return ERR_OK;
}

ErrorCode clear_directory(RunState& state) {
  if (const ErrorCode code = alloc_zeroed(state.io_buffer, kIoBufferSize)) return code;
  std::uint8_t* record = state.io_buffer.data();
  std::memset(record, 0, kRecordSize);
  for (int offset = 0; offset < kRecordSize; offset += kEntrySize) {
    record[offset] = kFreeMark;
    std::memset(record + offset + 1, ' ', 11);
  }
  const int units = directory_au_count(state);
  for (int au = 0; au < units; ++au) {
    for (int r = 0; r < state.records_per_au; ++r) {
      int track = 0;
      int sector = 0;
      if (!locate_record(state, au, r, track, sector)) return raise_error(ERR_FATAL);
      if (const ErrorCode code = write_record(state, record, track, sector)) return code;
    }
  }
  if (state.cmd_quick_format) {
    std::printf("Directory of image '%s' was cleaned.\n", state.image_name.c_str());
  }
  return ERR_OK;
}

int find_tns_entry(const RunState& state, std::uint8_t mark, int from) {
  int plain = -1;
  for (int i = std::max(from, 0); i < state.dir_entry_count; ++i) {
    const std::uint8_t* entry = state.entry(i);
    if (entry[0] != kFreeMark) continue;
    if (entry[kMarkByte] == mark) return i;
    if (plain < 0 && entry[kMarkByte] < TNS_MAP_MARK) plain = i;
  }
  return plain;
}

ErrorCode write_tns_label(RunState& state) {
  const int found = find_tns_entry(state, TNS_LABEL_MARK, 0);
  if (found < 0) {
    if (state.tns_label.empty()) state.tns_label = kDefaultTnsLabel;
    return raise_error(ERR_DIRECTORY_FULL);
  }
  const std::uint8_t* old = state.entry(found);
  if (state.tns_label.empty()) {
    // An existing label is the disk's own data: keep it unless -lbl asks
    // for another one.
    if (old[kMarkByte] == TNS_LABEL_MARK) {
      state.tns_label.assign(reinterpret_cast<const char*>(old + 1), kLabelLength);
    } else {
      state.tns_label = kDefaultTnsLabel;
    }
  }
  move_entry(state, found, 0);

  std::uint8_t* entry = state.entry(0);
  std::memset(entry, 0, kEntrySize);
  entry[0] = kFreeMark;
  std::memset(entry + 1, ' ', kLabelLength);
  std::memcpy(entry + 1, state.tns_label.data(),
              std::min(state.tns_label.size(), kLabelLength));
  entry[kMarkByte] = TNS_LABEL_MARK;
  return ERR_OK;
}

ErrorCode store_tns_map(RunState& state) {
  if (state.dir_entry_count > 0) {
    const std::uint8_t* first = state.entry(0);
    if (first[0] != kFreeMark && first[kMarkByte] != TNS_LABEL_MARK)
      write_tns_label(state);
  }

  const int map_bytes = state.map_bytes;
  const int unused_bits = map_bytes * 8 - state.au_count;
  const auto tail_mask = static_cast<std::uint8_t>(0xFF00 >> unused_bits);
  int next = 0;  // next map byte to store
  for (int index = 1, done = 0; done < map_bytes; ++index, done += 30) {
    const int found = find_tns_entry(state, TNS_MAP_MARK, index);
    if (found < 0) return raise_error(ERR_DIRECTORY_FULL);
    move_entry(state, found, index);

    std::uint8_t* entry = state.entry(index);
    std::memset(entry, 0xFF, kEntrySize);
    entry[0] = kFreeMark;
    entry[kMarkByte] = TNS_MAP_MARK;
    for (int pos = 1; pos < kEntrySize && next < map_bytes; ++pos) {
      if (pos == kMarkByte) continue;
      std::uint8_t byte = reverse_bits(state.alloc_map[static_cast<std::size_t>(next)]);
      if (next == map_bytes - 1) byte = static_cast<std::uint8_t>(byte | tail_mask);
      entry[pos] = byte;
      ++next;
    }
  }
  return ERR_OK;
}

std::uint8_t reverse_bits(std::uint8_t byte) {
  unsigned value = byte;
  value = ((value & 0xF0u) >> 4) | ((value & 0x0Fu) << 4);
  value = ((value & 0xCCu) >> 2) | ((value & 0x33u) << 2);
  value = ((value & 0xAAu) >> 1) | ((value & 0x55u) << 1);
  return static_cast<std::uint8_t>(value);
}

}  // namespace xev
