// The catalogue as a user sees it: images are formatted by xev, then their
// directory entries are patched in the file, and the listing is compared
// byte for byte.
#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <utility>
#include <vector>

#include "support/pty.h"
#include "support/sandbox.h"

namespace xev::test {
namespace {

// Identity skew, so that directory entry i lies at kDirOffset + 32 * i.
// dsk: 243 units of 1 KiB, 2 of them the directory; ds2: 243 units of 2 KiB,
// 1 of them the directory. Both have 64 entries.
constexpr const char* kIni =
    "[dsk]\nSPT=26\nXLT=0\nBLS=1\nEXM=0\nDSM=242\nDRM=63\nOFF=2\n"
    "[ds2]\nSPT=26\nXLT=0\nBLS=2\nEXM=1\nDSM=242\nDRM=63\nOFF=2\n";
constexpr std::size_t kDirOffset = 6656;

constexpr const char* kHeading1 =
    "\n U Name          RECS  SIZE  RS\n"
    "-------------------------------\n";
constexpr const char* kHeading2 =
    "\n U Name          RECS  SIZE  RS\t U Name          RECS  SIZE  RS\n"
    "-------------------------------\t-------------------------------\n";

// A directory entry in use; `name` and `type` are blank-padded.
std::string file_entry(int user, std::string name, std::string type, int rc,
                       std::vector<int> units = {}, int ex = 0, int s2 = 0) {
  name.resize(8, ' ');
  type.resize(3, ' ');
  std::string entry(32, '\0');
  entry[0] = static_cast<char>(user);
  entry.replace(1, 8, name);
  entry.replace(9, 3, type);
  entry[12] = static_cast<char>(ex);
  entry[14] = static_cast<char>(s2);
  entry[15] = static_cast<char>(rc);
  for (std::size_t i = 0; i < units.size(); ++i) entry[16 + i] = static_cast<char>(units[i]);
  return entry;
}

std::string with_high_bits(std::string entry, std::initializer_list<int> bytes) {
  for (int at : bytes) entry[static_cast<std::size_t>(at)] |= '\x80';
  return entry;
}

// A free entry carrying a TNS-DOS marker in byte 15.
std::string tns_entry(const std::string& label, std::uint8_t mark) {
  std::string entry(32, '\0');
  entry[0] = '\xE5';
  std::string text = label;
  text.resize(11, ' ');
  entry.replace(1, 11, text);
  entry[15] = static_cast<char>(mark);
  return entry;
}

// An image formatted by xev whose directory the test then patches.
class Disk {
 public:
  Disk(const Sandbox& box, std::string name) : box_(box), name_(std::move(name)) {
    const CliResult made = box_.run({name_, "-f"});
    EXPECT_EQ(made.status, 0) << made.err;
    bytes_ = box_.read_file(name_);
  }
  Disk& put(int index, const std::string& entry) {
    bytes_.replace(kDirOffset + 32 * static_cast<std::size_t>(index), 32, entry);
    return *this;
  }
  void save() const { box_.write_file(name_, bytes_); }

 private:
  const Sandbox& box_;
  std::string name_;
  std::string bytes_;
};

std::string heading(const std::string& image, const std::string& mask) {
  return std::string(kBanner) + "Catalogue of '" + image + "', mask: '" + mask + "'\n";
}

class CatalogueTest : public ::testing::Test {
 protected:
  void SetUp() override { box.write_ini(kIni); }

  // Four files in user area 0, deliberately out of name order.
  void save_four_files() {
    Disk(box, "t.dsk")
        .put(0, file_entry(0, "ZED", "TXT", 3, {2}))
        .put(1, file_entry(0, "A", "COM", 1, {3}))
        .put(2, file_entry(0, "A", "", 0))
        .put(3, file_entry(0, "AB", "COM", 9, {4, 5}))
        .save();
  }

  Sandbox box;
};

TEST_F(CatalogueTest, SortsByNameInTwoColumns) {
  save_four_files();
  const CliResult result = box.run({"t.dsk", "-c"});
  EXPECT_EQ(result.err, "");
  EXPECT_EQ(result.status, 0);
  EXPECT_EQ(result.out, heading("t.dsk", "*.*") + kHeading2 +
                            " 0 A                0    0K  --\t 0 A.COM            1    1K  --\n"
                            " 0 AB.COM           9    2K  --\t 0 ZED.TXT          3    1K  --\n"
                            "\n"
                            "4K in 4 file(s), 237K free\n"
                            "60 directory entries free\n\n");
}

TEST_F(CatalogueTest, KeepsDirectoryOrderWhenUnsorted) {
  save_four_files();
  const CliResult result = box.run({"t.dsk", "-cu", "-c1", "-c"});
  EXPECT_EQ(result.out, heading("t.dsk", "*.*") + kHeading1 +
                            " 0 ZED.TXT          3    1K  --\n"
                            " 0 A.COM            1    1K  --\n"
                            " 0 A                0    0K  --\n"
                            " 0 AB.COM           9    2K  --\n"
                            "\n"
                            "4K in 4 file(s), 237K free\n"
                            "60 directory entries free\n\n");
}

// An odd count: one column still has exactly one empty line before the
// totals; two columns end the half line after its "\t".
TEST_F(CatalogueTest, OddCountInOneAndTwoColumns) {
  save_four_files();
  const std::string rows1 =
      " 0 A                0    0K  --\n"
      " 0 A.COM            1    1K  --\n"
      " 0 AB.COM           9    2K  --\n";
  const std::string totals =
      "\n"
      "3K in 3 file(s), 237K free\n"
      "60 directory entries free\n\n";
  const CliResult one = box.run({"t.dsk", "-c1", "-c", "A*.*"});
  EXPECT_EQ(one.out, heading("t.dsk", "A*.*") + kHeading1 + rows1 + totals);

  const CliResult two = box.run({"t.dsk", "-c", "A*.*"});
  EXPECT_EQ(two.out, heading("t.dsk", "A*.*") + kHeading2 +
                         " 0 A                0    0K  --\t 0 A.COM            1    1K  --\n"
                         " 0 AB.COM           9    2K  --\t\n" +
                         totals);
}

TEST_F(CatalogueTest, MaskSelectsFilesAndNoMatchIsNotAFailure) {
  save_four_files();
  const CliResult lower = box.run({"t.dsk", "-c1", "-c", "a*.com"});
  EXPECT_EQ(lower.out, heading("t.dsk", "a*.com") + kHeading1 +
                           " 0 A.COM            1    1K  --\n"
                           " 0 AB.COM           9    2K  --\n"
                           "\n"
                           "3K in 2 file(s), 237K free\n"
                           "60 directory entries free\n\n");

  const CliResult none = box.run({"t.dsk", "-c", "*.BAS"});
  EXPECT_EQ(none.err, "");
  EXPECT_EQ(none.status, 0);
  EXPECT_EQ(none.out, heading("t.dsk", "*.BAS") + kHeading2 +
                          "\n"
                          "0K in 0 file(s), 237K free\n"
                          "60 directory entries free\n\n");
}

TEST_F(CatalogueTest, BadMaskIsReportedAlone) {
  save_four_files();
  for (const char* mask : {"ABCDEFGHI.COM", "A.COMX", "A B.COM", "A<B", "."}) {
    SCOPED_TRACE(mask);
    const CliResult result = box.run({"t.dsk", "-c", mask});
    EXPECT_EQ(result.out, kBanner);
    EXPECT_EQ(result.err, std::string("Name of this file `") + mask +
                              "` has incorrect format !!!\n");
    EXPECT_EQ(result.status, 0);
  }
}

// Sizes are whole allocation units; the record count comes from the last
// entry of the file in directory order.
TEST_F(CatalogueTest, SizesCountWholeAllocationUnits) {
  struct Case {
    const char* image;
    std::vector<std::string> entries;
    const char* row;
  };
  const std::vector<Case> cases = {
      {"s.ds2", {file_entry(0, "F", "", 17, {1, 2})}, " 0 F               17    4K  --\n"},
      {"s.ds2", {file_entry(0, "F", "", 16, {1})}, " 0 F               16    2K  --\n"},
      {"s.ds2", {file_entry(0, "F", "", 0)}, " 0 F                0    0K  --\n"},
      {"s.dsk", {file_entry(0, "F", "", 3, {2})}, " 0 F                3    1K  --\n"},
      {"s.dsk", {file_entry(0, "F", "", 9, {2, 3})}, " 0 F                9    2K  --\n"},
      {"s.dsk",
       {file_entry(0, "F", "", 128, {2}), file_entry(0, "F", "", 5, {3}, 1)},
       " 0 F              133   17K  --\n"},
      // Over 32 extents: the S2 entry still belongs to the one file, and a
      // count of five digits widens the line.
      {"s.dsk",
       {file_entry(0, "F", "", 128, {2}), file_entry(0, "F", "", 128, {3}, 14, 2)},
       " 0 F             10112 1264K  --\n"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.row);
    Disk disk(box, c.image);
    for (std::size_t i = 0; i < c.entries.size(); ++i) {
      disk.put(static_cast<int>(i), c.entries[i]);
    }
    disk.save();
    const CliResult result = box.run({c.image, "-c1", "-c"});
    const std::string lead = heading(c.image, "*.*") + kHeading1 + c.row + "\n";
    EXPECT_EQ(result.out.substr(0, lead.size()), lead);
  }
}

TEST_F(CatalogueTest, SameNameInTwoUserAreasKeepsDirectoryOrder) {
  Disk(box, "t.dsk")
      .put(0, file_entry(5, "GAME", "COM", 17, {2, 3, 4}))
      .put(1, file_entry(1, "GAME", "COM", 1, {5}))
      .put(2, file_entry(0, "AAA", "", 1, {6}))
      .save();
  const CliResult result = box.run({"t.dsk", "-c1", "-c"});
  EXPECT_EQ(result.out, heading("t.dsk", "*.*") + kHeading1 +
                            " 0 AAA              1    1K  --\n"
                            " 5 GAME.COM        17    3K  --\n"
                            " 1 GAME.COM         1    1K  --\n"
                            "\n"
                            "5K in 3 file(s), 236K free\n"
                            "61 directory entries free\n\n");
}

TEST_F(CatalogueTest, UserFilterKeepsWholeDiskFigures) {
  Disk(box, "t.dsk")
      .put(0, file_entry(0, "ONE", "", 8, {2}))
      .put(1, file_entry(3, "THREE", "", 16, {3, 4}))
      .put(2, file_entry(4, "FOUR", "", 8, {5}))
      .save();
  const CliResult result = box.run({"t.dsk", "-u", "3", "-c1", "-c"});
  EXPECT_EQ(result.out, heading("t.dsk", "*.*") + kHeading1 +
                            " 3 THREE           16    2K  --\n"
                            "\n"
                            "2K in 1 file(s), 237K free\n"
                            "61 directory entries free\n\n");
}

// High bits of the name characters neither show nor stop a match; only t1
// and t2 give the R and S columns, t3 is not shown.
TEST_F(CatalogueTest, AttributeBitsShowOnlyInTheirColumns) {
  Disk(box, "t.dsk")
      .put(0, with_high_bits(file_entry(0, "XRAY", "COM", 1, {2}), {1, 4, 9, 10, 11}))
      .put(1, with_high_bits(file_entry(0, "XS", "TXT", 1, {3}), {10}))
      .put(2, with_high_bits(file_entry(0, "XR", "TXT", 1, {4}), {2, 9}))
      .put(3, with_high_bits(file_entry(0, "XT", "TXT", 1, {5}), {11}))
      .save();
  const CliResult result = box.run({"t.dsk", "-c1", "-c", "X*.*"});
  EXPECT_EQ(result.out, heading("t.dsk", "X*.*") + kHeading1 +
                            " 0 XR.TXT           1    1K  R-\n"
                            " 0 XRAY.COM         1    1K  RS\n"
                            " 0 XS.TXT           1    1K  -S\n"
                            " 0 XT.TXT           1    1K  --\n"
                            "\n"
                            "4K in 4 file(s), 237K free\n"
                            "60 directory entries free\n\n");
}

// Standard input is not a terminal here: the prompt is printed, the wait
// ends at once and "\r" follows it.
TEST_F(CatalogueTest, PagesAfterEveryPageOfFiles) {
  Disk disk(box, "t.dsk");
  for (int i = 0; i < 6; ++i) {
    disk.put(i, file_entry(0, std::string("F") + static_cast<char>('1' + i), "", 1, {2 + i}));
  }
  disk.save();
  const std::string prompt = "Press Enter to continue...\r";
  const std::string totals =
      "\n"
      "6K in 6 file(s), 235K free\n"
      "58 directory entries free\n\n";

  const CliResult two = box.run({"t.dsk", "-cp", "4", "-c"});
  EXPECT_EQ(two.out, heading("t.dsk", "*.*") + kHeading2 +
                         " 0 F1               1    1K  --\t 0 F2               1    1K  --\n"
                         " 0 F3               1    1K  --\t 0 F4               1    1K  --\n" +
                         prompt +
                         " 0 F5               1    1K  --\t 0 F6               1    1K  --\n" +
                         totals);

  const CliResult four = box.run({"t.dsk", "-cp", "3", "-c1", "-c", "F?"});
  EXPECT_EQ(four.out, heading("t.dsk", "F?") + kHeading1 +
                          " 0 F1               1    1K  --\n"
                          " 0 F2               1    1K  --\n"
                          " 0 F3               1    1K  --\n"
                          " 0 F4               1    1K  --\n" +
                          prompt +
                          " 0 F5               1    1K  --\n"
                          " 0 F6               1    1K  --\n" +
                          totals);
}

TEST_F(CatalogueTest, PromptFollowsAFullLastPage) {
  Disk disk(box, "t.dsk");
  for (int i = 0; i < 4; ++i) {
    disk.put(i, file_entry(0, std::string("F") + static_cast<char>('1' + i), "", 1, {2 + i}));
  }
  disk.save();
  const CliResult result = box.run({"t.dsk", "-cp", "4", "-c1", "-c"});
  EXPECT_EQ(result.out, heading("t.dsk", "*.*") + kHeading1 +
                            " 0 F1               1    1K  --\n"
                            " 0 F2               1    1K  --\n"
                            " 0 F3               1    1K  --\n"
                            " 0 F4               1    1K  --\n"
                            "Press Enter to continue...\r"
                            "\n"
                            "4K in 4 file(s), 237K free\n"
                            "60 directory entries free\n\n");
}

// On a terminal the listing stops at the prompt until Enter is pressed; the
// "\r" then puts the next line over the prompt.
TEST_F(CatalogueTest, PagerWaitsForEnterOnATerminal) {
  Disk disk(box, "t.dsk");
  for (int i = 0; i < 3; ++i) {
    disk.put(i, file_entry(0, std::string("F") + static_cast<char>('1' + i), "", 1, {2 + i}));
  }
  disk.save();
  const std::string prompt = "Press Enter to continue...";
  PtySession session(box, {"t.dsk", "-cp", "2", "-c1", "-c"});
  ASSERT_TRUE(session.read_until(prompt));
  session.wait_until_idle();
  const std::string first_page = std::string(kHeading1) +
                                 " 0 F1               1    1K  --\n"
                                 " 0 F2               1    1K  --\n" +
                                 prompt;
  ASSERT_GE(session.output().size(), first_page.size());
  EXPECT_EQ(session.output().substr(session.output().size() - first_page.size()), first_page);

  session.send("q \n");
  session.wait_until_idle();
  EXPECT_EQ(session.output().substr(session.output().size() - prompt.size()), prompt);

  session.send("\r");
  EXPECT_EQ(session.wait_exit(), 0);
  const std::string rest = prompt + "\r 0 F3               1    1K  --\n"
                                    "\n"
                                    "3K in 3 file(s), 238K free\n"
                                    "61 directory entries free\n\n";
  const std::string& out = session.output();
  ASSERT_GE(out.size(), rest.size());
  EXPECT_EQ(out.substr(out.size() - rest.size()), rest);
  EXPECT_TRUE(session.terminal_restored());
}

// The label line (with -tns) and the TNS-DOS hint (without it).
TEST_F(CatalogueTest, TnsLabelAndHint) {
  const std::string label = tns_entry("MYDISK", 0xFF);
  const std::string map = tns_entry("", 0xFE);
  const std::string hint =
      "This is likely a TNS-DOS disk.\n"
      "Use the `-tns` switch together with the `-c`, `-f`, `-q`, `-a`, or `-e` "
      "switches.\n\n";
  struct Case {
    const char* what;
    std::vector<std::pair<int, std::string>> entries;
    bool tns;
    const char* label_line;
    int free_entries;
    bool shows_hint;
  };
  const std::vector<Case> cases = {
      {"label and map, -tns", {{0, label}, {1, map}}, true, "TNS-DOS disk label: MYDISK\n", 61,
       false},
      {"label elsewhere, -tns", {{7, label}, {1, map}}, true, "TNS-DOS disk label: MYDISK\n", 61,
       false},
      {"blank label, -tns", {{0, tns_entry("", 0xFF)}}, true, "", 62, false},
      {"no label, -tns", {}, true, "", 63, false},
      {"label and map", {{0, label}, {1, map}}, false, "", 63, true},
      {"label only", {{0, label}}, false, "", 63, false},
      {"map only", {{1, map}}, false, "", 63, false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    Disk disk(box, "t.dsk");
    disk.put(3, file_entry(0, "F", "", 1, {2}));
    for (const auto& [index, entry] : c.entries) disk.put(index, entry);
    disk.save();
    std::vector<std::string> args = {"t.dsk", "-c1", "-c"};
    if (c.tns) args.insert(args.begin() + 1, "-tns");
    const CliResult result = box.run(args);
    EXPECT_EQ(result.out, heading("t.dsk", "*.*") + c.label_line + kHeading1 +
                              " 0 F                1    1K  --\n"
                              "\n"
                              "1K in 1 file(s), 240K free\n" +
                              std::to_string(c.free_entries) + " directory entries free\n\n" +
                              (c.shows_hint ? hint : ""));
  }
}

}  // namespace
}  // namespace xev::test
