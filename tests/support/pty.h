// Runs xev from a Sandbox on a pseudo-terminal, so that tests can drive the
// Enter-key waits as a user at a console would.
#pragma once

#include <string>
#include <sys/types.h>
#include <vector>

#include "support/sandbox.h"

namespace xev::test {

class PtySession {
 public:
  PtySession(const Sandbox& box, const std::vector<std::string>& args);
  ~PtySession();
  PtySession(const PtySession&) = delete;
  PtySession& operator=(const PtySession&) = delete;

  // Reads output until `text` has appeared in it; false on end of output.
  bool read_until(const std::string& text);
  // Waits until the program has taken every key sent so far and sits blocked
  // reading the terminal (a state, not a time), then collects its output.
  void wait_until_idle();
  void send(const std::string& keys);
  // Reads to the end of output and returns the exit status.
  int wait_exit();
  const std::string& output() const { return output_; }
  // After exit: echo and line mode are on again on the terminal.
  bool terminal_restored() const;

 private:
  int master_ = -1;
  int slave_ = -1;
  pid_t child_ = -1;
  std::string output_;
};

}  // namespace xev::test
