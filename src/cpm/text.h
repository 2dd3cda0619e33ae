// Small text helpers shared by the definition reader and the command line.
#pragma once

#include <cstdint>
#include <string>

namespace xev {

// White space is space, tab, line feed, vertical tab, form feed and carriage
// return. Each works in place and returns its argument.
std::string& trim_right(std::string& text);
std::string& trim_left(std::string& text);
std::string& trim(std::string& text);

// Reads a base-10 number as strtol does (leading blanks and a sign allowed).
// Returns -1 for a negative number, and for 0 unless the whole text was
// consumed; a positive number is returned whatever follows its digits.
std::int64_t parse_number(const char* text);

// ASCII letters compared without regard to case.
bool equals_ignoring_case(const std::string& a, const std::string& b);

}  // namespace xev
