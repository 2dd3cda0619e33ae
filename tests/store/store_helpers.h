// Shared pieces of the store tests: geometries, directory entries built byte
// for byte, a temporary folder and output capture.
#pragma once

#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <initializer_list>
#include <stdexcept>
#include <string>

#include "cli/run_state.h"

namespace xev::test {

// The 8-inch layout without skew: record n of the data area at 6656 + n * 128.
inline const char* const kIdentityDefinition =
    "SPT=26\nXLT=0\nBLS=1\nEXM=0\nDSM=242\nDRM=63\nOFF=2\n";

// A system area of three records instead of two tracks.
inline const char* const kOffxDefinition =
    "SPT=26\nXLT=0\nBLS=1\nEXM=0\nDSM=242\nDRM=63\nOFF=2\nOFFX=3\n";

// No system area at all.
inline const char* const kNoSystemDefinition =
    "SPT=26\nXLT=0\nBLS=1\nEXM=0\nDSM=242\nDRM=63\nOFF=0\n";

// 300 units of 2 KiB: eight 16-bit pointers per entry, one directory unit.
inline const char* const kWideDefinition =
    "SPT=32\nXLT=0\nBLS=2\nEXM=0\nDSM=299\nDRM=63\nOFF=0\n";

// A folder under TMPDIR that is removed with everything in it.
class TempDir {
 public:
  TempDir() {
    const char* base = std::getenv("TMPDIR");
    std::string templ =
        std::string(base != nullptr ? base : "/tmp") + "/xev-store-XXXXXX";
    if (mkdtemp(templ.data()) == nullptr) throw std::runtime_error("mkdtemp failed");
    dir_ = templ + "/";
  }
  ~TempDir() {
    const std::string command = "rm -rf '" + dir_ + "'";
    if (std::system(command.c_str()) != 0) {
    }
  }
  TempDir(const TempDir&) = delete;
  TempDir& operator=(const TempDir&) = delete;

  // The folder with its trailing separator, as image_dir and host_dir hold it.
  const std::string& dir() const { return dir_; }
  std::string path(const std::string& name) const { return dir_ + name; }

 private:
  std::string dir_;
};

// Writes entry `index`: user byte, 11 name and type bytes, EX, S2, RC and the
// allocation pointers (one byte each, or 16-bit little-endian with `wide`).
inline void put_entry(RunState& state, int index, std::uint8_t user, const char* name11,
                      int ex, int s2, int rc, std::initializer_list<int> pointers = {},
                      bool wide = false) {
  std::uint8_t* entry = state.entry(index);
  std::memset(entry, 0, kEntrySize);
  entry[0] = user;
  std::memcpy(entry + 1, name11, 11);
  entry[12] = static_cast<std::uint8_t>(ex);
  entry[14] = static_cast<std::uint8_t>(s2);
  entry[15] = static_cast<std::uint8_t>(rc);
  int slot = 0;
  for (const int au : pointers) {
    if (wide) {
      entry[16 + 2 * slot] = static_cast<std::uint8_t>(au & 0xFF);
      entry[17 + 2 * slot] = static_cast<std::uint8_t>(au >> 8);
    } else {
      entry[16 + slot] = static_cast<std::uint8_t>(au);
    }
    ++slot;
  }
}

// Makes every entry a plain free entry, as a formatted disk holds them.
inline void clear_entries(RunState& state) {
  for (int i = 0; i < state.dir_entry_count; ++i) {
    std::uint8_t* entry = state.entry(i);
    std::memset(entry, 0, kEntrySize);
    entry[0] = kFreeMark;
    std::memset(entry + 1, ' ', 11);
  }
}

// The 32 bytes of entry `index` as a string, for whole-entry comparisons.
inline std::string entry_bytes(const RunState& state, int index) {
  return std::string(reinterpret_cast<const char*>(state.entry(index)), kEntrySize);
}

// Standard output and standard error of one call.
struct Captured {
  std::string out;
  std::string err;
};

template <typename Call>
Captured capture(Call&& call) {
  testing::internal::CaptureStdout();
  testing::internal::CaptureStderr();
  call();
  std::fflush(stdout);
  Captured result;
  result.out = testing::internal::GetCapturedStdout();
  result.err = testing::internal::GetCapturedStderr();
  return result;
}

// The result of a call whose output does not matter to the test.
template <typename Call>
auto quietly(Call&& call) {
  decltype(call()) result{};
  capture([&] { result = call(); });
  return result;
}

}  // namespace xev::test
