#include "cpm/disk.h"

#include <cstdio>
#include <utility>

#include "cpm/names.h"

namespace xev {

Disk::Disk(Geometry geometry, std::unique_ptr<Medium> medium)
    : geometry_(std::move(geometry)),
      medium_(std::move(medium)),
      directory_(geometry_, false),
      map_(geometry_.au_count) {}

Error Disk::read_record(int au, int record, std::uint8_t* data) {
  const std::int64_t offset = geometry_.locate(au, record);
  if (offset < 0) return {ERR_FATAL};
  return medium_->read(offset, data, kRecordSize);
}

Error Disk::write_record(int au, int record, const std::uint8_t* data) {
  const std::int64_t offset = geometry_.locate(au, record);
  if (offset < 0) return {ERR_FATAL};
  return medium_->write(offset, data, kRecordSize);
}

Error Disk::write_unit(int au, const std::uint8_t* data) {
  // Past the unit's last record there is nothing to locate.
  for (int first = 0, count = 1; first < geometry_.records_per_au; first += count, count = 1) {
    const std::int64_t offset = geometry_.locate(au, first);
    while (geometry_.locate(au, first + count) == offset + std::int64_t{count} * kRecordSize) {
      ++count;
    }
    const auto length = static_cast<std::size_t>(count) * kRecordSize;
    if (Error error = medium_->write(offset, data + first * kRecordSize, length)) return error;
  }
  return {};
}

Error Disk::transfer_directory(bool writing) {
  std::uint8_t* data = directory_.bytes().data();
  for (int au = 0; au < geometry_.directory_units(); ++au) {
    for (int record = 0; record < geometry_.records_per_au; ++record, data += kRecordSize) {
      const Error error = writing ? write_record(au, record, data) : read_record(au, record, data);
      if (error) return error;
    }
  }
  return {};
}

Error Disk::load(const DirectoryPolicy& policy, std::vector<Error>& invalid) {
  directory_ = Directory(geometry_, policy.tns);
  if (Error error = transfer_directory(false)) return error;
  directory_.note_label();
  clear_map();

  char detail[64];
  for (int i = 0; i < directory_.size(); ++i) {
    if (!directory_.is_file(i)) continue;
    const std::uint8_t* entry = directory_.entry(i);
    const std::string name = entry_name(entry);
    auto report = [&](const char* reason) {
      invalid.push_back({ERR_CORRUPT_ENTRY, name, reason});
      return !policy.ignore_invalid;
    };

    const int user = static_cast<std::int8_t>(entry[kUserByte]);
    if (user < 0 || user > kMaxUser) {
      std::snprintf(detail, sizeof detail, "invalid user number: %d", user);
      if (report(detail)) return invalid.back();
    }
    if (!is_valid_entry_name(name) && report("bad file name")) return invalid.back();
    for (const int au : mark_units(i)) {
      std::snprintf(detail, sizeof detail, "invalid AU number: %d", au);
      if (report(detail)) return invalid.back();
    }
  }
  return {};
}

Error Disk::save() { return transfer_directory(true); }

void Disk::rebuild_map() {
  clear_map();
  for (int i = 0; i < directory_.size(); ++i) {
    if (directory_.is_file(i)) mark_units(i);
  }
}

void Disk::clear_map() {
  map_.clear();
  for (int au = 0; au < geometry_.reserved_units(); ++au) map_.set(au, true);
}

std::vector<int> Disk::mark_units(int index) {
  std::vector<int> outside;
  // A random-access file may have holes: a zero pointer ends nothing.
  for (int slot = 0; slot < directory_.pointers_per_entry(); ++slot) {
    const int au = directory_.pointer(index, slot);
    if (au != 0 && !map_.set(au, true)) outside.push_back(au);
  }
  return outside;
}

}  // namespace xev
