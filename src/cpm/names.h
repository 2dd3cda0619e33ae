// CP/M file names: what a user may type as a name or a mask, what a
// directory entry may hold, and how an entry's name is shown.
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <string>

namespace xev {

constexpr int kNameWidth = 8;
constexpr int kTypeWidth = 3;

// The 11 characters of a name as a directory entry stores them (8 of the
// name, 3 of the type, blank-padded, upper case); '?' matches any character.
struct CpmName {
  std::array<char, kNameWidth + kTypeWidth> chars{};

  bool ambiguous() const;
  // True when the 11 name bytes of `entry` (bit 7 cleared) match.
  bool matches(const std::uint8_t* entry) const;
};

// A name or mask as the user typed it ('*' fills the rest of its field with
// '?'); nothing when CP/M would not accept it.
std::optional<CpmName> parse_cpm_name(const std::string& text);

// Whether the name of a directory entry, as entry_name gives it, is one CP/M
// could have written: any character but '?' and '*' and control codes, up
// to its first NUL, and not empty.
bool is_valid_entry_name(const std::string& name);

// NAME.EXT of an entry: upper case, bit 7 cleared, the point and the type
// only when the type is not blank.
std::string entry_name(const std::uint8_t* entry);

// The name under which erasing and attribute changes report a file: name and
// type as stored (bit 7 cleared, letter case kept) joined by a point, with
// trailing blanks removed from both.
std::string report_name(const std::uint8_t* entry);

// `name` for the console: every control code (below 0x20, and 0x7F) becomes
// a '?', so that a name read from an image cannot drive the terminal. A
// user can still pick such a file, since '?' matches any character.
std::string printable(std::string name);

}  // namespace xev
