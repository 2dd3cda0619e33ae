// The messages of the failures, and the console that commands print to.
#pragma once

#include <cstdio>

#include "commands/output.h"
#include "cpm/error.h"

namespace xev {

// Prints the message of `error` on `stream`, filled with its subject and
// detail in the order the message asks for, then " !!!" and a line end.
void print_error(std::FILE* stream, const Error& error);

// Standard output and standard error as the commands see them (other streams
// in tests). A failure message follows everything printed before it, also
// when both streams go to one file.
class ConsoleOutput final : public Output {
 public:
  ConsoleOutput(std::FILE* text, std::FILE* errors) : text_(text), errors_(errors) {}

  std::FILE* text() override { return text_; }
  void report(const Error& error) override;
  void wait_for_enter(const char* prompt) override;

 private:
  std::FILE* text_;
  std::FILE* errors_;
};

}  // namespace xev
