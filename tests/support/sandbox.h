// Runs the built xev as a user would: in a temporary folder that holds the
// executable (a link to the built one) and its own definition file.
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

class Sandbox {
 public:
  // A fresh folder with `xev` and a copy of the repository's xev.ini.
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

  // Runs `xev args...` with the folder as working directory and argv[0] the
  // full path of the link. `input` is fed to standard input (not a terminal).
  CliResult run(const std::vector<std::string>& args,
                const std::string& input = "") const;
  // The same with an explicit argv[0].
  CliResult run_as(const std::string& argv0, const std::vector<std::string>& args,
                   const std::string& input = "") const;

 private:
  std::string dir_;
};

}  // namespace xev::test
