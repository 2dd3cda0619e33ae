#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>
#include <fstream>
#include <string>
#include <vector>

#include "platform/platform.h"

namespace xev::platform {
namespace {

struct MatchCase {
  const char* pattern;
  const char* name;
  bool matches;
};

TEST(SearchWildcard, FollowsTheConsoleRules) {
  const MatchCase cases[] = {
      {"*.*", "README.TXT", true},
      {"*.*", "README", true},  // "*.*" takes names without a point too
      {"*.*", ".profile", true},
      {"*", "a.b.c", true},
      {"*.COM", "stat.com", true},  // ASCII case is ignored
      {"*.com", "STAT.COM", true},
      {"*.COM", "STAT.COMX", false},
      {"*.COM", "STAT", false},
      {"A*.*", "ABC", true},
      {"A*.*", "BAC", false},
      {"X.*", "X", true},
      {"X.*", "X.", true},
      {"X.*", "XY", false},
      {"?.TXT", "A.TXT", true},
      {"?.TXT", ".TXT", false},  // '?' is exactly one character
      {"??.TXT", "A.TXT", false},
      {"A?C", "ABC", true},
      {"A?C", "AC", false},
      {"*A*B*", "xxAyyBzz", true},
      {"*A*B*", "xxByyAzz", false},
      {"*AB", "AAB", true},  // '*' must give back characters it swallowed
      {"ABC", "abc", true},
      {"ABC", "ABCD", false},
      {"", "", true},
      {"", "A", false},
      {"\xC4.TXT", "\xE4.TXT", false},  // only ASCII letters fold
  };
  for (const MatchCase& c : cases) {
    EXPECT_EQ(wildcard_match(c.pattern, c.name), c.matches)
        << "pattern '" << c.pattern << "' name '" << c.name << "'";
  }
}

class HostSearchTest : public ::testing::Test {
 protected:
  void SetUp() override {
    const char* base = std::getenv("TMPDIR");
    std::string templ = std::string(base != nullptr ? base : "/tmp") + "/xev-search-XXXXXX";
    ASSERT_NE(mkdtemp(templ.data()), nullptr);
    dir_ = templ + "/";
  }
  void TearDown() override {
    const std::string command = "rm -rf '" + dir_ + "'";
    EXPECT_EQ(std::system(command.c_str()), 0);
  }
  void touch(const std::string& name) const { std::ofstream(dir_ + name) << "x"; }
  void mkdir(const std::string& name) const { ASSERT_EQ(::mkdir((dir_ + name).c_str(), 0755), 0); }
  void link(const std::string& target, const std::string& name) const {
    ASSERT_EQ(::symlink(target.c_str(), (dir_ + name).c_str()), 0);
  }

  // All names of a search, or the status of a failed one as "<no files>" or
  // "<failed>".
  std::vector<std::string> find(const std::string& mask) const {
    HostSearch search;
    std::string name;
    switch (search.first(dir_ + mask, name)) {
      case FindStatus::kNoFiles:
        return {"<no files>"};
      case FindStatus::kFailed:
        return {"<failed>"};
      case FindStatus::kFound:
        break;
    }
    std::vector<std::string> names{name};
    while (search.next(name)) names.push_back(name);
    search.close();
    EXPECT_FALSE(search.next(name));
    return names;
  }

  std::string dir_;
};

using Names = std::vector<std::string>;

TEST_F(HostSearchTest, YieldsMatchingRegularFilesInByteOrder) {
  for (const char* name : {"b.com", "A.COM", "C.TXT", "a.com", "_X.COM", "Z"}) touch(name);
  EXPECT_EQ(find("*.COM"), (Names{"A.COM", "_X.COM", "a.com", "b.com"}));
  EXPECT_EQ(find("*.*"), (Names{"A.COM", "C.TXT", "Z", "_X.COM", "a.com", "b.com"}));
  EXPECT_EQ(find("?.TXT"), (Names{"C.TXT"}));
}

TEST_F(HostSearchTest, SkipsDirectoriesHiddenFilesAndSpecialEntries) {
  touch("FILE.COM");
  touch(".HIDDEN.COM");
  mkdir("DIR.COM");
  link(dir_ + "FILE.COM", "LINK.COM");     // a link to a file is a file
  link(dir_ + "DIR.COM", "DIRLINK.COM");   // a link to a directory is not
  link(dir_ + "MISSING", "DANGLING.COM");  // nor is a link to nothing
  ASSERT_EQ(::mkfifo((dir_ + "PIPE.COM").c_str(), 0644), 0);
  EXPECT_EQ(find("*.COM"), (Names{"FILE.COM", "LINK.COM"}));
}

TEST_F(HostSearchTest, TellsNoMatchFromFailure) {
  touch("A.TXT");
  EXPECT_EQ(find("*.COM"), (Names{"<no files>"}));
  mkdir("SUB.COM");
  touch(".H.COM");
  EXPECT_EQ(find("*.COM"), (Names{"<failed>"}));  // only skipped entries matched
  EXPECT_EQ(find("missing/*.*"), (Names{"<failed>"}));
  EXPECT_EQ(find("A.TXT/*.*"), (Names{"<failed>"}));  // not a directory
}

TEST_F(HostSearchTest, PlainNamePrefersItsExactSpelling) {
  touch("readme.txt");
  touch("README.TXT");
  EXPECT_EQ(find("readme.txt"), (Names{"readme.txt"}));
  EXPECT_EQ(find("Readme.txt"), (Names{"README.TXT", "readme.txt"}));
}

TEST_F(HostSearchTest, RefusesPatternsOverThePathLimit) {
  touch("F");
  HostSearch search;
  std::string name;
  const std::string fits = dir_ + std::string(259 - dir_.size(), '*');
  EXPECT_EQ(search.first(fits, name), FindStatus::kFound);
  EXPECT_EQ(search.first(fits + "*", name), FindStatus::kFailed);
}

TEST_F(HostSearchTest, SearchesTheCurrentDirectoryWithoutPath) {
  touch("HERE.COM");
  char* cwd = ::getcwd(nullptr, 0);
  ASSERT_NE(cwd, nullptr);
  ASSERT_EQ(::chdir(dir_.c_str()), 0);
  HostSearch search;
  std::string name;
  const FindStatus status = search.first("*.COM", name);
  EXPECT_EQ(::chdir(cwd), 0);
  std::free(cwd);
  EXPECT_EQ(status, FindStatus::kFound);
  EXPECT_EQ(name, "HERE.COM");
}

}  // namespace
}  // namespace xev::platform
