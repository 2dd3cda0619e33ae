// Where a command's output goes. Listings and progress lines are printed on
// the text stream; failures are handed over as they are and printed by the
// owner of the message texts.
#pragma once

#include <cstdio>

#include "cpm/error.h"

namespace xev {

class Output {
 public:
  virtual ~Output() = default;

  // Standard output.
  virtual std::FILE* text() = 0;

  // Prints the message of `error` on standard error.
  virtual void report(const Error& error) = 0;

  // Prints the prompt (a fixed text) and, where a person reads the output
  // at a console, waits for the Enter key.
  virtual void wait_for_enter(const char* prompt) = 0;

  // A failure of the command: reported; the first one is kept.
  void fail(const Error& error) {
    report(error);
    count_failure(error.code);
  }
  // A failure the command has shown in a line of its own.
  void count_failure(ErrorCode code) {
    if (first_failure_ == ERR_OK) first_failure_ = code;
  }
  ErrorCode first_failure() const { return first_failure_; }

 private:
  ErrorCode first_failure_ = ERR_OK;
};

}  // namespace xev
