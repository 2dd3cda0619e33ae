// -sa, -su, -t, -h and the system-track commands.
#include <gtest/gtest.h>

#include "support/harness.h"

namespace xev::test {
namespace {

class Show : public ::testing::Test {
 protected:
  void SetUp() override {
    folder.write("xev.ini", section("t", 16, 1, 0, 99, 31, 2) + section("n", 16, 1, 0, 99, 31) +
                                "[o]\nSPT=16\nXLT=0\nBLS=1\nEXM=0\nDSM=99\nDRM=31\nOFFX=3\nOFF=2\n");
    ASSERT_EQ(xev(folder, {"s.t", "-f"}).status, 0);
  }
  // Entry i lies behind the two system tracks.
  void put(const std::string& entries) { patch(folder, "s.t", 4096, entries); }
  std::string entries(int count) { return folder.read("s.t").substr(4096, 32 * count); }
  Folder folder;
};

TEST_F(Show, AttributesAndUserAreaChangeEveryEntryOfAFile) {
  put(entry(1, "a", "\xC3OM", 0, 0, 0x80, {2}) + entry(2, "X", "\xAE", 0, 0, 1, {3}) +
      entry(1, "a", "\xC3OM", 1, 0, 1, {4}) + entry(1, "A", "COM", 0, 0, 1, {5}));
  const struct {
    std::vector<std::string> args;
    std::string out;
    std::string bytes;  // bytes 0, 9, 10 and 11 of each entry
  } rows[] = {
      {{"-sa", "A.COM", "-S"},
       "Setting file attributes to '-S', mask: 'A.COM'\n\nFile attributes for 'A.COM' are "
       "set.\n\nDone. Attributes set for 1 file(s).\n\n",
       "\x01\xC3OM" "\x02\xAE  " "\x01\xC3OM" "\x01" "C\xCFM"},
      {{"-sa", "*.*", "R-", "-u", "2"},
       "Setting file attributes to 'R-', mask: '*.*'\n\nFile attributes for 'X..' are set.\n"
       "\nDone. Attributes set for 1 file(s).\n\n",
       "\x01\xC3OM" "\x02\xAE  " "\x01\xC3OM" "\x01" "C\xCFM"},
      {{"-su", "?.COM", "7", "-u", "1"},
       "Setting user area to '7', mask: '?.COM'\n\nUser area for 'a.COM' set.\n"
       "User area for 'A.COM' set.\n\nDone. User area set for 2 file(s).\n\n",
       "\x07\xC3OM" "\x02\xAE  " "\x07\xC3OM" "\x07" "C\xCFM"},
      {{"-su", "NONE", "3"},
       "Setting user area to '3', mask: 'NONE'\n\n\nDone. User area set for 0 file(s).\n\n",
       "\x07\xC3OM" "\x02\xAE  " "\x07\xC3OM" "\x07" "C\xCFM"},
  };
  for (const auto& row : rows) {
    std::vector<std::string> args{"s.t"};
    args.insert(args.end(), row.args.begin(), row.args.end());
    const Result run = xev(folder, args);
    EXPECT_EQ(run.out, row.out);
    std::string bytes;
    const std::string now = entries(4);
    for (int i = 0; i < 4; ++i) bytes += now.substr(32 * i, 1) + now.substr(32 * i + 9, 3);
    EXPECT_EQ(bytes, row.bytes) << row.args[1];
  }
}

TEST_F(Show, TypeAndHexDumpWalkTheRecordsOfOneFile) {
  std::string text;
  for (int i = 1; i <= 21; ++i) text += "line " + std::to_string(i) + "\n";
  text += "\x1Ahidden";
  text.resize(256, '\x1A');
  text += "tail\x1A" + std::string(123, 'x');
  put(entry(0, "T", "TXT", 0, 0, 3, {2}) + entry(0, "E", "", 0, 0, 0) +
      entry(1, "B", "", 0, 0, 1, {3}));
  patch(folder, "s.t", 4096 + 2048, text);
  patch(folder, "s.t", 4096 + 3072,
        std::string("\x1F\x20\x7E\x7F\x80\xFF", 6) + std::string(122, 'b'));
  const std::string prompt = " ... Press Enter to continue ...";
  std::string shown = text.substr(0, text.find('\x1A'));
  shown.insert(shown.find("line 21"), prompt);
  const struct {
    std::vector<std::string> args;
    std::string out;
  } rows[] = {
      {{"-t", "t.txt"}, "Content of the file 't.txt' from 's.t'\n\n" + shown + "tail\n\n"},
      {{"-t", "E"}, "Content of the file 'E' from 's.t'\n\n\n\n"},
      {{"-t", "Q"}, "Content of the file 'Q' from 's.t'\n\nFile 'Q' not found\n\n"},
      {{"-h", "*.TXT"}, "File name '*.TXT' must be unambiguous!\n\n"},
      {{"-h", "B", "-u", "1"},
       "Hex Dump of the file 'B' from 's.t'\n\n"
       "000000  1F 20 7E 7F 80 FF 62 62 62 62 62 62 62 62 62 62  . ~...bbbbbbbbbb\n" +
           [] {
             std::string rows;
             for (int offset = 16; offset < 128; offset += 16) {
               char row[24];
               std::snprintf(row, sizeof row, "%06X  ", offset);
               rows += row;
               for (int i = 0; i < 16; ++i) rows += "62 ";
               rows += " " + std::string(16, 'b') + "\n";
             }
             return rows;
           }() + "\n\n"},
      {{"-h", "B", "-u", "0"}, "Hex Dump of the file 'B' from 's.t'\n\nFile 'B' not found\n\n"},
  };
  for (const auto& row : rows) {
    std::vector<std::string> args{"s.t"};
    args.insert(args.end(), row.args.begin(), row.args.end());
    EXPECT_EQ(xev(folder, args).out, row.out) << row.args[1];
  }
  // Three records are 24 rows: the pause after the twentieth.
  const std::string dump = xev(folder, {"s.t", "-h", "T.TXT"}).out;
  EXPECT_NE(dump.find("\n" + prompt + "000140  "), std::string::npos);
  EXPECT_NE(dump.find("\n000100  74 61 69 6C 1A 78"), std::string::npos);
  EXPECT_EQ(xev(folder, {"s.t", "-t", "a:b"}).err, "Name of this file `a:b` has incorrect format !!!\n");
}

TEST_F(Show, SystemTracksMoveAsOneBlock) {
  const std::string system = noise(4096, 3);
  folder.write("sys.bin", system);
  folder.write("big.bin", system + "!");
  folder.write("part.bin", "boot");
  ASSERT_EQ(xev(folder, {"n.n", "-f"}).status, 0);
  ASSERT_EQ(xev(folder, {"o.o", "-f"}).status, 0);
  folder.write("short.t", system.substr(0, 1000));
  const std::string before = folder.read("s.t");
  const struct {
    std::vector<std::string> args;
    std::string out, err;
  } rows[] = {
      {{"s.t", "-w", "big.bin"}, "", "System file `big.bin` is too long. Max. length is 4096 bytes"},
      {{"s.t", "-w", "sys.bin"}, "\nDone. System written.\n\n", ""},
      {{"s.t", "-s", "./out.bin"}, "\nDone. System extracted.\n\n", ""},
      {{"s.t", "-w", "part.bin"}, "\nDone. System written.\n\n", ""},
      {{"s.t", "-w", "gone.bin"}, "", "Can't open file `gone.bin`"},
      {{"s.t", "-i", "n.T"}, "", "Image `n.T` is of different type as main image `s.t`"},
      {{"s.t", "-i", "noext"}, "", "Image `noext` is of different type as main image `s.t`"},
      {{"s.t", "-i", "short.t"}, "", "Error on read from the file `short.t`"},
      {{"n.n", "-s", "x.bin"}, "", "Image `n.n` does not contain system track"},
      {{"o.o", "-w", "big.bin"}, "", "System file `big.bin` is too long. Max. length is 384 bytes"},
      {{"s.t", "-s", "s.t"}, "", "File `s.t` already exist"},
  };
  for (const auto& row : rows) {
    const Result run = xev(folder, row.args);
    EXPECT_EQ(run.out, row.out) << row.args[2];
    EXPECT_EQ(run.err, row.err.empty() ? "" : row.err + " !!!\n") << row.args[2];
  }
  EXPECT_EQ(folder.read("out.bin"), system);
  std::string expected = before;
  expected.replace(0, 4096, "boot" + system.substr(4));
  EXPECT_EQ(folder.read("s.t"), expected);
  folder.write("copy.t", before);
  EXPECT_EQ(xev(folder, {"s.t", "-i", "copy.t"}).out, "\nDone. System copied.\n\n");
  EXPECT_EQ(folder.read("s.t"), before);
}

}  // namespace
}  // namespace xev::test
