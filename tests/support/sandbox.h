// Runs the built xev as a user would: in a temporary folder that holds the
// executable (a link to the built one) and its own definition file.
//
// With XEV_TEST_EXE naming a Windows build (xev.exe), the folder holds a copy
// of that instead and every run goes through Wine: XEV_TEST_RUNNER (default
// "wine"), WINEDEBUG=-all and, unless set, a private WINEPREFIX under /tmp.
// Runs with an argv[0] of the test's choosing need XEV_TEST_LAUNCHER, the
// launcher built from tests/wine/xev_launch.cpp.
#pragma once

#include <string>
#include <vector>

namespace xev::test {

struct CliResult {
  std::string out;
  std::string err;
  int status = -1;  // exit status, or -1 when the process did not exit normally
};

// The banner every run prints first.
extern const char* const kBanner;

// The 8-inch single-sided single-density type, as a section body.
extern const char* const kEightInchDefinition;

// True when the runs go to a Windows xev.exe under Wine (XEV_TEST_EXE set).
// Tests that need what Wine cannot give (a terminal, POSIX permissions or
// devices) skip themselves with GTEST_SKIP() then.
bool running_under_wine();

class Sandbox {
 public:
  // A fresh folder with `xev` (under Wine `xev.exe`) and a copy of the
  // repository's xev.ini.
  Sandbox();
  ~Sandbox();
  Sandbox(const Sandbox&) = delete;
  Sandbox& operator=(const Sandbox&) = delete;

  const std::string& dir() const { return dir_; }
  std::string path(const std::string& name) const { return dir_ + "/" + name; }

  // Replaces the definition file beside the executable.
  void write_ini(const std::string& text) const;
  void remove_ini() const;

  void write_file(const std::string& name, const std::string& bytes) const;
  std::string read_file(const std::string& name) const;
  bool exists(const std::string& name) const;
  void make_dir(const std::string& name) const;

  // The full path of the folder's own executable.
  std::string program() const;

  // Runs `xev args...` with the folder as working directory and argv[0] the
  // full path of the folder's executable. `input` is fed to standard input
  // (not a terminal).
  CliResult run(const std::vector<std::string>& args,
                const std::string& input = "") const;
  // The same with an explicit argv[0]. The program started is the built one
  // that the folder's executable stands for, as a link resolves to it.
  CliResult run_as(const std::string& argv0, const std::vector<std::string>& args,
                   const std::string& input = "") const;

 private:
  std::string dir_;
};

}  // namespace xev::test
