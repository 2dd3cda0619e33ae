// Host file names that the host would take for something else than a file in
// the folder they are written to.
#include <algorithm>
#include <cstddef>
#include <string>
#include <utility>

#include "platform/platform.h"

namespace xev::platform {
namespace {

char fold(char c) {
  return (c >= 'a' && c <= 'z') ? static_cast<char>(c - 'a' + 'A') : c;
}

bool equals_folded(const std::string& text, const std::string& upper) {
  return std::equal(text.begin(), text.end(), upper.begin(), upper.end(),
                    [](char a, char b) { return fold(a) == b; });
}

// Windows opens a device for these names, whatever type follows them, and it
// ignores blanks at the end of the name part.
bool is_reserved_device(const std::string& name) {
  std::string base = name.substr(0, name.find('.'));
  while (!base.empty() && base.back() == ' ') base.pop_back();
  for (const char* device : {"CON", "PRN", "AUX", "NUL", "CONIN$", "CONOUT$"}) {
    if (equals_folded(base, device)) return true;
  }
  return base.size() == 4 &&
         (equals_folded(base.substr(0, 3), "COM") ||
          equals_folded(base.substr(0, 3), "LPT")) &&
         base[3] >= '0' && base[3] <= '9';
}

}  // namespace

std::string windows_safe_name(std::string name) {
  for (char& c : name) {
    if (c == ':' || c == '<' || c == '>') c = '_';
  }
  if (is_reserved_device(name)) name.insert(0, 1, '_');
  return name;
}

std::string safe_host_name(std::string name) {
#ifdef _WIN32
  return windows_safe_name(std::move(name));
#else
  return name;
#endif
}

}  // namespace xev::platform
