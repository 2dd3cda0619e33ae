// Shared pieces of the libFuzzer harnesses (Linux, clang): the checks, a disk
// in memory, and an output that goes nowhere.
#pragma once

#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "commands/output.h"
#include "cpm/medium.h"

namespace xev::fuzz {

[[noreturn]] inline void fail(const char* what) {
  dprintf(STDERR_FILENO, "fuzz check failed: %s\n", what);
  std::abort();
}

#define FUZZ_CHECK(condition) \
  do {                        \
    if (!(condition)) ::xev::fuzz::fail(#condition); \
  } while (false)

// An image in memory; what a command writes is seen in `bytes`.
class MemoryImage final : public Medium {
 public:
  explicit MemoryImage(std::vector<std::uint8_t> image) : Medium("fuzz"), bytes(std::move(image)) {}
  std::int64_t size() const override { return static_cast<std::int64_t>(bytes.size()); }
  Error read(std::int64_t offset, std::uint8_t* data, std::size_t length) override {
    if (offset < 0 || offset + static_cast<std::int64_t>(length) > size()) return {ERR_IMAGE_READ};
    std::memcpy(data, bytes.data() + offset, length);
    return {};
  }
  Error write(std::int64_t offset, const std::uint8_t* data, std::size_t length) override {
    if (offset < 0 || offset + static_cast<std::int64_t>(length) > size()) return {ERR_IMAGE_WRITE};
    std::memcpy(bytes.data() + offset, data, length);
    return {};
  }
  std::vector<std::uint8_t> bytes;
};

// Drops everything, in large blocks; nothing waits for a key.
class NoOutput final : public Output {
 public:
  NoOutput() : text_(std::fopen("/dev/null", "w")) { std::setvbuf(text_, nullptr, _IOFBF, 1 << 16); }
  ~NoOutput() override { std::fclose(text_); }
  std::FILE* text() override { return text_; }
  void report(const Error&) override {}
  void wait_for_enter(const char*) override {}

 private:
  std::FILE* text_;
};

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
