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

TEST(SearchWildcard, FollowsTheConsoleRules) {
  const std::tuple<const char*, const char*, bool> cases[] = {
      // clang-format off
      {"*.*", "READ.ME", true}, {"*.*", "README", true}, {"*.*", ".profile", true},
      {"*", "a.b.c", true},     {"*.COM", "ab.com", true}, {"*.com", "AB.COM", true},
      {"*.COM", "A.COMX", false}, {"*.COM", "AB", false}, {"A*.*", "BA", false},
      {"X.*", "X", true},       {"X.*", "X.", true},       {"X.*", "XY", false},
      {"?.TXT", "A.TXT", true}, {"?.TXT", ".TXT", false},  {"??.TXT", "A.TXT", false},
      {"A?C", "AC", false},     {"*A*B*", "xAyBz", true},  {"*A*B*", "xByAz", false},
      {"*AB", "AAB", true},  // '*' gives back what it swallowed
      {"ABC", "ABCD", false},   {"", "", true},            {"", "A", false},
      {"\xC4.TXT", "\xE4.TXT", false},  // only ASCII letters fold
      // clang-format on
  };
  for (const auto& [pattern, name, matches] : cases) {
    EXPECT_EQ(wildcard_match(pattern, name), matches) << pattern << " " << name;
  }
}

using Names = std::vector<std::string>;

// All names a search yields, or "<no files>" / "<failed>".
Names find(const std::string& pattern) {
  HostSearch search;
  std::string name;
  const FindStatus status = search.first(pattern, name);
  if (status == FindStatus::kNoFiles) return {"<no files>"};
  if (status == FindStatus::kFailed) return {"<failed>"};
  Names names{name};
  while (search.next(name)) names.push_back(name);
  return names;
}

TEST(HostSearchTest, YieldsRegularFilesInByteOrderAndTellsNoMatchFromFailure) {
  std::string dir = (std::filesystem::temp_directory_path() / "xev-find-XXXXXX").string();
  ASSERT_NE(::mkdtemp(dir.data()), nullptr);
  dir += "/";
  for (const char* name : {"b.com", "A.COM", "C.TXT", "a.com", "_X.COM", "Z", ".HIDE.COM",
                           "readme.txt", "README.TXT", ".H.X"}) {
    std::ofstream(dir + name) << "x";
  }
  const auto at = [&dir](const char* name) { return dir + name; };
  ASSERT_EQ(::mkdir(at("DIR.COM").c_str(), 0755) + ::mkdir(at("SUB.X").c_str(), 0755) +
                ::symlink(at("A.COM").c_str(), at("LINK.COM").c_str()) +  // a file
                ::symlink(at("DIR.COM").c_str(), at("DIRLINK.COM").c_str()) +
                ::symlink(at("NONE").c_str(), at("DANGLING.COM").c_str()) +
                ::mkfifo(at("PIPE.COM").c_str(), 0644),
            0);
  const Names all = {"A.COM",  "C.TXT", "LINK.COM", "README.TXT", "Z",
                     "_X.COM", "a.com", "b.com",    "readme.txt"};
  const std::pair<std::string, Names> cases[] = {
      {at("*.COM"), {"A.COM", "LINK.COM", "_X.COM", "a.com", "b.com"}},
      {at("*.*"), all},
      {at("?.TXT"), {"C.TXT"}},
      {at("readme.txt"), {"readme.txt"}},  // a plain name prefers its exact spelling
      {at("Readme.txt"), {"README.TXT", "readme.txt"}},
      {at("*.Q"), {"<no files>"}},
      {at("*.X"), {"<failed>"}},  // only a directory and a hidden file match
      {at("missing/*.*"), {"<failed>"}},
      {at("C.TXT/*.*"), {"<failed>"}},
      {dir + std::string(259 - dir.size(), '*'), all},  // the longest pattern taken
      {dir + std::string(260 - dir.size(), '*'), {"<failed>"}},
  };
  for (const auto& [pattern, names] : cases) EXPECT_EQ(find(pattern), names) << pattern;

  // Without a directory part the current directory is searched.
  const std::filesystem::path cwd = std::filesystem::current_path();
  std::filesystem::current_path(dir);
  const Names here = find("?.TXT");
  std::filesystem::current_path(cwd);
  EXPECT_EQ(here, Names{"C.TXT"});
  std::filesystem::remove_all(dir);
}

}  // namespace
}  // namespace xev::platform
