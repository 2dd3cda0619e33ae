// Host names: the wildcard rules of the host search, and the names Windows
// would take for something other than a file.
#include <gtest/gtest.h>

#include "platform/platform.h"

namespace xev::platform {
namespace {

TEST(Host, WildcardsMatchAsTheWindowsConsoleDoes) {
  const struct {
    const char* pattern;
    const char* name;
    bool match;
  } rows[] = {{"*.*", "NOTYPE", true},   {"*.COM", "pip.com", true}, {"?.COM", "AB.COM", false},
              {"a*b*c", "aXbYbc", true}, {"a*b", "ab.", false},      {"x.*", "x", true},
              {".*", "", true},          {"*", "", true},            {"A.*", "B", false},
              {"z", "Z", true},          {"FILE1", "FIL", false}};
  for (const auto& row : rows) {
    EXPECT_EQ(wildcard_match(row.pattern, row.name), row.match) << row.pattern << " " << row.name;
  }
}

TEST(Host, WindowsKeepsDeviceNamesAndSomeCharacters) {
  const std::pair<const char*, const char*> rows[] = {
      {"CON.TXT", "_CON.TXT"}, {"con", "_con"},     {"COM9.X", "_COM9.X"}, {"COM10", "COM10"},
      {"LPT0", "_LPT0"},       {"COMA", "COMA"},    {"NUL  .C", "_NUL  .C"}, {"CONOUT$", "_CONOUT$"},
      {"A:B<C>D", "A_B_C_D"},  {"PRN1", "PRN1"},    {"AUX", "_AUX"},
  };
  for (const auto& [name, safe] : rows) EXPECT_EQ(windows_safe_name(name), safe) << name;
}

}  // namespace
}  // namespace xev::platform
