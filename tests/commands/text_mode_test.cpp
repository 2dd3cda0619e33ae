// -txt: CR LF lines ended by Ctrl-Z on the disk, host lines on the host
// (the black-box script checks that cpmcp -t agrees).
#include <gtest/gtest.h>

#include <filesystem>

#include "support/harness.h"

namespace xev::test {
namespace {

TEST(TextMode, LineEndsAndCtrlZOnBothSides) {
  Folder folder;
  folder.write("xev.ini", kEightInch);
  std::filesystem::create_directory(folder.path("raw"));
  const std::string x126(126, 'x'), end(128, '\x1A');
  const struct {
    std::string host;
    bool add_as_text;
    std::string stored, back;  // the file's records on the disk; extracted and shown
  } cases[] = {
      {"one\ntwo\r\n\nlast", true, "one\r\ntwo\r\n\r\nlast" + end.substr(16), "one\ntwo\n\nlast"},
      // A text of whole records gets a record of Ctrl-Z; CR LF across records.
      {x126 + "\n", true, x126 + "\r\n" + end, x126 + "\n"},
      {x126 + "x\n", true, x126 + "x\r\n" + end.substr(1), x126 + "x\n"},
      // A lone CR stays; the first Ctrl-Z ends the text, also after a last CR.
      {"a\rb\032c\n", false, "a\rb\032c\n" + std::string(122, '\xE5'), "a\rb"},
      {x126 + "x\r", false, x126 + "x\r", x126 + "x\r"},
  };
  for (const auto& c : cases) {
    folder.write("t.txt", c.host);
    xev(folder, {"g.dsk", "-a", "t.txt", "-ow", c.add_as_text ? "-txt" : "-ow"});
    xev(folder, {"g.dsk", "-x", "raw/T.TXT"});
    xev(folder, {"g.dsk", "-x", "T.TXT", "-txt"});
    EXPECT_EQ(folder.read("raw/T.TXT") + "|" + folder.read("T.TXT"), c.stored + "|" + c.back);
    EXPECT_EQ(xev(folder, {"g.dsk", "-nb", "-t", "T.TXT", "-txt"}, false).out, c.back);
  }
  // The limit and the room hold for the file as stored: 4 MiB of empty lines
  // take 8 MiB, 130,000 more than the disk's 240 KiB.
  folder.write("big.txt", std::string(4194368, '\n'));
  folder.write("full.txt", std::string(130000, '\n'));
  EXPECT_EQ(xev(folder, {"g.dsk", "-a", "big.txt", "-txt"}).err +
                xev(folder, {"g.dsk", "-a", "full.txt", "-txt"}).err,
            "File `big.txt` is too long (8388864 bytes). Max length is 8MB. !!!\n"
            "Disk full !!!\n");
}

}  // namespace
}  // namespace xev::test
