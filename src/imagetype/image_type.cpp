#include "imagetype/image_type.h"

#include <cinttypes>
#include <cstdio>
#include <cstdlib>
#include <initializer_list>
#include <new>
#include <vector>

#include "cli/options.h"

namespace xev {

namespace {

constexpr std::int64_t kMaxImageSize = 0x40000000;  // 1 GiB, accepted exactly

// Products of definition values saturate here: far above the image limit,
// and low enough that adding two of them cannot overflow.
constexpr std::int64_t kSizeCap = std::int64_t{1} << 61;

// fgets buffer: a line is read in pieces of at most 1022 characters.
constexpr int kLinePiece = 1023;

constexpr const char* kWhiteSpace = " \t\n\v\f\r";

// Mask bits of the keys; the first seven are required.
enum KeyBit : unsigned {
  kSpt = 1,
  kXlt = 2,
  kBls = 4,
  kExm = 8,
  kDsm = 16,
  kDrm = 32,
  kOff = 64,
  kOffx = 128,
};
constexpr unsigned kRequiredKeys = 127;

struct KeyName {
  const char* name;
  KeyBit bit;
};
constexpr KeyName kKeys[] = {
    {"SPT", kSpt}, {"XLT", kXlt}, {"BLS", kBls}, {"EXM", kExm},
    {"DSM", kDsm}, {"DRM", kDrm}, {"OFF", kOff}, {"OFFX", kOffx},
};

// What one definition line did to the definition.
enum class LineResult { kAccepted, kIgnored, kRejected };

// One section as read. Values stay 64-bit until the whole definition has
// passed its size checks, so nothing is cut on the way into the int fields.
struct Definition {
  unsigned mask = 0;
  std::int64_t spt = 0;
  std::int64_t bls = 0;
  std::int64_t exm = 0;
  std::int64_t dsm = 0;
  std::int64_t drm = 0;
  std::int64_t off = 0;
  std::int64_t system_size = 0;  // as set by the OFF or OFFX line
  std::vector<int> skew;

  // The number each key's last line produced, accepted or not; -1 when the
  // key was not read. Shown by the -iti report.
  std::int64_t read_spt = -1;
  std::int64_t read_xlt = -1;
  std::int64_t read_bls = -1;
  std::int64_t read_exm = -1;
  std::int64_t read_dsm = -1;
  std::int64_t read_drm = -1;
  std::int64_t read_off = -1;
  std::int64_t read_offx = -1;
};

// a * b for non-negative factors, saturated at kSizeCap.
std::int64_t capped_product(std::int64_t a, std::int64_t b) {
  if (a == 0 || b == 0) return 0;
  if (a >= kSizeCap / b) return kSizeCap;
  return a * b;
}

bool is_one_of(std::int64_t value, std::initializer_list<std::int64_t> set) {
  for (std::int64_t member : set) {
    if (value == member) return true;
  }
  return false;
}

char lower_ascii(char c) {
  return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
}

bool equals_ignoring_case(const std::string& a, const std::string& b) {
  if (a.size() != b.size()) return false;
  for (std::size_t i = 0; i < a.size(); ++i) {
    if (lower_ascii(a[i]) != lower_ascii(b[i])) return false;
  }
  return true;
}

// Reads the next line (or piece of a long line), trimmed. False at the end.
bool read_line(std::FILE* file, std::string& line) {
  char piece[kLinePiece];
  if (std::fgets(piece, kLinePiece, file) == nullptr) return false;
  line.assign(piece);
  trim(line);
  return true;
}

bool is_section_header(const std::string& line, const std::string& type) {
  if (line.empty() || line.front() != '[') return false;
  const std::size_t close = line.find(']');
  if (close != line.size() - 1) return false;
  return equals_ignoring_case(line.substr(1, close - 1), type);
}

// The XLT value: 0 for the identity, or SPT distinct numbers 1..SPT separated
// by commas (blanks may follow a comma, not precede it). The table replaces
// the earlier one only when the whole value is good.
LineResult apply_xlt(Definition& def, const char* value) {
  if ((def.mask & kSpt) == 0) return LineResult::kRejected;
  char* end = nullptr;
  def.read_xlt = std::strtoll(value, &end, 10);
  // No table can belong to a track larger than the largest image.
  if (def.spt > kMaxImageSize / kRecordSize) return LineResult::kRejected;
  const int spt = static_cast<int>(def.spt);

  std::vector<int> table(static_cast<std::size_t>(spt));
  if (def.read_xlt == 0) {
    if (*end != '\0') return LineResult::kRejected;
    for (int i = 0; i < spt; ++i) table[static_cast<std::size_t>(i)] = i + 1;
  } else {
    std::vector<bool> seen(static_cast<std::size_t>(spt) + 1, false);
    const char* next = value;
    for (int i = 0; i < spt; ++i) {
      const long long number = std::strtoll(next, &end, 10);
      if (number < 1 || number > spt || seen[static_cast<std::size_t>(number)]) {
        return LineResult::kRejected;
      }
      if (i < spt - 1 ? *end != ',' : *end != '\0') return LineResult::kRejected;
      seen[static_cast<std::size_t>(number)] = true;
      table[static_cast<std::size_t>(i)] = static_cast<int>(number);
      next = end + 1;
    }
  }
  def.skew.swap(table);
  return LineResult::kAccepted;
}

// Reads and checks the value of a known key; on acceptance sets what the key
// stands for and its mask bit.
LineResult apply_key(Definition& def, KeyBit bit, const char* value) {
  if (bit == kXlt) {
    const LineResult result = apply_xlt(def, value);
    if (result == LineResult::kAccepted) def.mask |= kXlt;
    return result;
  }

  const std::int64_t number = parse_number(value);
  bool accepted = false;
  switch (bit) {
    case kSpt:
      def.read_spt = number;
      accepted = number >= 1;
      if (accepted) def.spt = number;
      break;
    case kBls:
      def.read_bls = number;
      accepted = is_one_of(number, {1, 2, 4, 8, 16});
      if (accepted) def.bls = number;
      break;
    case kExm:
      def.read_exm = number;
      accepted = is_one_of(number, {0, 1, 3, 7, 15});
      if (accepted) def.exm = number;
      break;
    case kDsm:
      def.read_dsm = number;
      accepted = number >= 1 && number <= 65535;
      if (accepted) def.dsm = number;
      break;
    case kDrm:
      def.read_drm = number;
      accepted = (def.mask & kBls) != 0 && number >= 0 && number <= 65535 &&
                 (number + 1) * kEntrySize % (def.bls * 1024) == 0;
      if (accepted) def.drm = number;
      break;
    case kOff:
      def.read_off = number;
      accepted = (def.mask & (kSpt | kOffx)) != 0 && number >= 0;
      if (accepted) {
        def.off = number;
        if ((def.mask & kOffx) == 0) {
          def.system_size = capped_product(number, capped_product(def.spt, kRecordSize));
        }
      }
      break;
    case kOffx:
      def.read_offx = number;
      accepted = number >= 1;
      if (accepted) def.system_size = capped_product(number, kRecordSize);
      break;
    case kXlt:
      break;
  }
  if (!accepted) return LineResult::kRejected;
  def.mask |= bit;
  return LineResult::kAccepted;
}

// Reads the section body up to the next header or the end of the file.
// Returns a raised code for a malformed line; a rejected value only ends the
// reading, the caller judges the definition by its mask.
ErrorCode read_section(std::FILE* file, const std::string& type, Definition& def) {
  std::string line;
  while (read_line(file, line)) {
    if (!line.empty() && line.front() == '[') break;
    if (line.empty() || line.front() == ';') continue;
    const std::size_t equals = line.find('=');
    if (equals == std::string::npos) return raise_error(ERR_BAD_DEFINITION, type.c_str());
    std::string key = line.substr(0, equals);
    trim_right(key);
    std::string value = line.substr(equals + 1);
    trim_left(value);
    if (value.empty()) return raise_error(ERR_BAD_DEFINITION, type.c_str());

    for (const KeyName& known : kKeys) {
      if (key != known.name) continue;
      if (apply_key(def, known.bit, value.c_str()) == LineResult::kRejected) {
        return ERR_OK;
      }
      break;
    }
  }
  return ERR_OK;
}

// Finds the wanted section and reads it. ERR_OK means the file was read; the
// definition may still be incomplete.
ErrorCode read_definition(std::FILE* file, const std::string& type, Definition& def) {
  std::string line;
  while (read_line(file, line)) {
    if (is_section_header(line, type)) return read_section(file, type, def);
  }
  return raise_error(ERR_NO_DEFINITION, type.c_str());
}

// The checks on the definition as a whole, all in 64-bit arithmetic. A key
// repeated after the keys that depend on it (SPT after XLT or OFF, BLS after
// DRM) must leave them consistent. Fills `image_size` on success.
bool is_consistent(const Definition& def, std::int64_t& image_size) {
  if ((def.mask & kRequiredKeys) != kRequiredKeys) return false;
  if (static_cast<std::int64_t>(def.skew.size()) != def.spt) return false;
  const std::int64_t track_size = capped_product(def.spt, kRecordSize);
  if ((def.mask & kOffx) == 0 && def.system_size != capped_product(def.off, track_size)) {
    return false;
  }
  const std::int64_t au_size = def.bls * 1024;
  if ((def.drm + 1) * kEntrySize % au_size != 0) return false;
  // With OFFX the reserved tracks only number the data tracks; they must
  // still describe a disk that could exist.
  if (capped_product(def.off, track_size) > kMaxImageSize) return false;

  const std::int64_t data_size = (def.dsm + 1) * au_size;
  image_size = (data_size + track_size - 1) / track_size * track_size + def.system_size;
  return image_size <= kMaxImageSize;
}

// Block shift and mask of an allocation unit size, 0 and 0 for other values.
void block_shift_and_mask(std::int64_t bls, int& bsh, int& blm) {
  bsh = 0;
  blm = 0;
  for (int shift = 3; shift <= 7; ++shift) {
    if (bls == std::int64_t{1} << (shift - 3)) {
      bsh = shift;
      blm = (1 << shift) - 1;
    }
  }
}

void print_report(const RunState& state, const Definition& def) {
  std::printf("Definition parameters for `%s`\n", state.image_type_name.c_str());
  std::printf("  SPT=%" PRId64 "\n", def.read_spt);
  std::printf("  XLT=");
  if (def.read_xlt == 0) {
    std::printf("0");
  } else {
    for (std::size_t i = 0; i < state.skew_table.size(); ++i) {
      std::printf(i == 0 ? "%d" : ",%d", state.skew_table[i]);
    }
  }
  std::printf("\n");
  int bsh = 0;
  int blm = 0;
  block_shift_and_mask(def.read_bls, bsh, blm);
  std::printf("  BLS=%" PRId64 " (BSH=%d, BLM=%d)\n", def.read_bls, bsh, blm);
  std::printf("  EXM=%" PRId64 "\n", def.read_exm);
  std::printf("  DSM=%" PRId64 "\n", def.read_dsm);
  std::printf("  DRM=%" PRId64 "\n", def.read_drm);
  std::printf("  OFF=%" PRId64 "\n", def.read_off);
  if (def.read_offx > 0) std::printf("  OFFX=%" PRId64 "\n", def.read_offx);
  std::printf("\n");
  std::printf("Other info:\n");
  std::printf("  Sectors Per Track: %d\n", state.sectors_per_track);
  std::printf("  Allocation Unit Size: %d Bytes\n", state.au_size);
  std::printf("  Extents Per Dir Entry: %d\n", state.extents_per_entry);
  std::printf("  Allocation Units: %d\n", state.au_count);
  std::printf("  Directory Entries: %d\n", state.dir_entry_count);
  std::printf("  System Size: %d Bytes\n", state.system_size);
  std::printf("  Track Size: %d Bytes\n", state.track_size);
  std::printf("  Total Disk Size: %d Bytes (%g kB)\n", state.image_size,
              state.image_size / 1024.0);
}

}  // namespace

ErrorCode load_image_type(RunState& state) {
  if (state.image_type_name.empty()) {
    return raise_error(ERR_NO_EXTENSION, state.image_name.c_str());
  }

  const std::string path = state.exe_dir + state.exe_name + ".ini";
  FilePtr file;
  if (path.size() <= kMaxJoinedPath) file.reset(std::fopen(path.c_str(), "r"));
  if (!file) return raise_error(ERR_NO_CONFIG, state.exe_name.c_str());

  Definition def;
  ErrorCode code = ERR_OK;
  try {
    code = read_definition(file.get(), state.image_type_name, def);
  } catch (const std::bad_alloc&) {
    code = raise_error(ERR_OUT_OF_MEMORY);
  }
  file.reset();
  if (code != ERR_OK) return code;

  std::int64_t image_size = 0;
  if (!is_consistent(def, image_size)) {
    return raise_error(ERR_BAD_DEFINITION, state.image_type_name.c_str());
  }

  // Every value has passed its range and size checks and fits an int now.
  state.sectors_per_track = static_cast<int>(def.spt);
  state.track_size = static_cast<int>(def.spt * kRecordSize);
  state.reserved_tracks = static_cast<int>(def.off);
  state.system_size = static_cast<int>(def.system_size);
  state.image_size = static_cast<int>(image_size);
  state.au_size = static_cast<int>(def.bls * 1024);
  state.au_count = static_cast<int>(def.dsm + 1);
  state.extents_per_entry = static_cast<int>(def.exm + 1);
  state.dir_entry_count = static_cast<int>(def.drm + 1);
  state.map_bytes = (state.au_count + 7) / 8;
  state.records_per_au = state.au_size / kRecordSize;
  state.pointers_per_entry = state.au_count <= 256 ? 16 : 8;
  state.skew_table.swap(def.skew);

  state.directory.clear();
  state.alloc_map.clear();
  code = alloc_zeroed(state.directory,
                      static_cast<std::size_t>(state.dir_entry_count) * kEntrySize);
  if (code == ERR_OK) {
    code = alloc_zeroed(state.alloc_map, static_cast<std::size_t>(state.map_bytes));
  }
  if (code != ERR_OK) return code;

  if (state.opt_type_info) print_report(state, def);
  return ERR_OK;
}

std::string& trim_right(std::string& text) {
  const std::size_t last = text.find_last_not_of(kWhiteSpace);
  text.erase(last == std::string::npos ? 0 : last + 1);
  return text;
}

std::string& trim_left(std::string& text) {
  text.erase(0, text.find_first_not_of(kWhiteSpace));
  return text;
}

std::string& trim(std::string& text) {
  return trim_left(trim_right(text));
}

}  // namespace xev
