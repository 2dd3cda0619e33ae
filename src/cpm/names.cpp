#include "cpm/names.h"

#include <algorithm>
#include <cstring>

#include "cpm/text.h"

namespace xev {
namespace {

char upper(char c) { return (c >= 'a' && c <= 'z') ? static_cast<char>(c - 'a' + 'A') : c; }

// Characters a user may not type into a CP/M name.
bool is_reserved_char(char c) {
  return c != '\0' && std::strchr("<>.,;:=[]%|()/\\\"", c) != nullptr;
}

// Fills `width` characters from `text`; a '*' turns this and every later
// position into '?'. The text ends at a NUL, as a C string would.
void pad_field(char* field, const std::string& text, int width) {
  std::size_t next = 0;
  for (int i = 0; i < width; ++i) {
    if (next >= text.size() || text[next] == '\0') {
      field[i] = ' ';
    } else if (text[next] == '*') {
      field[i] = '?';
    } else {
      field[i] = text[next++];
    }
  }
}

// The 11 characters of a name: the user's rules (`typed`) or the rules for a
// name found in the directory.
bool check_fields(const char* fields, bool typed) {
  bool blank_seen = false;
  for (int i = 0; i < kNameWidth + kTypeWidth; ++i) {
    const auto c = static_cast<unsigned char>(fields[i]);
    if (c < 0x20 || c > 0x7E) return false;
    if (c == ' ') {
      if (typed && i == 0) return false;
      blank_seen = true;
      continue;
    }
    // Blanks may only pad the end of the name; the type is not checked so.
    if (i < kNameWidth && blank_seen) return false;
    if (typed && is_reserved_char(static_cast<char>(c))) return false;
    if (!typed && (c == '?' || c == '*')) return false;
  }
  return true;
}

// Splits a name at its last point and pads both parts; false when a part is
// too long or the name is empty.
bool split_fields(const std::string& text, char* fields) {
  std::string copy = text;
  std::transform(copy.begin(), copy.end(), copy.begin(), upper);
  std::string name = copy;
  std::string type;
  if (const std::size_t point = copy.rfind('.'); point != std::string::npos) {
    name = copy.substr(0, point);
    type = copy.substr(point + 1);
    if (type.size() > static_cast<std::size_t>(kTypeWidth)) return false;
  }
  if (name.empty() || name.size() > static_cast<std::size_t>(kNameWidth)) return false;
  pad_field(fields, name, kNameWidth);
  pad_field(fields + kNameWidth, type, kTypeWidth);
  return true;
}

}  // namespace

bool CpmName::ambiguous() const {
  return std::find(chars.begin(), chars.end(), '?') != chars.end();
}

bool CpmName::matches(const std::uint8_t* entry) const {
  for (int c = 0; c < kNameWidth + kTypeWidth; ++c) {
    const char wanted = chars[static_cast<std::size_t>(c)];
    if (wanted != '?' && wanted != static_cast<char>(entry[1 + c] & 0x7F)) return false;
  }
  return true;
}

std::optional<CpmName> parse_cpm_name(const std::string& text) {
  CpmName name;
  if (!split_fields(text, name.chars.data()) || !check_fields(name.chars.data(), true)) {
    return std::nullopt;
  }
  return name;
}

bool is_valid_entry_name(const std::string& name) {
  // The name is a text: it ends at its first NUL, and an empty one is none.
  char fields[kNameWidth + kTypeWidth];
  return split_fields(name.substr(0, name.find('\0')), fields) && check_fields(fields, false);
}

std::string entry_name(const std::uint8_t* entry) {
  std::string name;
  // The stop test sees bit 7: 0xA0 is copied as a blank instead.
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
  return name;
}

std::string report_name(const std::uint8_t* entry) {
  std::string name;
  for (int i = 1; i <= kNameWidth; ++i) name += static_cast<char>(entry[i] & 0x7F);
  trim_right(name) += ".";
  for (int i = 9; i <= 11; ++i) name += static_cast<char>(entry[i] & 0x7F);
  return trim_right(name);
}

std::string printable(std::string name) {
  for (char& c : name) {
    if (static_cast<unsigned char>(c) < 0x20 || c == 0x7F) c = '?';
  }
  return name;
}

}  // namespace xev
