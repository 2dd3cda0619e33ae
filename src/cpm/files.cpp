#include "cpm/files.h"

#include <algorithm>
#include <cstring>

namespace xev {
namespace {

// Allocation units per logical extent, and per directory entry. An entry
// holds EXM + 1 logical extents; with an EXM below what the pointer area
// allows, its spare pointer slots stay 0, as CP/M itself writes them.
int units_per_extent(const Geometry& geometry) { return kExtentBytes / geometry.au_size; }
int units_per_entry(const Geometry& geometry) {
  return geometry.extents_per_entry * units_per_extent(geometry);
}

// Sets EX, S2 and RC of a file entry whose last unit is unit `units - 1` of
// the file (counted from 0).
void close_entry(const Geometry& geometry, std::uint8_t* entry, std::int64_t units, int rc) {
  const std::int64_t extent = (units - 1) / units_per_extent(geometry);
  entry[kExByte] = static_cast<std::uint8_t>(extent & 0x1F);
  entry[kS2Byte] = static_cast<std::uint8_t>((extent >> 5) & 0x7F);
  entry[kRcByte] = static_cast<std::uint8_t>(rc);
}

}  // namespace

Error read_file(Disk& disk, int first, const RecordSink& sink) {
  const Directory& directory = disk.directory();
  const int per_unit = disk.geometry().records_per_au;
  const int per_entry = kExtentRecords * directory.extents_per_entry();
  const int records = directory.records(directory.key(first));
  // Which entry holds each logical entry number; the first one found counts.
  std::vector<int> holder(static_cast<std::size_t>(records / per_entry + 1), -1);
  for (const int index : directory.file_entries(first)) {
    const auto number = static_cast<std::size_t>(directory.extent(index) / directory.extents_per_entry());
    if (number < holder.size() && holder[number] < 0) holder[number] = index;
  }
  std::uint8_t record[kRecordSize];
  for (int n = 0; n < records; ++n) {
    const int index = holder[static_cast<std::size_t>(n / per_entry)];
    const int slot = n % per_entry / per_unit;
    const int au =
        index >= 0 && slot < directory.pointers_per_entry() ? directory.pointer(index, slot) : 0;
    if (au == 0) {
      std::fill(record, record + kRecordSize, std::uint8_t{0});
    } else if (Error error = disk.read_record(au, n % per_unit, record)) {
      return error;
    }
    if (Error error = sink(record)) return error;
  }
  return {};
}

FileRoom room_for(const Geometry& geometry, std::int64_t size) {
  const std::int64_t entry_bytes = std::int64_t{units_per_entry(geometry)} * geometry.au_size;
  return {std::max<std::int64_t>(1, (size + entry_bytes - 1) / entry_bytes),
          (size + geometry.au_size - 1) / geometry.au_size};
}

bool entries_hold_their_extents(const Geometry& geometry) {
  return std::int64_t{geometry.extents_per_entry} * kExtentBytes <=
         std::int64_t{geometry.pointers_per_entry} * geometry.au_size;
}

Error write_file(Disk& disk, const CpmName& name, int user, const std::vector<std::uint8_t>& data,
                 int& first) {
  const Geometry& geometry = disk.geometry();
  Directory& directory = disk.directory();
  const int per_entry = units_per_entry(geometry);
  const auto size = static_cast<std::int64_t>(data.size());
  const std::int64_t records = (size + kRecordSize - 1) / kRecordSize;
  std::vector<std::uint8_t> unit(static_cast<std::size_t>(geometry.au_size));
  int index = -1;
  std::int64_t done = 0;
  std::int64_t units = 0;

  do {
    if (units % per_entry == 0) {
      if (units > 0) close_entry(geometry, directory.entry(index), units, 0x80);
      index = directory.first_free();
      if (index < 0) return {ERR_FATAL};
      if (units == 0) first = index;
      std::uint8_t* entry = directory.entry(index);
      std::memset(entry, 0, kEntrySize);
      entry[kUserByte] = static_cast<std::uint8_t>(user);
      std::memcpy(entry + 1, name.chars.data(), name.chars.size());
    }
    if (done == size) break;  // an empty file: one entry, no unit

    const int au = disk.map().first_free();
    if (!disk.map().set(au, true)) return {ERR_FATAL};
    directory.set_pointer(index, static_cast<int>(units % per_entry), au);

    const std::int64_t chunk = std::min<std::int64_t>(size - done, geometry.au_size);
    std::memcpy(unit.data(), data.data() + done, static_cast<std::size_t>(chunk));
    std::fill(unit.begin() + chunk, unit.end(), kFreeMark);
    if (Error error = disk.write_unit(au, unit.data())) return error;
    ++units;
    done += chunk;
  } while (done < size);

  if (units > 0) {
    const int rc = static_cast<int>(records % kExtentRecords);
    close_entry(geometry, directory.entry(index), units, rc == 0 ? 0x80 : rc);
  }
  return {};
}

void erase_file(Directory& directory, int first) {
  for (const int index : directory.password_entries(first)) {
    directory.entry(index)[kUserByte] = kFreeMark;
  }
  for (const int index : directory.file_entries(first)) {
    directory.entry(index)[kUserByte] = kFreeMark;
  }
}

}  // namespace xev
