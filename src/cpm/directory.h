// The CP/M directory in memory: 32-byte entries in disk order, what each
// one holds, and how files are found among them.
//
// A file is the set of entries that share its first 12 bytes (user byte,
// name and type with their attribute bits): its key, wherever they stand.
// Its first entry is the one that holds its first logical extents (EX below
// EXM + 1, S2 zero); CP/M finds the others by their extent number, and so
// does xev.
#pragma once

#include <array>
#include <cstdint>
#include <vector>

#include "cpm/geometry.h"
#include "cpm/names.h"

namespace xev {

constexpr std::uint8_t kFreeMark = 0xE5;  // user byte of a free entry
constexpr int kAllUsers = 255;            // no user area filter
constexpr int kMaxUser = 31;
constexpr int kKeySize = 12;

// Entry bytes.
constexpr int kUserByte = 0;
constexpr int kReadOnlyByte = 9;  // bit 7
constexpr int kSystemByte = 10;   // bit 7
constexpr int kExByte = 12;
constexpr int kS2Byte = 14;
constexpr int kRcByte = 15;
constexpr int kPointerByte = 16;

// CP/M 3 keeps its directory label and its date stamps in entries of their
// own; the label's byte 12 says which stamps the disk keeps and whether files
// have passwords, which live in entries of user area 16 to 31.
constexpr std::uint8_t kLabelMark = 0x20;
constexpr std::uint8_t kStampsMark = 0x21;
constexpr std::uint8_t kLabelPasswords = 0x80;
constexpr std::uint8_t kLabelAccessStamps = 0x40;
constexpr std::uint8_t kLabelUpdateStamps = 0x20;
constexpr std::uint8_t kLabelCreateStamps = 0x10;
constexpr int kPasswordUserOffset = 16;
constexpr int kStampSlotSize = 10;  // create/access stamp, update stamp, mode, reserved

// TNS-DOS keeps a disk label and a copy of the allocation map in entries that
// CP/M takes for free ones, marked in byte 15.
constexpr std::uint8_t kTnsLabelMark = 0xFF;
constexpr std::uint8_t kTnsMapMark = 0xFE;
constexpr int kTnsMarkByte = 15;

using ExtentKey = std::array<std::uint8_t, kKeySize>;

class Directory {
 public:
  Directory() = default;
  // An all-zero directory of the geometry's size. With `tns`, TNS-DOS label
  // and map entries do not count as free.
  Directory(const Geometry& geometry, bool tns);

  int size() const { return static_cast<int>(bytes_.size() / kEntrySize); }
  // An index past the directory is a fault of ours: it throws rather than
  // reading or writing whatever lies behind.
  std::uint8_t* entry(int index) { return &bytes_.at(static_cast<std::size_t>(index) * kEntrySize); }
  const std::uint8_t* entry(int index) const {
    return &bytes_.at(static_cast<std::size_t>(index) * kEntrySize);
  }
  std::vector<std::uint8_t>& bytes() { return bytes_; }
  const std::vector<std::uint8_t>& bytes() const { return bytes_; }
  int pointers_per_entry() const { return pointers_per_entry_; }

  bool in_use(int index) const { return entry(index)[kUserByte] != kFreeMark; }
  // An entry in use that belongs to a file: not a CP/M 3 label, stamp or
  // password entry.
  bool is_file(int index) const;
  bool is_free(int index) const;
  int count_free() const;
  int first_free() const;  // -1 when there is none

  // Allocation pointer `slot`: 16 one-byte or 8 two-byte (low byte first).
  int pointer(int index, int slot) const;
  void set_pointer(int index, int slot, int au);

  ExtentKey key(int index) const;
  int find_key(const ExtentKey& key, int from) const;  // -1 when none is left

  // The first entry, from index `from` on, of a file whose name matches
  // `mask` in user area `user` (kAllUsers: any); -1 when none is left.
  int find_file(const CpmName& mask, int user, int from) const;

  // Extent number of an entry: S2 * 32 + EX.
  int extent(int index) const;

  // Records of the file: from its entry with the highest extent number,
  // extent number * 128 + RC.
  int records(const ExtentKey& key) const;

  // Every entry of the file whose first entry is `first`, in directory order.
  std::vector<int> file_entries(int first) const;

  int extents_per_entry() const { return extents_per_entry_; }

  // The CP/M 3 label entry, or -1; and its byte 12 (0 without a label), as
  // note_label() found it.
  int label() const;
  std::uint8_t label_flags() const { return label_flags_; }
  // Takes note of the label after the entries have been read.
  void note_label();

  // The password entries of the file whose first entry is `first`.
  std::vector<int> password_entries(int first) const;

  // The 10 stamp bytes of entry `index`, in the date-stamp entry of its
  // group of four; null on a disk without one there.
  std::uint8_t* stamps(int index);
  const std::uint8_t* stamps(int index) const;

 private:
  bool is_first_entry(int index) const;

  std::vector<std::uint8_t> bytes_;
  int extents_per_entry_ = 1;
  int pointers_per_entry_ = 16;
  bool tns_ = false;
  std::uint8_t label_flags_ = 0;
};

}  // namespace xev
