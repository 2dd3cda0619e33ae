#include "cpm/text.h"

#include <cstdlib>

namespace xev {
namespace {

constexpr const char* kWhiteSpace = " \t\n\v\f\r";

char lower_ascii(char c) {
  return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
}

}  // namespace

std::string& trim_right(std::string& text) {
  const std::size_t last = text.find_last_not_of(kWhiteSpace);
  text.erase(last == std::string::npos ? 0 : last + 1);
  return text;
}

std::string& trim_left(std::string& text) {
  text.erase(0, text.find_first_not_of(kWhiteSpace));
  return text;
}

std::string& trim(std::string& text) { return trim_left(trim_right(text)); }

std::int64_t parse_number(const char* text) {
  char* end = nullptr;
  const long long number = std::strtoll(text, &end, 10);
  if (number < 0) return -1;
  if (number == 0 && *end != '\0') return -1;
  return number;
}

bool equals_ignoring_case(const std::string& a, const std::string& b) {
  if (a.size() != b.size()) return false;
  for (std::size_t i = 0; i < a.size(); ++i) {
    if (lower_ascii(a[i]) != lower_ascii(b[i])) return false;
  }
  return true;
}

}  // namespace xev
