// What scripts meet around the commands: --help and --version, -nb, the
// refusals of -cj and -txt, and -txt itself (the black-box script reads -cj
// with Python and holds -txt against cpmcp).
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <tuple>

#include "support/harness.h"

namespace xev::test {
namespace {

TEST(Scripting, QueriesBannerAndTextMode) {
  Folder folder;
  folder.write("xev.ini", kEightInch);
  // Without a command: the usage text of 52 lines, with a pause that goes on
  // at once, standard input being no console.
  const std::string usage = xev(folder, {}).out;
  const std::size_t pause = usage.find("\nPress ENTER ...\n");
  EXPECT_EQ(std::count(usage.begin(), usage.end(), '\n'), 52);
  const std::string refused = "Bad combination of options: not allowed ",
                    b = kBanner + "\n|";
  // Standard output, standard error and the status, each after a '|'.
  const std::pair<std::vector<std::string>, std::string> cases[] = {
      {{"--help"}, usage.substr(0, pause) + "\n" + usage.substr(pause + 17) + "||0"},
      {{"--version"}, "XEV CP/M Disk Image Manager v2.4 (c) 2026 The xev Authors\n||0"},
      {{"--help", "-c"}, b + "Extension of the Image name `--help` missing !!!\n|16"},
      {{"g.dsk", "-nb", "-u", "31", "-iide", "-tns"}, usage + "||0"},  // no command
      {{"g.dsk", "-nb", "-C"}, "\n|Unknown option: `-C` !!!\n|95"},
      {{"g.dsk", "-cj", "-c1", "-c"}, "\n|" + refused + "-cj !!!\n|94"},
      {{"g.dsk", "-cd", "-cj", "-c"}, "\n|" + refused + "-cj !!!\n|94"},
      {{"g.dsk", "-txt", "-c"}, b + refused + "-txt !!!\n|94"},
  };
  for (const auto& [args, expected] : cases) {
    const Result run = xev(folder, args, false);
    EXPECT_EQ(run.out + "|" + run.err + "|" + std::to_string(run.status), expected);
  }

  // -txt: CR LF lines ended by Ctrl-Z on the disk, host lines on the host. The
  // host file, added as text or not; its records on the disk; what -txt
  // extracts and shows.
  std::filesystem::create_directory(folder.path("raw"));
  const std::string x126(126, 'x'), end(128, '\x1A');
  const std::tuple<std::string, bool, std::string, std::string> texts[] = {
      {"a\nb\r\n\nz", true, "a\r\nb\r\n\r\nz" + end.substr(9), "a\nb\n\nz"},
      // A text of whole records gets a record of Ctrl-Z; CR LF across records.
      {x126 + "\n", true, x126 + "\r\n" + end, x126 + "\n"},
      {x126 + "x\n", true, x126 + "x\r\n" + end.substr(1), x126 + "x\n"},
      // A lone CR stays; the first Ctrl-Z ends the text, also after a last CR.
      {"a\rb\032c\n", false, "a\rb\032c\n" + std::string(122, '\xE5'), "a\rb"},
      {x126 + "x\r", false, x126 + "x\r", x126 + "x\r"},
  };
  for (const auto& [host, as_text, stored, back] : texts) {
    folder.write("t.txt", host);
    xev(folder, {"g.dsk", "-a", "t.txt", "-ow", as_text ? "-txt" : "-ow"});
    xev(folder, {"g.dsk", "-x", "raw/T.TXT"});
    xev(folder, {"g.dsk", "-x", "T.TXT", "-txt"});
    EXPECT_EQ(folder.read("raw/T.TXT") + "|" + folder.read("T.TXT") + "|" +
                  xev(folder, {"g.dsk", "-nb", "-t", "T.TXT", "-txt"}, false).out,
              stored + "|" + back + "|" + back);
  }
  // The limit and the room hold for the file as stored: 4 MiB of empty lines
  // take 8 MiB, 130,000 more than the disk's 240 KiB.
  folder.write("big.txt", std::string(4194368, '\n'));
  folder.write("full.txt", std::string(130000, '\n'));
  EXPECT_EQ(xev(folder, {"g.dsk", "-a", "big.txt", "-txt"}).err,
            "File `big.txt` is too long (8388864 bytes). Max length is 8MB. !!!\n");
  EXPECT_EQ(xev(folder, {"g.dsk", "-a", "full.txt", "-txt"}).err, "Disk full !!!\n");
  // -cj names the type the run uses; no line tells of detection.
  folder.write("g.img", folder.read("g.dsk"));
  for (const auto& [args, type] : {std::pair<std::vector<std::string>, std::string>{
           {"g.img", "-cj", "-c"}, "dsk"}, {{"g.img", "-it", "DSK", "-cj", "-c"}, "DSK"}}) {
    const std::string out = xev(folder, args, false).out;
    EXPECT_EQ(out.substr(0, 37), "{\n  \"image\": \"g.img\",\n  \"type\": \"" + type + "\"");
  }
}

}  // namespace
}  // namespace xev::test
