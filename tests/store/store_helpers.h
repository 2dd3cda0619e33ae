// Shared pieces of the store tests: directory entries built byte for byte and
// the outcome of one call.
#pragma once

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <utility>
#include <vector>

#include "cli/run_state.h"
#include "store/directory.h"
#include "support/sandbox.h"
#include "support/test_state.h"

namespace xev::test {

// 300 units of 2 KiB: eight 16-bit pointers per entry, one directory unit.
inline const char* const kWideDefinition =
    "SPT=32\nXLT=0\nBLS=2\nEXM=0\nDSM=299\nDRM=63\nOFF=0\n";

// Entry `index`: user byte, name and type, EX, S2, RC and the pointers, one
// byte each or, with eight per entry, 16-bit little-endian.
inline void put_entry(RunState& s, int index, int user, const char* name11, int ex,
                      int s2, int rc, const std::vector<int>& aus = {}) {
  std::uint8_t* e = s.entry(index);
  std::memset(e, 0, kEntrySize);
  std::memcpy(e + 1, name11, 11);
  for (const auto& [at, value] : {std::pair{0, user}, {12, ex}, {14, s2}, {15, rc}})
    e[at] = static_cast<std::uint8_t>(value);
  std::uint8_t* p = e + 16;
  for (const int au : aus) {
    *p++ = static_cast<std::uint8_t>(au & 0xFF);
    if (s.pointers_per_entry == 8) *p++ = static_cast<std::uint8_t>(au >> 8);
  }
}

// Every entry free, as a format leaves it.
inline void clear_entries(RunState& s) {
  for (int i = 0; i < s.dir_entry_count; ++i)
    put_entry(s, i, kFreeMark, "           ", 0, 0, 0);
}

inline std::string entry_bytes(const RunState& s, int index) {
  return std::string(reinterpret_cast<const char*>(s.entry(index)), kEntrySize);
}

struct Captured {
  ErrorCode code;
  std::string err, out;
};

template <typename Call>
Captured capture(Call&& call) {
  testing::internal::CaptureStdout();
  testing::internal::CaptureStderr();
  const ErrorCode code = call();
  std::fflush(stdout);
  const std::string err = testing::internal::GetCapturedStderr();
  return {code, err, testing::internal::GetCapturedStdout()};
}

}  // namespace xev::test
