#include "cpm/definition.h"

#include <bitset>
#include <cctype>
#include <cstdlib>
#include <initializer_list>

#include "cpm/container.h"
#include "cpm/text.h"

namespace xev {
namespace {

constexpr std::int64_t kMaxImageSize = 0x40000000;  // 1 GiB, accepted exactly

// Products of definition values saturate here: far above the image limit,
// and low enough that adding two of them cannot overflow.
constexpr std::int64_t kSizeCap = std::int64_t{1} << 61;

constexpr int kLinePiece = 1023;  // fgets buffer: pieces of 1022 characters

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
  kDirau = 256,
};
constexpr unsigned kRequiredKeys = 127;

struct KeyName {
  const char* name;
  KeyBit bit;
};
constexpr KeyName kKeys[] = {
    {"SPT", kSpt}, {"XLT", kXlt}, {"BLS", kBls}, {"EXM", kExm},
    {"DSM", kDsm}, {"DRM", kDrm}, {"OFF", kOff}, {"OFFX", kOffx}, {"DIRAU", kDirau},
};

// One section as read. Values stay 64-bit until the whole definition has
// passed its size checks, so nothing is cut on the way into the int fields.
struct Section {
  unsigned mask = 0;
  std::int64_t spt = 0;
  std::int64_t bls = 0;
  std::int64_t exm = 0;
  std::int64_t dsm = 0;
  std::int64_t drm = 0;
  std::int64_t off = 0;
  std::int64_t system_size = 0;  // as set by the OFF or OFFX line
  std::int64_t dirau = 0;
  std::vector<int> skew;
  DefinitionValues as_read;
  ContainerLayout container;
};

// a * b for a >= 0 and b > 0 (every factor here is a count of tracks or
// records times a record size), saturated at kSizeCap.
std::int64_t capped_product(std::int64_t a, std::int64_t b) {
  return a >= kSizeCap / b ? kSizeCap : a * b;
}

bool is_one_of(std::int64_t value, std::initializer_list<std::int64_t> set) {
  for (std::int64_t member : set) {
    if (value == member) return true;
  }
  return false;
}

// A trimmed line that begins with '[' and whose first ']' ends it.
bool is_header(const std::string& line) {
  return !line.empty() && line.front() == '[' && line.find(']') == line.size() - 1;
}

bool is_section_header(const std::string& line, const std::string& type) {
  return is_header(line) && equals_ignoring_case(line.substr(1, line.size() - 2), type);
}

// The XLT value: 0 for the identity, or SPT distinct numbers 1..SPT separated
// by commas (blanks may follow a comma, not precede it). The table replaces
// the earlier one only when the whole value is good.
bool apply_xlt(Section& def, const char* value) {
  if ((def.mask & kSpt) == 0) return false;
  char* end = nullptr;
  def.as_read.xlt = std::strtoll(value, &end, 10);
  // No table can belong to a track larger than the largest image.
  if (def.spt > kMaxImageSize / kRecordSize) return false;
  const int spt = static_cast<int>(def.spt);

  std::vector<int> table(static_cast<std::size_t>(spt));
  if (def.as_read.xlt == 0) {
    if (*end != '\0') return false;
    for (int i = 0; i < spt; ++i) table[static_cast<std::size_t>(i)] = i + 1;
  } else {
    std::vector<bool> seen(static_cast<std::size_t>(spt) + 1, false);
    const char* next = value;
    for (int i = 0; i < spt; ++i) {
      const long long number = std::strtoll(next, &end, 10);
      if (number < 1 || number > spt || seen[static_cast<std::size_t>(number)]) return false;
      if (i < spt - 1 ? *end != ',' : *end != '\0') return false;
      seen[static_cast<std::size_t>(number)] = true;
      table[static_cast<std::size_t>(i)] = static_cast<int>(number);
      next = end + 1;
    }
  }
  def.skew.swap(table);
  return true;
}

// Reads and checks the value of a known key; on acceptance sets what the key
// stands for and its mask bit. False when the line is rejected.
bool apply_key(Section& def, KeyBit bit, const char* value) {
  if (bit == kXlt) {
    if (!apply_xlt(def, value)) return false;
    def.mask |= kXlt;
    return true;
  }

  const std::int64_t number = parse_number(value);
  bool accepted = false;
  switch (bit) {
    case kSpt:
      def.as_read.spt = number;
      accepted = number >= 1;
      if (accepted) def.spt = number;
      break;
    case kBls:
      def.as_read.bls = number;
      accepted = is_one_of(number, {1, 2, 4, 8, 16});
      if (accepted) def.bls = number;
      break;
    case kExm:
      def.as_read.exm = number;
      accepted = is_one_of(number, {0, 1, 3, 7, 15});
      if (accepted) def.exm = number;
      break;
    case kDsm:
      def.as_read.dsm = number;
      accepted = number >= 1 && number <= 65535;
      if (accepted) def.dsm = number;
      break;
    case kDrm:
      def.as_read.drm = number;
      accepted = (def.mask & kBls) != 0 && number >= 0 && number <= 65535 &&
                 (number + 1) * kEntrySize % (def.bls * 1024) == 0;
      if (accepted) def.drm = number;
      break;
    case kOff:
      def.as_read.off = number;
      accepted = (def.mask & (kSpt | kOffx)) != 0 && number >= 0;
      if (accepted) {
        def.off = number;
        if ((def.mask & kOffx) == 0) {
          def.system_size = capped_product(number, capped_product(def.spt, kRecordSize));
        }
      }
      break;
    case kOffx:
      def.as_read.offx = number;
      accepted = number >= 1;
      if (accepted) def.system_size = capped_product(number, kRecordSize);
      break;
    case kDirau:
      // The directory blocks of a disk parameter block: at most 16.
      def.as_read.dirau = number;
      accepted = number >= 1 && number <= 16;
      if (accepted) def.dirau = number;
      break;
    case kXlt:
      break;
  }
  if (accepted) def.mask |= bit;
  return accepted;
}

// A number of a container key: decimal, or hexadecimal after "0x"; a blank
// may follow it with a comment.
bool parse_layout_number(const std::string& value, int low, int high, int& out) {
  const bool hex = value.size() > 2 && value[0] == '0' && (value[1] == 'x' || value[1] == 'X');
  const char* digits = value.c_str() + (hex ? 2 : 0);
  if (std::isxdigit(static_cast<unsigned char>(*digits)) == 0) return false;  // no sign, no blank
  char* end = nullptr;
  const long number = std::strtol(digits, &end, hex ? 16 : 10);
  if (end == digits || (*end != '\0' && *end != ' ' && *end != '\t')) return false;
  if (number < low || number > high) return false;
  out = static_cast<int>(number);
  return true;
}

// The keys that describe the container of new images. Unlike the CP/M keys,
// a bad value fails the definition at once: a typing error must not pass
// unnoticed as a plain image. False for a bad value; `known` tells whether
// the key is one of them.
bool apply_container_key(ContainerLayout& layout, const std::string& key,
                         const std::string& value, bool& known) {
  known = true;
  if (key == "CONTAINER") {
    std::string name = value.substr(0, value.find_first_of(" \t"));
    return parse_container_kind(name, layout.kind);
  }
  if (key == "SECSIZE") {
    if (!parse_layout_number(value, 128, 8192, layout.sector_size)) return false;
    return std::bitset<16>(static_cast<unsigned>(layout.sector_size)).count() == 1;
  }
  if (key == "SECBASE") return parse_layout_number(value, 0, 255, layout.first_id);
  if (key == "HEADS") return parse_layout_number(value, 1, 2, layout.heads);
  known = false;
  return true;
}

// Reads the section body from line `next` up to the next header or the end.
// A malformed line fails the definition; a rejected value only ends the
// reading, and the definition is then judged by what was accepted before it.
Error read_section(const std::vector<std::string>& lines, std::size_t next,
                   const std::string& type, Section& def) {
  for (; next < lines.size(); ++next) {
    const std::string& line = lines[next];
    if (!line.empty() && line.front() == '[') break;
    if (line.empty() || line.front() == ';') continue;
    const std::size_t equals = line.find('=');
    if (equals == std::string::npos) return {ERR_BAD_DEFINITION, type};
    std::string key = line.substr(0, equals);
    trim_right(key);
    std::string value = line.substr(equals + 1);
    trim_left(value);
    if (value.empty()) return {ERR_BAD_DEFINITION, type};

    bool container_key = false;
    if (!apply_container_key(def.container, key, value, container_key)) {
      return {ERR_BAD_DEFINITION, type};
    }
    if (container_key) continue;
    for (const KeyName& known : kKeys) {
      if (key != known.name) continue;
      if (!apply_key(def, known.bit, value.c_str())) return {};
      break;
    }
  }
  return {};
}

// The checks on the definition as a whole, all in 64-bit arithmetic. A key
// repeated after the keys that depend on it (SPT after XLT or OFF, BLS after
// DRM) must leave them consistent. Fills `image_size` on success.
bool is_consistent(const Section& def, std::int64_t& image_size) {
  if ((def.mask & kRequiredKeys) != kRequiredKeys) return false;
  if (static_cast<std::int64_t>(def.skew.size()) != def.spt) return false;
  const std::int64_t track_size = capped_product(def.spt, kRecordSize);
  if ((def.mask & kOffx) == 0 && def.system_size != capped_product(def.off, track_size)) {
    return false;
  }
  const std::int64_t au_size = def.bls * 1024;
  if ((def.drm + 1) * kEntrySize % au_size != 0) return false;
  // The directory must fit into the units the disk has.
  if ((def.drm + 1) * kEntrySize / au_size > def.dsm + 1) return false;
  // With OFFX the reserved tracks only number the data tracks; they must
  // still describe a disk that could exist.
  if (capped_product(def.off, track_size) > kMaxImageSize) return false;

  if (def.dirau > def.dsm + 1) return false;

  const std::int64_t data_size = (def.dsm + 1) * au_size;
  const std::int64_t tracks = data_size / track_size + (data_size % track_size != 0 ? 1 : 0);
  image_size = tracks * track_size + def.system_size;
  return image_size <= kMaxImageSize;
}

}  // namespace

std::vector<std::string> read_definition_lines(std::FILE* file) {
  std::vector<std::string> lines;
  char piece[kLinePiece];
  while (std::fgets(piece, kLinePiece, file) != nullptr) {
    std::string line(piece);
    lines.push_back(trim(line));
  }
  return lines;
}

Error find_image_type(const std::vector<std::string>& lines, const std::string& type,
                      ImageType& out) {
  std::size_t header = 0;
  while (header < lines.size() && !is_section_header(lines[header], type)) ++header;
  if (header == lines.size()) return {ERR_NO_DEFINITION, type};

  Section def;
  if (Error error = read_section(lines, header + 1, type, def)) return error;
  std::int64_t image_size = 0;
  if (!is_consistent(def, image_size)) return {ERR_BAD_DEFINITION, type};

  // Every value has passed its range and size checks and fits an int now.
  Geometry g;
  g.sectors_per_track = static_cast<int>(def.spt);
  g.skew = std::move(def.skew);
  g.track_size = static_cast<int>(def.spt * kRecordSize);
  g.reserved_tracks = static_cast<int>(def.off);
  g.system_size = static_cast<int>(def.system_size);
  g.image_size = static_cast<int>(image_size);
  g.au_size = static_cast<int>(def.bls * 1024);
  g.au_count = static_cast<int>(def.dsm + 1);
  g.records_per_au = g.au_size / kRecordSize;
  g.extents_per_entry = static_cast<int>(def.exm + 1);
  g.pointers_per_entry = g.au_count <= 256 ? 16 : 8;
  g.dir_entry_count = static_cast<int>(def.drm + 1);
  g.held_units = static_cast<int>(def.dirau);
  g.container = def.container;
  if (!container_can_hold(g)) return {ERR_BAD_DEFINITION, type};
  out.geometry = std::move(g);
  out.name = type;
  out.as_read = def.as_read;
  return {};
}

std::vector<std::string> image_type_names(const std::vector<std::string>& lines) {
  std::vector<std::string> names;
  for (const std::string& line : lines) {
    if (is_header(line)) names.push_back(line.substr(1, line.size() - 2));
  }
  return names;
}

}  // namespace xev
