// The command line as a user meets it: refusals with their exact message
// and exit status, in the order the rules are applied.
#include <gtest/gtest.h>

#include "support/harness.h"

namespace xev::test {
namespace {

struct Refusal {
  std::vector<std::string> args;
  int status;
  std::string message;
};

TEST(Options, RefusalsInTheirOrder) {
  Folder folder;
  folder.write("xev.ini", kEightInch);
  const std::string rule = "Bad combination of options: not allowed ";
  const Refusal refusals[] = {
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
      {{"g.dsk", "-lbl", "123456789012"}, 97, "Bad value `123456789012` for option `-lbl`"},
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
      {{"g.dsk", "-c", std::string(256, 'n')}, 97,
       "Bad value `" + std::string(256, 'n') + "` for option `-c`"},
  };
  for (const Refusal& refusal : refusals) {
    const Result run = xev(folder, refusal.args);
    EXPECT_EQ(run.err, refusal.message + " !!!\n") << refusal.args[1];
    EXPECT_EQ(run.out, "\n");
    EXPECT_EQ(run.status, refusal.status) << refusal.args[1];
  }
  EXPECT_FALSE(folder.exists("g.dsk"));
}

// Without a command the usage text is shown (the pause prints its prompt and
// goes on, standard input being no console); some of its 51 lines by number.
TEST(Options, UsageWithoutACommand) {
  Folder folder;
  for (const std::vector<std::string>& args :
       {std::vector<std::string>{}, {"g.dsk"}, {"g.dsk", "-u", "1", "-iide", "-tns"}}) {
    const Result run = xev(folder, args);
    EXPECT_EQ(run.status, 0);
    std::vector<std::string> lines;
    for (std::size_t start = 0, end; (end = run.out.find('\n', start)) != std::string::npos;
         start = end + 1) {
      lines.push_back(run.out.substr(start, end - start));
    }
    ASSERT_EQ(lines.size(), 52u);
    const std::pair<int, std::string> rows[] = {
        {0, "Usage:"},
        {1, "  xev imagefile.ext [ -u usr ] [ -iide ] [ -tns] [ -cp files ] [ -c1 ] [ -cu ] -c "
            "[ cpm_name ]"},
        {4, "  xev imagefile.ext -e cpm_name [ -u usr ] [ -iide ] [ -tns ]"},
        {13, "  xev dummy.ext -iti"},
        {15, "Press ENTER ..."},
        {36, "  -lbl\tset label for TNS-DOS disk; \"TNS-DOS/XEV\" if not used"},
        {50, "  'system_file' is binary file with CP/M system itself"},
        {51, ""},
    };
    for (const auto& [index, text] : rows) EXPECT_EQ(lines[index], text) << index;
  }
  EXPECT_FALSE(folder.exists("g.dsk"));
}

}  // namespace
}  // namespace xev::test
