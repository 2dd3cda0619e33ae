// -sa, -su, -t, -h and the system-track commands.
#include <gtest/gtest.h>

#include "support/harness.h"

namespace xev::test {
namespace {

class Show : public ::testing::Test {
 protected:
  void SetUp() override {
    folder.write("xev.ini",
                 section("t", 16, 1, 0, 99, 31, 2) + section("n", 16, 1, 0, 99, 31) +
                     section("b", 64, 1, 0, 99, 31, 3) +
                     "[o]\nSPT=16\nXLT=0\nBLS=1\nEXM=0\nDSM=99\nDRM=31\nOFFX=3\nOFF=2\n");
    ASSERT_EQ(xev(folder, {"s.t", "-f"}).status, 0);
  }
  // All that xev with the words of `line` as arguments prints: standard output,
  // then errors.
  std::string printed(const std::string& line) {
    const Result result = run(folder, line);
    return result.out + result.err;
  }
  void expect(const std::vector<std::pair<std::string, std::string>>& runs) {
    for (const auto& [line, text] : runs) EXPECT_EQ(printed(line), text) << line;
  }
  Folder folder;
};

TEST_F(Show, AttributesAndUserAreaChangeEveryEntryOfAFile) {
  // Entry i lies behind the two system tracks.
  patch(folder, "s.t", 4096,
        entry(1, "a", "\xC3OM", 0, 0, 0x80, {2}) + entry(2, "X", "\xAE", 0, 0, 1, {3}) +
            entry(1, "a", "\xC3OM", 1, 0, 1, {4}) + entry(1, "A", "COM", 0, 0, 1, {5}));
  expect({
      {"s.t -sa A.COM -S",
       "Setting file attributes to '-S', mask: 'A.COM'\n\n"
       "File attributes for 'A.COM' are set.\n\nDone. Attributes set for 1 file(s).\n\n"},
      {"s.t -sa *.* R- -u 2",
       "Setting file attributes to 'R-', mask: '*.*'\n\n"
       "File attributes for 'X..' are set.\n\nDone. Attributes set for 1 file(s).\n\n"},
      {"s.t -sa a:b RS", "Name of this file `a:b` has incorrect format !!!\n"},
      {"s.t -su a:b 3", "Name of this file `a:b` has incorrect format !!!\n"},
      {"s.t -su ?.COM 0 -u 1",
       "Setting user area to '0', mask: '?.COM'\n\nUser area for 'a.COM' set.\n"
       "User area for 'A.COM' set.\n\nDone. User area set for 2 file(s).\n\n"},
  });
  const std::string now = folder.read("s.t");
  std::string bytes;  // 0, 9, 10 and 11 of each entry
  for (int i = 4096; i < 4224; i += 32) bytes += now[i] + now.substr(i + 9, 3);
  EXPECT_EQ(bytes, std::string("\0\303OM\002\256  \0\303OM\0C\317M", 16));
}

TEST_F(Show, TypeAndHexDumpWalkTheRecordsOfOneFile) {
  std::string text;
  for (int i = 1; i <= 21; ++i) text += "line " + std::to_string(i) + "\n";
  text += "\x1Ahidden";
  text.resize(256, '\x1A');
  text += "tail\x1A" + std::string(123, 'x');
  // Of two entries for one extent of T.TXT, the first counts.
  patch(folder, "s.t", 4096,
        entry(0, "T", "TXT", 0, 0, 3, {2}) + entry(0, "E", "", 0, 0, 0) +
            entry(1, "B", "", 0, 0, 1, {3}) + entry(0, "T", "TXT", 0, 0, 3, {3}));
  patch(folder, "s.t", 4096 + 2048, text);
  patch(folder, "s.t", 4096 + 3072, "\x1F\x20\x7E\x7F\x80\xFF" + std::string(122, 'b'));
  const std::string prompt = " ... Press Enter to continue ...";
  std::string shown = text.substr(0, text.find('\x1A'));
  shown.insert(shown.find("line 21"), prompt);
  const char* b = "62 62 62 62 62 62 62 62 62 62 62 62 62 62 62 62  bbbbbbbbbbbbbbbb\n";
  std::string hex =
      "000000  1F 20 7E 7F 80 FF 62 62 62 62 62 62 62 62 62 62  . ~...bbbbbbbbbb\n";
  for (int row = 1; row < 8; ++row) hex += "0000" + std::to_string(row) + "0  " + b;
  expect({
      {"s.t -t t.txt", "Content of the file 't.txt' from 's.t'\n\n" + shown + "tail\n\n"},
      {"s.t -t E", "Content of the file 'E' from 's.t'\n\n\n\n"},
      {"s.t -t a:b", "Name of this file `a:b` has incorrect format !!!\n"},
      {"s.t -h *.TXT", "File name '*.TXT' must be unambiguous!\n\n"},
      {"s.t -h B -u 1", "Hex Dump of the file 'B' from 's.t'\n\n" + hex + "\n\n"},
      {"s.t -h B -u 0", "Hex Dump of the file 'B' from 's.t'\n\nFile 'B' not found\n\n"},
  });
  // Three records are 24 rows: the pause after the twentieth.
  const std::string dump = printed("s.t -h T.TXT");
  EXPECT_NE(dump.find("\n" + prompt + "000140  "), std::string::npos);
  EXPECT_NE(dump.find("\n000100  74 61 69 6C 1A 78"), std::string::npos);
}

TEST_F(Show, SystemTracksMoveAsOneBlock) {
  const std::string system = noise(4096, 3), before = folder.read("s.t");
  folder.write("sys.bin", system);
  folder.write("big", system + "!");
  folder.write("part.bin", "boot");
  folder.write("short.t", "");
  folder.write("copy.t", before);
  ASSERT_EQ(xev(folder, {"n.n", "-f"}).status + xev(folder, {"o.o", "-f"}).status, 0);
  ASSERT_EQ(xev(folder, {"b.b", "-f"}).status, 0);  // 24 KiB of system tracks
  expect({
      {"s.t -w big", "System file `big` is too long. Max. length is 4096 bytes !!!\n"},
      {"s.t -w sys.bin", "\nDone. System written.\n\n"},
      {"s.t -w part.bin", "\nDone. System written.\n\n"},
      {"s.t -s ./out.bin", "\nDone. System extracted.\n\n"},
      {"s.t -i copy.t", "\nDone. System copied.\n\n"},
      {"s.t -w gone.bin", "Can't open file `gone.bin` !!!\n"},
      {"s.t -i gone.t", "Can't open file `gone.t` !!!\n"},
      {"s.t -i n.T", "Image `n.T` is of different type as main image `s.t` !!!\n"},
      {"s.t -i short.t", "Error on read from the file `short.t` !!!\n"},
      {"n.n -s x.bin", "Image `n.n` does not contain system track !!!\n"},
      {"o.o -w big", "System file `big` is too long. Max. length is 384 bytes !!!\n"},
      {"s.t -s s.t", "File `s.t` already exist !!!\n"},
      {"b.b -s b.bin", "\nDone. System extracted.\n\n"},
  });
  EXPECT_EQ(folder.read("b.bin").size(), 24576u);
  EXPECT_EQ(folder.read("out.bin"), "boot" + system.substr(4));
  EXPECT_EQ(folder.read("s.t"), before);
}

}  // namespace
}  // namespace xev::test
