#include "cpm/format.h"

#include <algorithm>
#include <cstdio>
#include <cstring>

#include "cpm/text.h"
#include "cpm/version.h"

namespace xev {
namespace {

constexpr std::uint8_t kSystemStartByte = 0xC9;
constexpr int kTnsMapBytesPerEntry = 30;

// Moves entry `from` to index `to` (to <= from; the same index leaves it
// where it is); the entries between move up one place and keep their order.
void move_entry(Directory& directory, int from, int to) {
  std::uint8_t* base = directory.bytes().data();
  std::rotate(base + to * kEntrySize, base + from * kEntrySize, base + (from + 1) * kEntrySize);
}

// True when the free entry at `index` carries `mark` in byte 15.
bool is_tns_entry(const Directory& directory, int index, std::uint8_t mark) {
  if (index < 0) return false;
  const std::uint8_t* entry = directory.entry(index);
  return entry[kUserByte] == kFreeMark && entry[kTnsMarkByte] == mark;
}

}  // namespace

Error write_format_records(Disk& disk) {
  const Geometry& geometry = disk.geometry();
  std::uint8_t record[kRecordSize];
  if (geometry.system_size > 0) {
    std::memset(record, kFreeMark, kRecordSize);
    record[0] = kSystemStartByte;
    if (Error error = disk.medium().write(0, record, kRecordSize)) return error;
  }
  std::memset(record, 0, kRecordSize);
  std::snprintf(reinterpret_cast<char*>(record), kRecordSize, "%s v%d.%d %s", kProductText,
                kVersionMajor, kVersionMinor, kMakerText);
  return disk.medium().write(geometry.image_size - kRecordSize, record, kRecordSize);
}

Error clear_directory(Disk& disk) {
  std::uint8_t record[kRecordSize] = {};
  for (int offset = 0; offset < kRecordSize; offset += kEntrySize) {
    record[offset] = kFreeMark;
    std::memset(record + offset + 1, ' ', kNameWidth + kTypeWidth);
  }
  const Geometry& geometry = disk.geometry();
  for (int au = 0; au < geometry.directory_units(); ++au) {
    for (int r = 0; r < geometry.records_per_au; ++r) {
      if (Error error = disk.write_record(au, r, record)) return error;
    }
  }
  return {};
}

int find_tns_entry(const Directory& directory, std::uint8_t mark, int from) {
  int plain = -1;
  for (int i = std::max(from, 0); i < directory.size(); ++i) {
    const std::uint8_t* entry = directory.entry(i);
    if (entry[kUserByte] != kFreeMark) continue;
    if (entry[kTnsMarkByte] == mark) return i;
    if (plain < 0 && entry[kTnsMarkByte] < kTnsMapMark) plain = i;
  }
  return plain;
}

Error write_tns_label(Directory& directory, const std::string& label) {
  const int found = find_tns_entry(directory, kTnsLabelMark, 0);
  if (found < 0) return {ERR_DIRECTORY_FULL};
  std::string text = label;
  if (text.empty()) {
    // An existing label is the disk's own data: keep it unless asked for
    // another one.
    const std::uint8_t* old = directory.entry(found);
    text = old[kTnsMarkByte] == kTnsLabelMark
               ? std::string(reinterpret_cast<const char*>(old + 1), kTnsLabelLength)
               : kDefaultTnsLabel;
  }
  move_entry(directory, found, 0);

  std::uint8_t* entry = directory.entry(0);
  std::memset(entry, 0, kEntrySize);
  entry[kUserByte] = kFreeMark;
  std::memset(entry + 1, ' ', kTnsLabelLength);
  std::memcpy(entry + 1, text.data(), std::min(text.size(), kTnsLabelLength));
  entry[kTnsMarkByte] = kTnsLabelMark;
  return {};
}

Error store_tns_map(Directory& directory, const AllocationMap& map) {
  const std::vector<std::uint8_t>& bytes = map.bytes();
  const int map_bytes = static_cast<int>(bytes.size());
  const int unused_bits = map_bytes * 8 - map.units();
  const auto tail_mask = static_cast<std::uint8_t>(0xFF00 >> unused_bits);
  int next = 0;  // next map byte to store
  for (int index = 1, done = 0; done < map_bytes; ++index, done += kTnsMapBytesPerEntry) {
    const int found = find_tns_entry(directory, kTnsMapMark, index);
    if (found < 0) return {ERR_DIRECTORY_FULL};
    move_entry(directory, found, index);

    std::uint8_t* entry = directory.entry(index);
    std::memset(entry, 0xFF, kEntrySize);
    entry[kUserByte] = kFreeMark;
    entry[kTnsMarkByte] = kTnsMapMark;
    for (int pos = 1; pos < kEntrySize && next < map_bytes; ++pos) {
      if (pos == kTnsMarkByte) continue;
      std::uint8_t byte = reverse_bits(bytes[static_cast<std::size_t>(next)]);
      if (next == map_bytes - 1) byte = static_cast<std::uint8_t>(byte | tail_mask);
      entry[pos] = byte;
      ++next;
    }
  }
  return {};
}

std::string read_tns_label(const Directory& directory) {
  const int index = find_tns_entry(directory, kTnsLabelMark, 0);
  if (!is_tns_entry(directory, index, kTnsLabelMark)) return {};
  // The label ends at a NUL as well as after its eleventh character.
  const std::uint8_t* first = directory.entry(index) + 1;
  const std::uint8_t* last = std::find(first, first + kTnsLabelLength, 0);
  std::string label(first, last);
  return trim(label);
}

bool looks_like_tns_disk(const Directory& directory) {
  return is_tns_entry(directory, find_tns_entry(directory, kTnsLabelMark, 0), kTnsLabelMark) &&
         is_tns_entry(directory, find_tns_entry(directory, kTnsMapMark, 0), kTnsMapMark);
}

std::uint8_t reverse_bits(std::uint8_t byte) {
  unsigned value = byte;
  value = ((value & 0xF0u) >> 4) | ((value & 0x0Fu) << 4);
  value = ((value & 0xCCu) >> 2) | ((value & 0x33u) << 2);
  value = ((value & 0xAAu) >> 1) | ((value & 0x55u) << 1);
  return static_cast<std::uint8_t>(value);
}

}  // namespace xev
