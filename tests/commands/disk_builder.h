// Builds images for the command tests: definition sections, directory entries
// and records of types without skew, where directory entry i lies at
// base + 32 i and record r of unit a at base + (a * records per unit + r) * 128.
#pragma once

#include <sys/wait.h>

#include <cstdio>
#include <cstdlib>
#include <initializer_list>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "support/sandbox.h"

namespace xev::test {

// A section of the definition file for a type without skew.
inline std::string ini_section(const std::string& ext, int spt, int bls, int exm, int dsm, int drm,
                               int off, const std::string& extra = "") {
  return "[" + ext + "]\nSPT=" + std::to_string(spt) + "\nXLT=0\nBLS=" + std::to_string(bls) +
         "\nEXM=" + std::to_string(exm) + "\nDSM=" + std::to_string(dsm) +
         "\nDRM=" + std::to_string(drm) + "\nOFF=" + std::to_string(off) + "\n" + extra;
}

struct Layout {
  std::size_t base = 6656;  // the first byte of unit 0, e.g. two tracks of 26 records
  int au_kib = 1;
  bool wide = false;  // eight 16-bit pointers per entry
};

// `xev name -f ...` in `box`; the bytes of the new image.
inline std::string formatted(const Sandbox& box, const std::string& name,
                             const std::vector<std::string>& extra = {}) {
  std::vector<std::string> args{name, "-f"};
  args.insert(args.end(), extra.begin(), extra.end());
  const CliResult made = box.run(args);
  EXPECT_EQ(made.status, 0) << made.err;
  return box.read_file(name);
}

// A directory entry; `name` and `ext` are blank-padded to 8 and 3 characters.
inline std::string dir_entry(int user, std::string name, std::string ext, int ex, int s2, int rc,
                             std::initializer_list<int> pointers, bool wide = false) {
  name.resize(8, ' ');
  ext.resize(3, ' ');
  std::string entry = std::string(1, static_cast<char>(user)) + name + ext;
  entry += {static_cast<char>(ex), '\0', static_cast<char>(s2), static_cast<char>(rc)};
  entry.resize(32, '\0');
  std::size_t at = 16;
  for (int au : pointers) {
    entry[at++] = static_cast<char>(au & 0xFF);
    if (wide) entry[at++] = static_cast<char>(au >> 8);
  }
  return entry;
}

inline std::size_t entry_offset(int index, const Layout& at = {}) {
  return at.base + 32 * static_cast<std::size_t>(index);
}

inline void put_entry(std::string& image, int index, const std::string& entry,
                      const Layout& at = {}) {
  image.replace(entry_offset(index, at), 32, entry);
}

inline void put_entry(std::string& image, int index, int user, const std::string& name,
                      const std::string& ext, int ex, int s2, int rc,
                      std::initializer_list<int> pointers, const Layout& at = {}) {
  put_entry(image, index, dir_entry(user, name, ext, ex, s2, rc, pointers, at.wide), at);
}

inline std::size_t record_offset(int au, int record, const Layout& at = {}) {
  return at.base + (static_cast<std::size_t>(au) * at.au_kib * 8 + record) * 128;
}

// Record `record` of unit `au`: `data`, the rest of the 128 bytes `fill`.
inline void put_record(std::string& image, int au, int record, std::string data, char fill = '\x1A',
                       const Layout& at = {}) {
  data.resize(128, fill);
  image.replace(record_offset(au, record, at), 128, data);
}

inline std::string record_at(const std::string& image, int au, int record, const Layout& at = {}) {
  return image.substr(record_offset(au, record, at), 128);
}

// Debian's cpmtools, used as a black box to check what xev reads and writes.
inline bool cpmtools_available() {
  return std::system(
             "{ command -v mkfs.cpm && command -v cpmcp && command -v cpmls && "
             "command -v fsck.cpm; } >/dev/null 2>&1") == 0;
}

struct ShellResult {
  std::string out;  // standard output and error
  int status = -1;
};

// Runs a shell command in the sandbox folder.
inline ShellResult run_shell(const Sandbox& box, const std::string& command) {
  ShellResult result;
  std::FILE* pipe = ::popen(("cd '" + box.dir() + "' && " + command + " 2>&1").c_str(), "r");
  if (pipe == nullptr) return result;
  char chunk[4096];
  for (std::size_t got; (got = std::fread(chunk, 1, sizeof chunk, pipe)) > 0;) {
    result.out.append(chunk, got);
  }
  const int status = ::pclose(pipe);
  result.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  return result;
}

}  // namespace xev::test
