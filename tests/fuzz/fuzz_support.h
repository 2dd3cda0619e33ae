// Shared pieces of the libFuzzer harnesses (Linux, clang).
#pragma once

#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>

namespace xev::fuzz {

// Ends the run as a finding. The message goes to descriptor 2, where
// libFuzzer and the sanitizers report as well.
[[noreturn]] inline void fail(const char* what) {
  dprintf(STDERR_FILENO, "fuzz check failed: %s\n", what);
  std::abort();
}

#define FUZZ_CHECK(condition) \
  do {                        \
    if (!(condition)) ::xev::fuzz::fail(#condition); \
  } while (false)

// The tool writes its listings to stdout and its messages to stderr. Both
// streams are pointed at a sink that drops everything without a system call;
// descriptor 2 stays open for libFuzzer (which captured its own stream at
// start-up) and the sanitizer reports. Standard input is /dev/null, so no
// pager waits for a key.
inline void silence_tool_output() {
  cookie_io_functions_t sink{};
  sink.write = [](void*, const char*, std::size_t size) -> ssize_t {
    return static_cast<ssize_t>(size);
  };
  std::FILE* null_out = fopencookie(nullptr, "w", sink);
  if (null_out == nullptr || std::freopen("/dev/null", "r", stdin) == nullptr) {
    fail("cannot silence the tool");
  }
  stdout = null_out;
  stderr = null_out;
}

// The process's one work folder under $TMPDIR (or /tmp), removed when it exits
// normally. Returned with a trailing '/'.
inline std::string make_work_dir(const char* tag) {
  static std::string created;
  const char* base = std::getenv("TMPDIR");
  std::string path = std::string(base != nullptr ? base : "/tmp") + "/xev-" + tag + "-XXXXXX";
  if (mkdtemp(path.data()) == nullptr) fail("mkdtemp");
  created = path;
  std::atexit([] {
    std::error_code ignored;
    std::filesystem::remove_all(created, ignored);
  });
  return path + "/";
}

}  // namespace xev::fuzz
