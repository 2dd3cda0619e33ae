// The command line as a user meets it: refusals with their exact message
// and exit status, in the order the rules are applied.
#include <gtest/gtest.h>

#include <tuple>

#include "support/harness.h"

namespace xev::test {
namespace {

TEST(Options, RefusalsInTheirOrder) {
  Folder folder;
  folder.write("xev.ini", kEightInch);
  const std::string rule = "Bad combination of options: not allowed ", n256(256, 'n');
  const std::tuple<std::vector<std::string>, int, std::string> refusals[] = {
      {{"g.dsk", "-C"}, 95, "Unknown option: `-C`"},
      {{"g.dsk", "-c", "-x", "A.TXT"}, 95, "Unknown option: `A.TXT`"},
      {{"g.dsk", "-sa", "A.TXT"}, 96, "Missing option value(s) `-sa`!"},
      {{"g.dsk", "-su", "x/A.TXT", "99"}, 24, "Path not allowed for option `-su`"},
      {{"g.dsk", "-c", "d/X"}, 24, "Path not allowed for option `-c`"},
      {{"g.dsk", "-e", "sub/A.TXT"}, 24, "Path not allowed for option `-e`"},
      {{"g.dsk", "-f", "-q", "-u", "32"}, 97, "Bad value `32` for option `-u`"},
      {{"g.dsk", "-u", "-1", "-c"}, 97, "Bad value `-1` for option `-u`"},
      {{"g.dsk", "-u", "0x", "-c"}, 97, "Bad value `0x` for option `-u`"},
      {{"g.dsk", "-su", "A", "32"}, 97, "Bad value `32` for option `-su`"},
      {{"g.dsk", "-cp", "0", "-c"}, 97, "Bad value `0` for option `-cp`"},
      {{"g.dsk", "-sa", "A", "rs"}, 97, "Bad value `rs` for option `-sa`"},
      {{"g.dsk", "-sa", "A", "R"}, 97, "Bad value `R` for option `-sa`"},
      {{"g.dsk", "-lbl", "123456789012"},
       97,
       "Bad value `123456789012` for option `-lbl`"},
      {{"g.dsk", "-f", "-q", "-cp", "1"}, 94, "Bad combination of options: -f -q"},
      {{"g.dsk", "-cp", "2", "-x", "A"}, 94, rule + "-cp"},
      {{"g.dsk", "-c1", "-x", "A"}, 94, rule + "-c1"},
      {{"g.dsk", "-cu", "-x", "A"}, 94, rule + "-cu"},
      {{"g.dsk", "-ow", "-afn", "X", "-x", "A"}, 94, rule + "-ow"},
      {{"g.dsk", "-afn", "X", "-x", "A"}, 94, rule + "-afn"},
      {{"g.dsk", "-u", "3", "-w", "S"}, 94, rule + "-u"},
      {{"g.dsk", "-u", "3", "-f", "-a", "X"}, 94, rule + "-u"},
      {{"g.dsk", "-iide", "-s", "S"}, 94, rule + "-iide"},
      {{"g.dsk", "-lbl", "X", "-iti", "-tns"}, 94, rule + "-tns"},
      {{"g.dsk", "-tns", "-t", "A"}, 94, rule + "-tns"},
      {{"g.dsk", "-tns", "-h", "A"}, 94, rule + "-tns"},
      {{"g.dsk", "-tns", "-sa", "A", "RS"}, 94, rule + "-tns"},
      {{"g.dsk", "-tns", "-su", "A", "1"}, 94, rule + "-tns"},
      {{"g.dsk", "-lbl", "X", "-q"}, 94, rule + "-lbl"},
      {{"g.dsk", "-lbl", "X", "-tns", "-c"}, 94, rule + "-lbl"},
      {{"g.dsk", "-a", "X", "-x", "Y", "-q"}, 94, "Bad combination of options: -a -x  "},
      {{"g.dsk", "-q", "-c"}, 94, rule + "-f/-q"},
      {{"g.dsk", "-afn", "X", "-a", "s/A?"}, 97, "Bad value `A?` for option `-a`"},
      {{"g.dsk", "-c", n256}, 97, "Bad value `" + n256 + "` for option `-c`"},
  };
  for (const auto& [args, status, message] : refusals) {
    const Result run = xev(folder, args);
    EXPECT_EQ(run.out + run.err + std::to_string(run.status),
              "\n" + message + " !!!\n" + std::to_string(status));
  }
  EXPECT_FALSE(folder.exists("g.dsk"));
}

}  // namespace
}  // namespace xev::test
