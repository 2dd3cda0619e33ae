// Shared by the add, extract and erase tests: test geometries without system
// area and skew, so that record n of the data area lies at byte n * 128 and
// directory entry i at byte i * 32, and builders for expected entries.
#pragma once

#include <cstdint>
#include <initializer_list>
#include <stdexcept>
#include <string>
#include <vector>

#include "support/sandbox.h"

namespace xev::test::files {

// [t1]  1 KiB units, 243 units, 64 entries (units 0-1), 16 pointers, EXM 0.
// [t2]  2 KiB units, 200 units, 64 entries (unit 0), 16 pointers, EXM 1.
// [t4]  4 KiB units, 256 units, 128 entries (unit 0), 16 pointers, EXM 3.
// [big] 4 KiB units, 2101 units, 1024 entries (units 0-7), 8 x 16-bit, EXM 1.
// [sub] 2 KiB units, 156 units, EXM 0: an entry holds 8 of its 16 pointers.
// [wide] 1 KiB units with 16-bit pointers: EXM 0 is more than 8 pointers hold.
// [tiny] 1 KiB units, 10 units, 32 entries (unit 0).
inline const char* const kIni =
    "[t1]\nSPT=26\nXLT=0\nBLS=1\nEXM=0\nDSM=242\nDRM=63\nOFF=0\n"
    "[t2]\nSPT=32\nXLT=0\nBLS=2\nEXM=1\nDSM=199\nDRM=63\nOFF=0\n"
    "[t4]\nSPT=64\nXLT=0\nBLS=4\nEXM=3\nDSM=255\nDRM=127\nOFF=0\n"
    "[big]\nSPT=64\nXLT=0\nBLS=4\nEXM=1\nDSM=2100\nDRM=1023\nOFF=0\n"
    "[sub]\nSPT=32\nXLT=0\nBLS=2\nEXM=0\nDSM=155\nDRM=63\nOFF=0\n"
    "[wide]\nSPT=32\nXLT=0\nBLS=1\nEXM=0\nDSM=300\nDRM=63\nOFF=0\n"
    "[tiny]\nSPT=8\nXLT=0\nBLS=1\nEXM=0\nDSM=9\nDRM=31\nOFF=0\n";

// A sandbox with kIni as its definition file.
inline void use_test_ini(const Sandbox& box) { box.write_ini(kIni); }

// Deterministic, non-repeating test data.
inline std::string data_bytes(std::size_t size, unsigned seed = 1) {
  std::string bytes(size, '\0');
  std::uint32_t state = seed * 2654435761u + 12345u;
  for (char& byte : bytes) {
    state = state * 1103515245u + 12345u;
    byte = static_cast<char>(state >> 23);
  }
  return bytes;
}

// A file entry: user, 11-character name, EX, S2, RC and its pointers, one
// byte each, or two bytes little-endian each when `wide`.
inline std::string file_entry(int user, const std::string& name11, int ex, int s2, int rc,
                              std::initializer_list<int> pointers, bool wide = false) {
  std::string entry(32, '\0');
  entry[0] = static_cast<char>(user);
  entry.replace(1, 11, name11);
  entry[12] = static_cast<char>(ex);
  entry[14] = static_cast<char>(s2);
  entry[15] = static_cast<char>(rc);
  int slot = 0;
  for (int au : pointers) {
    if (wide) {
      entry[16 + 2 * slot] = static_cast<char>(au & 0xFF);
      entry[17 + 2 * slot] = static_cast<char>(au >> 8);
    } else {
      entry[16 + slot] = static_cast<char>(au);
    }
    ++slot;
  }
  return entry;
}

// Pointers first, first + 1, ..., first + count - 1.
inline std::string run_of_units(int user, const std::string& name11, int ex, int s2, int rc,
                                int first, int count) {
  std::string entry = file_entry(user, name11, ex, s2, rc, {});
  for (int slot = 0; slot < count; ++slot) entry[16 + slot] = static_cast<char>(first + slot);
  return entry;
}

inline std::string entry_of(const std::string& image, int index) {
  return image.substr(static_cast<std::size_t>(index) * 32, 32);
}

// Replaces directory entry `index` of image `name` in the sandbox.
inline void put_entry(const Sandbox& box, const std::string& name, int index,
                      const std::string& entry) {
  std::string image = box.read_file(name);
  image.replace(static_cast<std::size_t>(index) * 32, 32, entry);
  box.write_file(name, image);
}

// The expected standard output of a run: the banner and `body`.
inline std::string stdout_of(const std::string& body) { return std::string(kBanner) + body; }

// Creates and fully formats image `name`; fails the test when that fails.
inline void format_image_file(const Sandbox& box, const std::string& name,
                              std::initializer_list<std::string> extra = {}) {
  std::vector<std::string> args{name, "-f"};
  args.insert(args.end(), extra.begin(), extra.end());
  const CliResult result = box.run(args);
  if (result.status != 0) throw std::runtime_error("format failed: " + result.err);
}

}  // namespace xev::test::files
