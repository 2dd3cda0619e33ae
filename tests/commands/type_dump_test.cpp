// -t and -h on an image whose directory and records are laid out here; neither
// changes the image.
#include <gtest/gtest.h>

#include <cstdio>
#include <string>
#include <vector>

#include "commands/disk_builder.h"

namespace xev::test {
namespace {

const std::string kPrompt = " ... Press Enter to continue ...";

std::string heading(const std::string& name, bool dump = false) {
  return (dump ? "Hex Dump" : "Content") + std::string(" of the file '") + name +
         "' from 't.dsk'\n\n";
}
std::string row(int offset, const std::string& bytes) {
  char text[16];
  std::snprintf(text, sizeof text, "%06X  ", offset);
  std::string hex = text, shown;
  for (unsigned char byte : bytes) {
    std::snprintf(text, sizeof text, "%02X ", byte);
    hex += text;
    shown += byte >= 0x20 && byte <= 0x7E ? char(byte) : '.';
  }
  return hex + " " + shown + "\n";
}

TEST(TypeDump, ShowsFilesExactly) {
  Sandbox box;
  box.write_ini(ini_section("dsk", 26, 1, 0, 242, 63, 2));
  std::string disk(256256, '\xE5');
  const auto run = [&](const std::vector<std::string>& args) {
    box.write_file("t.dsk", disk);
    const CliResult result = box.run(args);
    EXPECT_TRUE(box.read_file("t.dsk") == disk) << "the image changed";
    return result;
  };
  put_entry(disk, 0, 0, "A", "TXT", 0, 0, 3, {5});  // and a fourth record past the count
  put_record(disk, 5, 0, std::string("Hello\r\n\0\x80\xFF\x1Ahidden", 17));
  put_record(disk, 5, 1, "World");
  put_record(disk, 5, 2, "", 'x');
  put_record(disk, 5, 3, "beyond");
  put_entry(disk, 12, 0, "DUMP", "BIN", 0, 0, 3, {9});
  put_record(disk, 9, 0, std::string("\x1F ~\x7F\x80\xFF") + "ABCDEFGHIJ", 'a');
  put_record(disk, 9, 1, "\x1A", 'b');
  put_record(disk, 9, 2, "", 'c');
  std::string dump = "000000  1F 20 7E 7F 80 FF 41 42 43 44 45 46 47 48 49 4A  . ~...ABCDEFGHIJ\n";
  for (int offset = 16; offset < 384; offset += 16) {
    dump += row(offset, (offset == 128 ? "\x1A" : "") +
                            std::string(16 - (offset == 128), "abc"[offset / 128]));
    if (offset == 0x130) dump += kPrompt;
  }
  const std::vector<std::pair<std::vector<std::string>, std::string>> cases = {
      {{"-t", "A.TXT"},
       heading("A.TXT") + std::string("Hello\r\n\0\x80\xFF", 10) + "World" + std::string(128, 'x')},
      {{"-t", "*.TXT"}, "File name '*.TXT' must be unambiguous!"},
      {{"-t", "none.txt"}, heading("none.txt") + "File 'none.txt' not found"},
      {{"-h", "DUMP.BIN"}, heading("DUMP.BIN", true) + dump},
  };
  for (auto [args, out] : cases) {
    SCOPED_TRACE(args.back());
    args.insert(args.begin(), "t.dsk");
    const CliResult result = run(args);
    EXPECT_EQ(result.out + result.err + std::to_string(result.status), kBanner + out + "\n\n0");
  }
  const CliResult refused = run({"t.dsk", "-t", "A<B.TXT"});
  EXPECT_EQ(refused.out + refused.err,
            kBanner + std::string("Name of this file `A<B.TXT` has incorrect format !!!\n"));
  // A pointer outside the disk: output ends at the last good record, without the closing
  // lines.
  put_entry(disk, 0, 0, "BAD", "TXT", 0, 0, 16, {45, 250, 6});
  put_record(disk, 45, 0, "first unit");
  const CliResult bad = run({"t.dsk", "-t", "BAD.TXT", "-iide"});
  EXPECT_EQ(bad.out,
            kBanner + ("\n" + heading("BAD.TXT")) + "first unit" + std::string(896, '\xE5'));
  EXPECT_EQ(bad.err + std::to_string(bad.status),
            "Corrupted directory entry `BAD.TXT` (invalid AU number: 250) !!!\nFatal "
            "error !!!\n0");
}

}  // namespace
}  // namespace xev::test
