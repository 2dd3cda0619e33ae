#include "cpm/directory.h"

#include <algorithm>
#include <cstring>

namespace xev {

Directory::Directory(const Geometry& geometry, bool tns)
    : bytes_(static_cast<std::size_t>(geometry.dir_entry_count) * kEntrySize, 0),
      extents_per_entry_(geometry.extents_per_entry),
      pointers_per_entry_(geometry.pointers_per_entry),
      tns_(tns) {}

bool Directory::is_file(int index) const {
  const int user = entry(index)[kUserByte];
  if (user == kFreeMark || user == kLabelMark || user == kStampsMark) return false;
  const bool password = user >= kPasswordUserOffset && user <= kMaxUser &&
                        (label_flags() & kLabelPasswords) != 0;
  return !password;
}

int Directory::label() const {
  for (int i = 0; i < size(); ++i) {
    if (entry(i)[kUserByte] == kLabelMark) return i;
  }
  return -1;
}

void Directory::note_label() {
  const int index = label();
  label_flags_ = index < 0 ? 0 : entry(index)[kExByte];
}

std::vector<int> Directory::password_entries(int first) const {
  std::vector<int> entries;
  const int user = entry(first)[kUserByte] + kPasswordUserOffset;
  if ((label_flags() & kLabelPasswords) == 0 || user > kMaxUser) return entries;
  for (int i = 0; i < size(); ++i) {
    bool same = entry(i)[kUserByte] == user;
    for (int c = 1; c <= kNameWidth + kTypeWidth && same; ++c) {
      same = (entry(i)[c] & 0x7F) == (entry(first)[c] & 0x7F);
    }
    if (same) entries.push_back(i);
  }
  return entries;
}

const std::uint8_t* Directory::stamps(int index) const {
  const int holder = index | 3;
  if (holder == index || holder >= size() || entry(holder)[kUserByte] != kStampsMark) return nullptr;
  return entry(holder) + 1 + kStampSlotSize * (index & 3);
}

std::uint8_t* Directory::stamps(int index) {
  return const_cast<std::uint8_t*>(static_cast<const Directory&>(*this).stamps(index));
}

bool Directory::is_free(int index) const {
  const std::uint8_t* e = entry(index);
  if (e[kUserByte] != kFreeMark) return false;
  return !tns_ || e[kTnsMarkByte] < kTnsMapMark;
}

int Directory::count_free() const {
  int count = 0;
  for (int i = 0; i < size(); ++i) count += is_free(i) ? 1 : 0;
  return count;
}

int Directory::first_free() const {
  for (int i = 0; i < size(); ++i) {
    if (is_free(i)) return i;
  }
  return -1;
}

int Directory::pointer(int index, int slot) const {
  const std::uint8_t* e = entry(index) + kPointerByte;
  if (pointers_per_entry_ == 16) return e[slot];
  return e[2 * slot] | (e[2 * slot + 1] << 8);
}

void Directory::set_pointer(int index, int slot, int au) {
  std::uint8_t* e = entry(index) + kPointerByte;
  if (pointers_per_entry_ == 16) {
    e[slot] = static_cast<std::uint8_t>(au);
  } else {
    e[2 * slot] = static_cast<std::uint8_t>(au & 0xFF);
    e[2 * slot + 1] = static_cast<std::uint8_t>((au >> 8) & 0xFF);
  }
}

ExtentKey Directory::key(int index) const {
  ExtentKey key{};
  std::memcpy(key.data(), entry(index), kKeySize);
  return key;
}

int Directory::find_key(const ExtentKey& key, int from) const {
  for (int i = std::max(from, 0); i < size(); ++i) {
    if (std::memcmp(entry(i), key.data(), kKeySize) == 0) return i;
  }
  return -1;
}

bool Directory::is_first_entry(int index) const {
  const std::uint8_t* e = entry(index);
  return is_file(index) && e[kExByte] < extents_per_entry_ && (e[kS2Byte] & 0x7F) == 0;
}

int Directory::find_file(const CpmName& mask, int user, int from) const {
  for (int i = std::max(from, 0); i < size(); ++i) {
    if (!is_first_entry(i)) continue;
    if (user != kAllUsers && user != entry(i)[kUserByte]) continue;
    if (mask.matches(entry(i))) return i;
  }
  return -1;
}

int Directory::extent(int index) const {
  const std::uint8_t* e = entry(index);
  return (e[kS2Byte] & 0x7F) * 32 + (e[kExByte] & 0x1F);
}

int Directory::records(const ExtentKey& key) const {
  int highest = -1;
  int records = 0;
  for (int i = find_key(key, 0); i >= 0; i = find_key(key, i + 1)) {
    if (extent(i) < highest) continue;
    highest = extent(i);
    records = highest * kExtentRecords + entry(i)[kRcByte];
  }
  return records;
}

std::vector<int> Directory::file_entries(int first) const {
  std::vector<int> entries;
  const ExtentKey file = key(first);
  for (int i = find_key(file, 0); i >= 0; i = find_key(file, i + 1)) entries.push_back(i);
  return entries;
}

}  // namespace xev
