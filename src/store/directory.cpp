// The CP/M directory in memory, the allocation map, the file-name rules and
// the directory search.
#include "store/directory.h"

#include <algorithm>
#include <cstdio>
#include <cstring>

#include "store/format.h"
#include "store/image.h"

namespace xev {
namespace {

constexpr int kUserByte = 0;
constexpr int kExByte = 12;
constexpr int kS2Byte = 14;
constexpr int kRcByte = 15;
constexpr int kTnsMarkByte = 15;  // the RC byte of a free entry
constexpr int kPointerBase = 16;
constexpr int kMaxUser = 31;
constexpr int kNameWidth = 8;
constexpr int kTypeWidth = 3;
constexpr std::size_t kMaxNameText = 12;

char upper(char c) {
  return (c >= 'a' && c <= 'z') ? static_cast<char>(c - 'a' + 'A') : c;
}

// Characters a user may not type into a CP/M name.
bool is_reserved_char(char c) {
  return std::strchr("<>.,;:=[]%|()/\\\"", c) != nullptr && c != '\0';
}

bool is_free_entry(const RunState& state, const std::uint8_t* entry) {
  if (entry[kUserByte] != kFreeMark) return false;
  // TNS-DOS label and map entries look free to CP/M but are not.
  return !state.opt_tns || entry[kTnsMarkByte] < TNS_MAP_MARK;
}

bool is_first_entry(const RunState& state, const std::uint8_t* entry) {
  return entry[kUserByte] != kFreeMark && entry[kExByte] < state.extents_per_entry &&
         (entry[kS2Byte] & 0x7F) == 0;
}

// Reads (`writing` false) or writes the directory records, unit by unit.
ErrorCode transfer_directory(RunState& state, bool writing) {
  const int units = directory_au_count(state);
  const std::size_t needed = static_cast<std::size_t>(units) *
                             static_cast<std::size_t>(state.records_per_au) * kRecordSize;
  if (state.directory.size() < needed) return raise_error(ERR_FATAL);
  for (int au = 0; au < units; ++au) {
    for (int record = 0; record < state.records_per_au; ++record) {
      int track = 0;
      int sector = 0;
      if (!locate_record(state, au, record, track, sector)) return raise_error(ERR_FATAL);
      std::uint8_t* data =
          state.directory.data() +
          (static_cast<std::size_t>(au) * state.records_per_au + record) * kRecordSize;
      const ErrorCode code = writing ? write_record(state, data, track, sector)
                                     : read_record(state, data, track, sector);
      if (code != ERR_OK) return code;
    }
  }
  return ERR_OK;
}

ErrorCode report_corrupt(const RunState& state, const char* detail) {
  return raise_error(ERR_CORRUPT_ENTRY, state.cur_name.c_str(), detail);
}

}  // namespace

int directory_au_count(const RunState& state) {
  if (state.au_size <= 0) return 0;
  return static_cast<int>(static_cast<std::int64_t>(state.dir_entry_count) * kEntrySize /
                          state.au_size);
}

ErrorCode load_directory(RunState& state) {
  if (const ErrorCode code = transfer_directory(state, false)) return code;

  std::fill(state.alloc_map.begin(), state.alloc_map.end(), std::uint8_t{0});
  const int units = directory_au_count(state);
  for (int au = 0; au < units; ++au) set_au_bit(state, au, true);

  bool failed = false;
  char detail[64];
  for (int i = 0; i < state.dir_entry_count; ++i) {
    const std::uint8_t* entry = state.entry(i);
    if (entry[kUserByte] == kFreeMark) continue;
    load_entry_name(state, i);

    const int user = static_cast<std::int8_t>(entry[kUserByte]);
    if (user < 0 || user > kMaxUser) {
      std::snprintf(detail, sizeof detail, "invalid user number: %d", user);
      const ErrorCode code = report_corrupt(state, detail);
      if (!state.opt_ignore_invalid) return code;
      failed = true;
    }
    if (!parse_cpm_name(state, nullptr, state.cur_name)) {
      const ErrorCode code = report_corrupt(state, "bad file name");
      if (!state.opt_ignore_invalid) return code;
      failed = true;
    }
    for (int slot = 0; slot < state.pointers_per_entry; ++slot) {
      const int au = entry_pointer(state, entry, slot);
      if (au == 0) break;
      if (!set_au_bit(state, au, true)) {
        std::snprintf(detail, sizeof detail, "invalid AU number: %d", au);
        const ErrorCode code = report_corrupt(state, detail);
        if (!state.opt_ignore_invalid) return code;
        failed = true;
      }
    }
  }
  if (state.opt_ignore_invalid && failed) std::printf("\n");
  return ERR_OK;
}

ErrorCode save_directory(RunState& state) {
  return transfer_directory(state, true);
}

const char* pad_name_field(char* field, const char* text, int width) {
  for (int i = 0; i < width; ++i) {
    if (text == nullptr || *text == '\0') {
      field[i] = ' ';
    } else if (*text == '*') {
      field[i] = '?';
    } else {
      field[i] = *text++;
    }
  }
  field[width] = '\0';
  return text;
}

bool parse_cpm_name(RunState& state, char* out, const std::string& text) {
  if (text.empty() || text.size() > kMaxNameText) return false;
  std::string copy = text;
  std::transform(copy.begin(), copy.end(), copy.begin(), upper);

  std::string name = copy;
  std::string type;
  const std::size_t point = copy.rfind('.');
  if (point != std::string::npos) {
    name = copy.substr(0, point);
    type = copy.substr(point + 1);
    if (type.size() > static_cast<std::size_t>(kTypeWidth)) return false;
  }
  if (name.empty() || name.size() > static_cast<std::size_t>(kNameWidth)) return false;

  char fields[kNameWidth + kTypeWidth + 1];
  pad_name_field(fields, name.c_str(), kNameWidth);
  pad_name_field(fields + kNameWidth, type.c_str(), kTypeWidth);

  const bool user_text = out != nullptr;
  bool blank_seen = false;
  for (int i = 0; i < kNameWidth + kTypeWidth; ++i) {
    const auto c = static_cast<unsigned char>(fields[i]);
    const bool in_name = i < kNameWidth;
    if (c < 0x20 || c > 0x7E) return false;
    if (c == ' ') {
      if (user_text && i == 0) return false;
      blank_seen = true;
      continue;
    }
    if (in_name && blank_seen) return false;
    if (user_text && is_reserved_char(static_cast<char>(c))) return false;
    if (!user_text && (c == '?' || c == '*')) return false;
  }

  if (user_text) {
    std::memcpy(out, fields, kNameWidth + kTypeWidth + 1);
    state.name_is_ambiguous = std::memchr(out, '?', kNameWidth + kTypeWidth) != nullptr;
  }
  return true;
}

void load_entry_name(RunState& state, int index) {
  const std::uint8_t* entry = state.entry(index);
  std::string name;
  for (int i = 1; i <= kNameWidth && entry[i] != ' '; ++i) {
    name += static_cast<char>(entry[i] & 0x7F);
  }
  if (name.empty()) name = " ";
  if ((entry[9] & 0x7F) != ' ') {
    name += '.';
    for (int i = 9; i <= 11 && (entry[i] & 0x7F) != ' '; ++i) {
      name += static_cast<char>(entry[i] & 0x7F);
    }
  }
  std::transform(name.begin(), name.end(), name.begin(), upper);
  state.cur_user = entry[kUserByte];
  state.cur_name = name;
  state.cur_read_only = (entry[9] & 0x80) != 0;
  state.cur_system = (entry[10] & 0x80) != 0;
}

int entry_pointer(const RunState& state, const std::uint8_t* entry, int slot) {
  if (state.pointers_per_entry == 16) return entry[kPointerBase + slot];
  const std::uint8_t* word = entry + kPointerBase + 2 * slot;
  return word[0] | (word[1] << 8);
}

void set_entry_pointer(const RunState& state, std::uint8_t* entry, int slot, int au) {
  if (state.pointers_per_entry == 16) {
    entry[kPointerBase + slot] = static_cast<std::uint8_t>(au);
    return;
  }
  std::uint8_t* word = entry + kPointerBase + 2 * slot;
  word[0] = static_cast<std::uint8_t>(au & 0xFF);
  word[1] = static_cast<std::uint8_t>((au >> 8) & 0xFF);
}

bool set_au_bit(RunState& state, int au, bool used) {
  if (au < 0 || au >= state.au_count) return false;
  std::uint8_t& byte = state.alloc_map[static_cast<std::size_t>(au / 8)];
  const auto bit = static_cast<std::uint8_t>(0x80 >> (au % 8));
  byte = used ? static_cast<std::uint8_t>(byte | bit)
              : static_cast<std::uint8_t>(byte & ~bit);
  return true;
}

int first_free_au(const RunState& state) {
  for (int au = 0; au < state.au_count; ++au) {
    const std::uint8_t byte = state.alloc_map[static_cast<std::size_t>(au / 8)];
    if (byte == 0xFF) {
      au |= 7;  // skip the rest of a full byte
      continue;
    }
    if ((byte & (0x80 >> (au % 8))) == 0) return au;
  }
  return state.au_count;
}

int count_free_aus(const RunState& state) {
  int free_units = 0;
  for (int au = 0; au < state.au_count; ++au) {
    if ((state.alloc_map[static_cast<std::size_t>(au / 8)] & (0x80 >> (au % 8))) == 0) {
      ++free_units;
    }
  }
  return free_units;
}

int count_free_entries(const RunState& state) {
  int count = 0;
  for (int i = 0; i < state.dir_entry_count; ++i) {
    if (is_free_entry(state, state.entry(i))) ++count;
  }
  return count;
}

int first_free_entry(const RunState& state) {
  for (int i = 0; i < state.dir_entry_count; ++i) {
    if (is_free_entry(state, state.entry(i))) return i;
  }
  return -1;
}

ExtentKey extent_key_of(const RunState& state, int index) {
  ExtentKey key{};
  std::memcpy(key.data(), state.entry(index), kKeySize);
  return key;
}

int find_entry_from(const RunState& state, const ExtentKey& key, int from) {
  for (int i = std::max(from, 0); i < state.dir_entry_count; ++i) {
    if (std::memcmp(state.entry(i), key.data(), kKeySize) == 0) return i;
  }
  return -1;
}

int file_records(const RunState& state, const ExtentKey& key) {
  int records = 0;
  for (int i = find_entry_from(state, key, 0); i >= 0;
       i = find_entry_from(state, key, i + 1)) {
    const std::uint8_t* entry = state.entry(i);
    const int extent = (entry[kS2Byte] & 0x7F) * 32 + (entry[kExByte] & 0x1F);
    records = extent * 128 + entry[kRcByte];
  }
  return records;
}

int search_first(RunState& state, const FcbName& mask) {
  state.search_mask = mask;
  state.search_mask.back() = '\0';
  state.search_pos = 0;
  return search_next(state);
}

int search_next(RunState& state) {
  for (int i = std::max(state.search_pos, 0); i < state.dir_entry_count; ++i) {
    const std::uint8_t* entry = state.entry(i);
    if (!is_first_entry(state, entry)) continue;
    if (state.user_filter != kAllUsers && state.user_filter != entry[kUserByte]) continue;
    bool match = true;
    for (int c = 0; c < kNameWidth + kTypeWidth && match; ++c) {
      const char wanted = state.search_mask[static_cast<std::size_t>(c)];
      match = wanted == '?' || wanted == static_cast<char>(entry[1 + c] & 0x7F);
    }
    if (match) {
      state.search_pos = i + 1;
      return i;
    }
  }
  state.search_pos = state.dir_entry_count;
  return -1;
}

}  // namespace xev
