// -t and -h on images whose directory and data records are laid out here.
#include <gtest/gtest.h>

#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

#include "support/sandbox.h"

namespace xev::test {
namespace {

const char* const kIni =
    "[dsk]\nSPT=26\nXLT=0\nBLS=1\nEXM=0\nDSM=242\nDRM=63\nOFF=2\n"
    // More than 256 units: two-byte pointers, 2 KiB units.
    "[wdk]\nSPT=26\nXLT=0\nBLS=2\nEXM=0\nDSM=299\nDRM=63\nOFF=2\n";
constexpr int kSystemSize = 6656;
const char* const kPrompt = " ... Press Enter to continue ...";

struct Geometry {
  int image_size;
  int records_per_au;
  bool wide;
};
constexpr Geometry kNarrow{256256, 8, false};
constexpr Geometry kWide{622336, 16, true};

struct Entry {
  std::uint8_t user;
  const char* name;  // 11 characters
  std::uint8_t ex;
  std::uint8_t rc;
  std::vector<int> units;
};

// With the identity skew, record r of unit a lies at
// kSystemSize + (a * records_per_au + r) * 128.
class Disk {
 public:
  explicit Disk(Geometry geometry = kNarrow)
      : geometry_(geometry), bytes_(static_cast<std::size_t>(geometry.image_size), '\xE5') {}

  Disk& put(int index, const Entry& e) {
    std::string raw(32, '\0');
    raw[0] = static_cast<char>(e.user);
    raw.replace(1, 11, e.name);
    raw[12] = static_cast<char>(e.ex);
    raw[15] = static_cast<char>(e.rc);
    for (std::size_t i = 0; i < e.units.size(); ++i) {
      if (geometry_.wide) {
        raw[16 + 2 * i] = static_cast<char>(e.units[i] & 0xFF);
        raw[17 + 2 * i] = static_cast<char>(e.units[i] >> 8);
      } else {
        raw[16 + i] = static_cast<char>(e.units[i]);
      }
    }
    bytes_.replace(static_cast<std::size_t>(kSystemSize + 32 * index), 32, raw);
    return *this;
  }
  // Writes `data` into record `record` of unit `au`, the rest of the record
  // filled with `fill`.
  Disk& record(int au, int record, const std::string& data, char fill = '\x1A') {
    std::string raw = data;
    raw.resize(128, fill);
    const int offset = kSystemSize + (au * geometry_.records_per_au + record) * 128;
    bytes_.replace(static_cast<std::size_t>(offset), 128, raw);
    return *this;
  }
  const std::string& bytes() const { return bytes_; }

 private:
  Geometry geometry_;
  std::string bytes_;
};

class TypeDumpTest : public ::testing::Test {
 protected:
  void SetUp() override { box.write_ini(kIni); }
  CliResult run(const Disk& disk, const std::vector<std::string>& args,
                const std::string& image = "t.dsk") {
    box.write_file(image, disk.bytes());
    std::vector<std::string> full{image};
    full.insert(full.end(), args.begin(), args.end());
    const CliResult result = box.run(full);
    EXPECT_EQ(box.read_file(image), disk.bytes()) << "the image must not change";
    return result;
  }
  Sandbox box;
};

std::string type_heading(const std::string& name) {
  return std::string(kBanner) + "Content of the file '" + name + "' from 't.dsk'\n\n";
}

std::string dump_heading(const std::string& name) {
  return std::string(kBanner) + "Hex Dump of the file '" + name + "' from 't.dsk'\n\n";
}

TEST_F(TypeDumpTest, TypeWritesBytesUnchangedAndCtrlZEndsOnlyItsRecord) {
  Disk disk;
  disk.put(0, {0, "A       TXT", 0, 3, {5}})
      .record(5, 0, std::string("Hello\r\n\0\x80\xFF\x1Ahidden", 17))
      .record(5, 1, "World")
      .record(5, 2, "", 'x')             // a whole record without Ctrl-Z
      .record(5, 3, "beyond the count");  // allocated, but past the record count
  const CliResult result = run(disk, {"-t", "A.TXT"});
  EXPECT_EQ(result.err, "");
  EXPECT_EQ(result.status, 0);
  EXPECT_EQ(result.out, type_heading("A.TXT") + std::string("Hello\r\n\0\x80\xFF", 10) +
                            "World" + std::string(128, 'x') + "\n\n");
}

TEST_F(TypeDumpTest, PlainMessagesForAmbiguousMissingAndEmptyFiles) {
  Disk disk;
  disk.put(0, {0, "EMPTY   TXT", 0, 0, {}});
  struct Case {
    std::vector<std::string> args;
    std::string out;
  };
  const Case cases[] = {
      {{"-t", "*.TXT"}, std::string(kBanner) + "File name '*.TXT' must be unambiguous!\n\n"},
      {{"-h", "EMPTY.T?T"},
       std::string(kBanner) + "File name 'EMPTY.T?T' must be unambiguous!\n\n"},
      {{"-t", "none.txt"}, type_heading("none.txt") + "File 'none.txt' not found\n\n"},
      {{"-h", "NONE"}, dump_heading("NONE") + "File 'NONE' not found\n\n"},
      {{"-t", "empty.txt"}, type_heading("empty.txt") + "\n\n"},
      {{"-h", "EMPTY.TXT"}, dump_heading("EMPTY.TXT") + "\n\n"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.args[1]);
    const CliResult result = run(disk, c.args);
    EXPECT_EQ(result.out, c.out);
    EXPECT_EQ(result.err, "");
    EXPECT_EQ(result.status, 0);
  }
}

TEST_F(TypeDumpTest, RefusedNameIsAnError) {
  const CliResult result = run(Disk(), {"-t", "A<B.TXT"});
  EXPECT_EQ(result.out, kBanner);
  EXPECT_EQ(result.err, "Name of this file `A<B.TXT` has incorrect format !!!\n");
  EXPECT_EQ(result.status, 0);
}

// Lines of ten characters, numbered from 1.
std::string lines(int from, int to) {
  std::string text;
  for (int i = from; i <= to; ++i) {
    char line[32];
    std::snprintf(line, sizeof line, "line %03d.\n", i);
    text += line;
  }
  return text;
}

TEST_F(TypeDumpTest, TypePausesAfterEveryTwentiethLineFeedAcrossRecords) {
  struct Case {
    int line_count;
    std::string shown;
  };
  const Case cases[] = {
      {19, lines(1, 19)},
      {20, lines(1, 20) + kPrompt},  // the last line is the twentieth
      {21, lines(1, 20) + kPrompt + lines(21, 21)},
      {41, lines(1, 20) + kPrompt + lines(21, 40) + kPrompt + lines(41, 41)},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.line_count);
    const std::string text = lines(1, c.line_count);
    Disk disk;
    const int records = (static_cast<int>(text.size()) + 127) / 128;
    disk.put(0, {0, "LINES   TXT", 0, static_cast<std::uint8_t>(records), {7}});
    for (int r = 0; r < records; ++r) disk.record(7, r, text.substr(128 * r, 128));
    const CliResult result = run(disk, {"-t", "LINES.TXT"});
    EXPECT_EQ(result.out, type_heading("LINES.TXT") + c.shown + "\n\n");
  }
}

std::string row(int offset, const std::string& bytes) {
  char text[128];
  std::string out;
  std::snprintf(text, sizeof text, "%06X  ", offset);
  out += text;
  for (unsigned char byte : bytes) {
    std::snprintf(text, sizeof text, "%02X ", byte);
    out += text;
  }
  out += ' ';
  for (unsigned char byte : bytes) out += (byte >= 0x20 && byte <= 0x7E) ? char(byte) : '.';
  return out + "\n";
}

TEST_F(TypeDumpTest, HexDumpOfThreeRecordsHasTwentyFourRowsAndOnePause) {
  Disk disk;
  const std::string first_row("\x1F\x20\x7E\x7F\x80\xFF" "ABCDEFGHIJ", 16);
  disk.put(0, {0, "DUMP    BIN", 0, 3, {9}})
      .record(9, 0, first_row, 'a')
      .record(9, 1, "\x1A", 'b')  // a hex dump shows the bytes after Ctrl-Z too
      .record(9, 2, "", 'c')
      .record(9, 3, "", 'd');  // beyond the record count
  const CliResult result = run(disk, {"-h", "DUMP.BIN"});

  std::string expected = dump_heading("DUMP.BIN");
  EXPECT_EQ(row(0, first_row),
            "000000  1F 20 7E 7F 80 FF 41 42 43 44 45 46 47 48 49 4A  . ~...ABCDEFGHIJ\n");
  expected += row(0, first_row);
  for (int offset = 16; offset < 384; offset += 16) {
    const char fill = "abc"[offset / 128];
    std::string bytes(16, fill);
    if (offset == 128) bytes[0] = '\x1A';
    expected += row(offset, bytes);
    if (offset == 0x130) expected += kPrompt;
  }
  expected += "\n\n";
  EXPECT_EQ(result.out, expected);
  EXPECT_NE(result.out.find(std::string(kPrompt) + "000140  "), std::string::npos);
  EXPECT_NE(result.out.find("000170  63 63 "), std::string::npos);
}

// Record k of the file as a recognisable 128-byte text without line feeds.
std::string numbered_record(int k) {
  char head[8];
  std::snprintf(head, sizeof head, "R%03d", k);
  return std::string(head) + std::string(124, '.');
}

TEST_F(TypeDumpTest, WalkFollowsLaterEntriesOfTheSameKeyUpToTheRecordCount) {
  Disk disk;
  std::vector<int> units;
  for (int au = 10; au < 26; ++au) units.push_back(au);
  disk.put(0, {0, "BIG     TXT", 1, 1, {40}})  // of the same file, but before its first entry
      .put(1, {0, "BIG     TXT", 0, 128, units})
      .put(2, {1, "BIG     TXT", 1, 5, {41}})  // another user area: another file
      .put(3, {0, "BIG     TXT", 1, 2, {26, 27}});
  for (int k = 0; k < 136; ++k) disk.record(10 + k / 8, k % 8, numbered_record(k));
  disk.record(40, 0, "NOT THIS").record(41, 0, "NOR THIS");

  std::string shown;
  for (int k = 0; k < 130; ++k) shown += numbered_record(k);
  const CliResult result = run(disk, {"-t", "BIG.TXT", "-u", "0"});
  EXPECT_EQ(result.out, type_heading("BIG.TXT") + shown + "\n\n");
}

TEST_F(TypeDumpTest, OutputEndsWithTheLastAllocatedRecordWhenPointersRunOut) {
  Disk disk;
  disk.put(0, {0, "SHORT   TXT", 0, 12, {6}});
  std::string shown;
  for (int r = 0; r < 8; ++r) {
    disk.record(6, r, numbered_record(r));
    shown += numbered_record(r);
  }
  const CliResult result = run(disk, {"-t", "SHORT.TXT"});
  EXPECT_EQ(result.out, type_heading("SHORT.TXT") + shown + "\n\n");
}

TEST_F(TypeDumpTest, FirstMatchInDirectoryOrderUnlessAUserAreaIsGiven) {
  Disk disk;
  disk.put(0, {0, "X       Y  ", 0, 0, {}})
      .put(1, {5, "SAME    TXT", 0, 1, {5}})
      .put(2, {2, "SAME    TXT", 0, 1, {6}})
      .record(5, 0, "user five")
      .record(6, 0, "user two");
  EXPECT_EQ(run(disk, {"-t", "SAME.TXT"}).out, type_heading("SAME.TXT") + "user five\n\n");
  EXPECT_EQ(run(disk, {"-u", "2", "-t", "SAME.TXT"}).out,
            type_heading("SAME.TXT") + "user two\n\n");
  EXPECT_EQ(run(disk, {"-u", "3", "-t", "SAME.TXT"}).out,
            type_heading("SAME.TXT") + "File 'SAME.TXT' not found\n\n");
}

TEST_F(TypeDumpTest, TwoBytePointersAddressUnitsAbove255) {
  Disk disk(kWide);
  disk.put(0, {0, "FAR     TXT", 0, 17, {260, 3}})
      .record(260, 0, "far ")
      .record(260, 15, "end of unit ")
      .record(3, 0, "near");
  const CliResult result = run(disk, {"-t", "FAR.TXT"}, "t.wdk");
  EXPECT_EQ(result.out, std::string(kBanner) + "Content of the file 'FAR.TXT' from 't.wdk'\n\n" +
                            "far " + std::string(14 * 128, '\xE5') + "end of unit near\n\n");
}

TEST_F(TypeDumpTest, PointerOutsideTheDiskStopsWithFatalErrorAndNoClosingLines) {
  Disk disk;
  disk.put(0, {0, "BAD     TXT", 0, 16, {5, 250, 6}}).record(5, 0, "first unit");
  const std::string load_report =
      "Corrupted directory entry `BAD.TXT` (invalid AU number: 250) !!!\n";

  CliResult result = run(disk, {"-t", "BAD.TXT", "-iide"});
  EXPECT_EQ(result.err, load_report + "Fatal error !!!\n");
  EXPECT_EQ(result.status, 0);
  // The load ends its report with an empty line before the heading.
  const std::string banner = kBanner;
  EXPECT_EQ(result.out, banner + "\n" + type_heading("BAD.TXT").substr(banner.size()) +
                            "first unit" + std::string(7 * 128, '\xE5'));

  result = run(disk, {"-h", "BAD.TXT", "-iide"});
  EXPECT_EQ(result.err, load_report + "Fatal error !!!\n");
  const std::string last_row = row(0x3F0, std::string(16, '\xE5'));
  ASSERT_GE(result.out.size(), last_row.size());
  EXPECT_EQ(result.out.substr(result.out.size() - last_row.size()), last_row);
}

}  // namespace
}  // namespace xev::test
