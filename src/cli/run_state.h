// The one record of a run: options, paths, streams, disk parameters, the
// in-memory directory with its allocation map, the search state and the
// decoded current directory entry. Everything it holds is owned by it and
// released when it goes out of scope.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <memory>
#include <new>
#include <string>
#include <vector>

#include "cli/errors.h"

namespace xev {

struct FileCloser {
  void operator()(std::FILE* file) const noexcept {
    if (file != nullptr) std::fclose(file);
  }
};
using FilePtr = std::unique_ptr<std::FILE, FileCloser>;

constexpr std::size_t kIoBufferSize = 16384;
constexpr int kRecordSize = 128;
constexpr int kEntrySize = 32;
constexpr int kKeySize = 12;  // user byte, 8 name bytes, 3 type bytes

// Capacities of the text fields, terminator included: a text may hold at
// most capacity - 1 characters. Longer texts are refused where they enter.
constexpr std::size_t kTextCapacity = 256;
constexpr std::size_t kDirCapacity = 260;     // image_dir, host_dir
constexpr std::size_t kMaxJoinedPath = 259;   // directory + name
constexpr std::size_t kCurNameCapacity = 15;
constexpr std::size_t kLabelLength = 11;

constexpr std::uint8_t kAllUsers = 255;
constexpr std::uint8_t kFreeMark = 0xE5;

// The first 12 bytes of a file's first directory entry; further entries of
// the file are the later entries whose first 12 bytes equal it.
using ExtentKey = std::array<std::uint8_t, kKeySize>;

// An 11-character CP/M name (8 name, 3 type characters) and a NUL.
using FcbName = std::array<char, 12>;

struct RunState {
  // Option flags.
  bool cmd_catalogue = false;
  bool opt_one_column = false;
  bool opt_unsorted = false;
  bool cmd_full_format = false;  // also set by open_image for a new image
  bool cmd_quick_format = false;
  bool cmd_add = false;
  bool cmd_erase = false;
  bool cmd_extract = false;
  bool cmd_set_attrs = false;
  bool cmd_set_user = false;
  bool cmd_write_system = false;
  bool cmd_copy_system = false;
  bool cmd_save_system = false;
  bool cmd_hex_dump = false;
  bool cmd_type = false;
  bool opt_overwrite = false;
  bool opt_type_info = false;
  bool opt_ignore_invalid = false;
  bool opt_tns = false;

  // Buffers, streams and sizes.
  std::vector<std::uint8_t> io_buffer;  // kIoBufferSize bytes
  FilePtr image_file;
  FilePtr host_file;
  std::int64_t host_file_size = 0;

  // Paths and names; capacities above.
  std::string exe_dir;
  std::string exe_name;
  std::string image_dir;
  std::string image_name;
  std::string image_type_name;
  std::string host_dir;
  std::string host_name;
  std::string mask;
  std::string afn_name;

  // Host files matched by -a, in search order.
  std::vector<std::string> host_files;

  // Files per catalogue page (even, >= 2), or -1 for no paging.
  int catalogue_page_size = -1;

  // Current directory entry, decoded.
  std::uint8_t cur_user = 0;
  std::string cur_name;  // at most 12 characters
  int cur_records = 0;
  int cur_size_k = 0;
  bool cur_read_only = false;
  bool cur_system = false;

  // Name parsing and directory search.
  bool name_is_ambiguous = false;
  FcbName fcb_name{};
  int search_pos = 0;
  FcbName search_mask{};

  // Option values.
  std::uint8_t user_filter = kAllUsers;
  std::uint8_t new_user = kAllUsers;
  std::string new_attrs;  // "--", "R-", "-S" or "RS"
  std::string tns_label;  // 11 characters when present, else empty

  // Disk parameters and the directory copy.
  std::vector<int> skew_table;           // sectors_per_track entries, 1-based
  std::vector<std::uint8_t> directory;   // dir_entry_count * 32 bytes
  std::vector<std::uint8_t> alloc_map;   // map_bytes bytes, MSB first
  int dir_entry_count = 0;
  int au_count = 0;
  int au_size = 0;
  int map_bytes = 0;
  int records_per_au = 0;
  int extents_per_entry = 0;
  int pointers_per_entry = 0;
  int sectors_per_track = 0;
  int reserved_tracks = 0;
  int system_size = 0;
  int image_size = 0;
  int track_size = 0;

  std::uint8_t* entry(int index) { return directory.data() + index * kEntrySize; }
  const std::uint8_t* entry(int index) const {
    return directory.data() + index * kEntrySize;
  }
};

// Makes `slot` a zero-filled block of `size` elements unless it holds one
// already. Reports and returns ERR_OUT_OF_MEMORY when memory runs out.
template <typename T>
ErrorCode alloc_zeroed(std::vector<T>& slot, std::size_t size) {
  if (!slot.empty()) return ERR_OK;
  try {
    slot.assign(size, T{});
  } catch (const std::bad_alloc&) {
    return raise_error(ERR_OUT_OF_MEMORY);
  }
  return ERR_OK;
}

// Resizes `slot` to `new_size` elements; new elements are zero. On failure the
// old contents stay and ERR_OUT_OF_MEMORY is reported and returned.
template <typename T>
ErrorCode grow_zeroed(std::vector<T>& slot, std::size_t new_size) {
  try {
    slot.resize(new_size, T{});
  } catch (const std::bad_alloc&) {
    return raise_error(ERR_OUT_OF_MEMORY);
  }
  return ERR_OK;
}

// True when `text` fits a field of `capacity` bytes (terminator included).
inline bool fits_field(const std::string& text, std::size_t capacity) {
  return text.size() < capacity;
}

}  // namespace xev
