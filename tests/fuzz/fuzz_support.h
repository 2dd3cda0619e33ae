// Shared pieces of the libFuzzer harnesses (Linux, clang).
#pragma once

#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>

namespace xev::fuzz {

[[noreturn]] inline void fail(const char* what) {
  dprintf(STDERR_FILENO, "fuzz check failed: %s\n", what);
  std::abort();
}

#define FUZZ_CHECK(condition) \
  do {                        \
    if (!(condition)) ::xev::fuzz::fail(#condition); \
  } while (false)

// Points the tool's stdout and stderr at a sink that drops everything without
// a system call; descriptor 2 stays open for libFuzzer and the sanitizers.
// Standard input is /dev/null, so no pager waits for a key.
inline void silence_tool_output() {
  cookie_io_functions_t sink{};
  sink.write = [](void*, const char*, std::size_t size) { return static_cast<ssize_t>(size); };
  stdout = stderr = fopencookie(nullptr, "w", sink);
  if (stdout == nullptr || std::freopen("/dev/null", "r", stdin) == nullptr) fail("silence");
}

// A work folder under $TMPDIR (or /tmp), removed at exit; ends with '/'.
inline std::string make_work_dir(const char* tag) {
  static std::string created;
  const char* base = std::getenv("TMPDIR");
  created = std::string(base != nullptr ? base : "/tmp") + "/xev-" + tag + "-XXXXXX";
  if (mkdtemp(created.data()) == nullptr) fail("mkdtemp");
  std::atexit([] { std::error_code ignored; std::filesystem::remove_all(created, ignored); });
  return created + "/";
}

}  // namespace xev::fuzz
