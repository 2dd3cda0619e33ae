// Builds images for the command tests. The types have no skew: directory entry
// i lies at base + 32 i and record r of unit a at base + (a * 8 * au_kib + r) * 128.
#pragma once

#include <gtest/gtest.h>
#include <sys/wait.h>

#include <cstdio>
#include <cstdlib>
#include <initializer_list>
#include <string>
#include <utility>
#include <vector>

#include "support/sandbox.h"

namespace xev::test {

inline std::string ini_section(const std::string& ext, int spt, int bls, int exm, int dsm, int drm,
                               int off, const std::string& extra = "") {
  return "[" + ext + "]\nSPT=" + std::to_string(spt) + "\nXLT=0\nBLS=" + std::to_string(bls) +
         "\nEXM=" + std::to_string(exm) + "\nDSM=" + std::to_string(dsm) +
         "\nDRM=" + std::to_string(drm) + "\nOFF=" + std::to_string(off) + "\n" + extra;
}

struct Layout {
  std::size_t base = 6656;  // the first byte of unit 0: two tracks of 26 records
  int au_kib = 1;
  bool wide = false;  // 16-bit pointers
};

// The bytes of image `name`, made by `xev name -f extra...`.
inline std::string formatted(const Sandbox& box, const std::string& name,
                             std::vector<std::string> extra = {}) {
  extra.insert(extra.begin(), {name, "-f"});
  const CliResult made = box.run(extra);
  EXPECT_EQ(made.status, 0) << made.err;
  return box.read_file(name);
}

// `name` and `ext` are blank-padded to 8 and 3 characters.
inline std::string dir_entry(int user, std::string name, std::string ext, int ex, int s2, int rc,
                             std::initializer_list<int> pointers, bool wide = false) {
  name.resize(8, ' ');
  ext.resize(3, ' ');
  std::string entry = char(user) + name + ext + char(ex) + '\0' + char(s2) + char(rc);
  for (int au : pointers)
    entry += wide ? std::string{char(au & 0xFF), char(au >> 8)} : std::string(1, char(au));
  entry.resize(32, '\0');
  return entry;
}

inline void put_entry(std::string& image, int index, const std::string& entry,
                      const Layout& at = {}) {
  image.replace(at.base + 32 * std::size_t(index), 32, entry);
}

inline void put_entry(std::string& image, int index, int user, const std::string& name,
                      const std::string& ext, int ex, int s2, int rc,
                      std::initializer_list<int> pointers, const Layout& at = {}) {
  put_entry(image, index, dir_entry(user, name, ext, ex, s2, rc, pointers, at.wide), at);
}

inline std::size_t record_offset(int au, int record, const Layout& at = {}) {
  return at.base + (std::size_t(au) * 8 * at.au_kib + record) * 128;
}

// Record `record` of unit `au`: `data`, the rest of the 128 bytes `fill`.
inline void put_record(std::string& image, int au, int record, std::string data, char fill = '\x1A',
                       const Layout& at = {}) {
  data.resize(128, fill);
  image.replace(record_offset(au, record, at), 128, data);
}

// Debian's cpmtools, a black box that reads and writes the same images.
inline bool cpmtools_available() {
  return std::system(
             "{ command -v mkfs.cpm && command -v cpmcp && command -v cpmls && "
             "command -v fsck.cpm; } >/dev/null 2>&1") == 0;
}

// Runs a shell command in the sandbox folder: its status and all its output.
inline std::pair<int, std::string> run_shell(const Sandbox& box, const std::string& command) {
  std::string out;
  std::FILE* pipe = ::popen(("cd '" + box.dir() + "' && " + command + " 2>&1").c_str(), "r");
  if (pipe == nullptr) return {-1, out};
  char chunk[4096];
  for (std::size_t got; (got = std::fread(chunk, 1, sizeof chunk, pipe)) > 0;)
    out.append(chunk, got);
  const int status = ::pclose(pipe);
  return {WIFEXITED(status) ? WEXITSTATUS(status) : -1, out};
}

}  // namespace xev::test
