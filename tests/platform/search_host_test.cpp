#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <string>
#include <tuple>
#include <utility>
#include <vector>

#include "platform/platform.h"

namespace xev::platform {
namespace {

using Names = std::vector<std::string>;

// All names a search yields; "-" for no match, "!" for a failed search.
Names find(const std::string& pattern) {
  HostSearch search;
  std::string name;
  const FindStatus status = search.first(pattern, name);
  if (status != FindStatus::kFound) return {status == FindStatus::kNoFiles ? "-" : "!"};
  Names names{name};
  while (search.next(name)) names.push_back(name);
  return names;
}

// Console wildcards ('*' gives back what it swallowed; only ASCII letters
// fold); regular files, also through a link, in byte order.
TEST(HostSearchTest, MatchesRegularFilesInByteOrderAndTellsNoMatchFromFailure) {
  const std::tuple<const char*, const char*, bool> patterns[] = {
      // clang-format off
      {"*.*", "README", true}, {"*.com", "AB.COM", true}, {"X.*", "X", true},
      {"*AB", "AAB", true},    {"*.COM", "A.COMX", false}, {"X.*", "XY", false},
      {"A?C", "AC", false},    {"*A*B*", "BA", false},    {"\xC4", "\xE4", false}};
  // clang-format on
  for (const auto& [pattern, name, matches] : patterns)
    EXPECT_EQ(wildcard_match(pattern, name), matches) << pattern << " " << name;
  std::string dir = (std::filesystem::temp_directory_path() / "xev-find-XXXXXX").string();
  ASSERT_NE(::mkdtemp(dir.data()), nullptr);
  dir += "/";
  for (const char* name :
       {"b.com", "A.COM", "C.TXT", ".H.COM", "readme.txt", "README.TXT"})
    std::ofstream(dir + name) << "x";
  const auto at = [&dir](const char* name) { return dir + name; };
  ASSERT_EQ(::mkdir(at("DIR.COM").c_str(), 0755) + ::mkdir(at("SUB.X").c_str(), 0755) +
                ::symlink(at("A.COM").c_str(), at("LINK.COM").c_str()) +
                ::symlink(at("NONE").c_str(), at("DANGLING.COM").c_str()) +
                ::mkfifo(at("PIPE.COM").c_str(), 0644),
            0);
  const std::pair<std::string, Names> cases[] = {
      {at("*.COM"), {"A.COM", "LINK.COM", "b.com"}},
      {at("readme.txt"), {"readme.txt"}},  // a plain name prefers its exact spelling
      {at("Readme.txt"), {"README.TXT", "readme.txt"}},
      {at("*.Q"), {"-"}},
      {at("*.X"), {"!"}},
      {at("C.TXT/*.*"), {"!"}},
      {dir + std::string(259 - dir.size(), '*'),  // the longest pattern taken
       {"A.COM", "C.TXT", "LINK.COM", "README.TXT", "b.com", "readme.txt"}},
      {dir + std::string(260 - dir.size(), '*'), {"!"}}};
  for (const auto& [pattern, names] : cases) EXPECT_EQ(find(pattern), names) << pattern;
  const std::filesystem::path cwd = std::filesystem::current_path();
  std::filesystem::current_path(dir);  // no directory part: the current one
  const Names here = find("?.TXT");
  std::filesystem::current_path(cwd);
  EXPECT_EQ(here, Names{"C.TXT"});
  std::filesystem::remove_all(dir);
}

}  // namespace
}  // namespace xev::platform
