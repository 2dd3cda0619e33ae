// The host directory search common to every host, and its wildcard
// matching, by the rules of the Windows console on every host:
// '*' matches any run of characters, '?' exactly one, ASCII letters compare
// without regard to case, and a trailing ".*" also matches a name that has
// no point at all (so "*.*" matches every name).
#include <algorithm>

#include "platform/platform.h"

namespace xev::platform {
namespace {

constexpr std::size_t kMaxPattern = 259;

char fold(char c) { return (c >= 'a' && c <= 'z') ? static_cast<char>(c - 'a' + 'A') : c; }

// Iterative glob match with backtracking to the last '*'; linear in practice.
bool glob_match(const std::string& pattern, std::size_t pattern_end,
                const std::string& name) {
  std::size_t p = 0;
  std::size_t n = 0;
  std::size_t star = std::string::npos;  // position after the last '*' seen
  std::size_t star_name = 0;             // name position that '*' stands at
  while (n < name.size()) {
    if (p < pattern_end && pattern[p] == '*') {
      star = ++p;
      star_name = n;
    } else if (p < pattern_end && (pattern[p] == '?' || fold(pattern[p]) == fold(name[n]))) {
      ++p;
      ++n;
    } else if (star != std::string::npos) {
      p = star;
      n = ++star_name;
    } else {
      return false;
    }
  }
  while (p < pattern_end && pattern[p] == '*') ++p;
  return p == pattern_end;
}

}  // namespace

bool wildcard_match(const std::string& pattern, const std::string& name) {
  if (glob_match(pattern, pattern.size(), name)) return true;
  const std::size_t size = pattern.size();
  const bool dot_star = size >= 2 && pattern[size - 2] == '.' && pattern[size - 1] == '*';
  return dot_star && name.find('.') == std::string::npos &&
         glob_match(pattern, size - 2, name);
}

FindStatus find_files(const std::string& pattern, std::vector<std::string>& names) {
  if (pattern.size() > kMaxPattern) return FindStatus::kFailed;
  const FindStatus status = list_host_matches(pattern, names);
  if (status != FindStatus::kFound) {
    names.clear();
    return status;
  }
  // The result does not depend on the file system's own order.
  std::sort(names.begin(), names.end());
  return FindStatus::kFound;
}

}  // namespace xev::platform
