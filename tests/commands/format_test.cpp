// Formatting, the TNS-DOS entries, the catalogue and the directory checks.
#include <gtest/gtest.h>

#include "support/harness.h"

namespace xev::test {
namespace {

const std::string kEmptyEntry = "\xE5" + std::string(11, ' ') + std::string(20, '\0');

// The heading of the catalogue in two columns.
const std::string kHead = " U Name          RECS  SIZE  RS", kRule(31, '-');
const std::string kTwo = kHead + "\t" + kHead + "\n" + kRule + "\t" + kRule + "\n";

// The 8-inch disk: directory entry e lies in logical record e / 4 of track 2,
// at its place through the skew.
std::size_t directory_entry(int e) {
  static const int skew[] = {1, 7, 13, 19, 25, 5, 11, 17, 23, 3, 9, 15, 21, 2, 8, 14};
  return 6656 + (skew[e / 4] - 1) * 128 + e % 4 * 32;
}

TEST(Format, FullAndQuickFormats) {
  Folder folder;
  folder.write("xev.ini", kEightInch);
  EXPECT_EQ(xev(folder, {"a.dsk", "-f"}).out,
            "Image 'a.dsk' was created.\nImage 'a.dsk' was formated.\n");
  std::string expected = "\xC9" + std::string(256255, '\xE5');
  for (int e = 0; e < 64; ++e) expected.replace(directory_entry(e), 32, kEmptyEntry);
  const char* signature = "XEV CP/M Disk Image Manager v2.4 (c) 2026 The xev Authors";
  expected.replace(256128, 128, signature + std::string(71, '\0'));
  EXPECT_EQ(folder.read("a.dsk"), expected);
  // A quick format keeps the data; a new image is formatted fully anyway.
  patch(folder, "a.dsk", directory_entry(4), "\x01XY");
  patch(folder, "a.dsk", 20000, "data");
  EXPECT_EQ(xev(folder, {"a.dsk", "-q"}).out + xev(folder, {"b.dsk", "-q"}).out,
            "Directory of image 'a.dsk' was cleaned.\nImage 'b.dsk' was created.\n"
            "Image 'b.dsk' was formated.\nDirectory of image 'b.dsk' was cleaned.\n");
  EXPECT_EQ(folder.read("a.dsk"), expected.replace(20000, 4, "data"));
}

// A free entry that holds TNS-DOS data: `head`, `fill` up to the `mark` in
// byte 15 and behind it.
std::string tns(const std::string& head, char mark, char fill) {
  return head + std::string(15 - head.size(), fill) + mark + std::string(16, fill);
}

// The label, then the map in entries of 30 bytes: 250 units need two. With
// -tns a file at index 0 moves behind them; the map follows every change, and
// an existing label is kept.
TEST(Format, TnsEntriesFollowChanges) {
  Folder folder;
  folder.write("xev.ini", section("t", 8, 1, 0, 249, 31) + section("m", 8, 1, 0, 239, 31));
  folder.write("B", "b");
  // 240 units fill one map entry exactly.
  ASSERT_EQ(xev(folder, {"m.m", "-f", "-tns"}).status, 0);
  EXPECT_EQ(folder.read("m.m").substr(64, 32), kEmptyEntry);
  ASSERT_EQ(xev(folder, {"t.t", "-f", "-tns", "-lbl", "azdisk"}).status, 0);
  // Unit 0 in use; the 6 places past unit 249 set.
  const std::string tail = tns(std::string("\xE5\0\xFC", 3), '\xFE', '\xFF');
  EXPECT_EQ(folder.read("t.t").substr(0, 96),
            tns("\xE5" "AZDISK     ", '\xFF', '\0') + tns("\xE5\x01", '\xFE', '\0') + tail);
  // Without -tns its entries count as free, and a hint follows the listing.
  const std::string head = "Catalogue of 't.t', mask: '*.*'\n",
                    totals = "\n0K in 0 file(s), 249K free\n";
  EXPECT_EQ(xev(folder, {"t.t", "-tns", "-c"}).out + xev(folder, {"t.t", "-c"}).out,
            head + "TNS-DOS disk label: AZDISK\n\n" + kTwo + totals +
                "29 directory entries free\n\n" + head + "\n" + kTwo + totals +
                "32 directory entries free\n\nThis is likely a TNS-DOS disk.\n"
                "Use the `-tns` switch together with the `-c`, `-f`, `-q`, `-a`, or "
                "`-e` switches.\n\n");
  const std::string label = tns("\xE5OLD LABEL  ", '\xFF', '\0');
  const std::string a = entry(0, "A", "", 0, 0, 8, {1}),
                    b = entry(0, "B", "", 0, 0, 1, {2});
  patch(folder, "t.t", 0, a + kEmptyEntry + label);
  EXPECT_EQ(xev(folder, {"t.t", "-tns", "-a", "B"}).err, "");
  EXPECT_EQ(folder.read("t.t").substr(0, 160),
            label + tns("\xE5\x07", '\xFE', '\0') + tail + a + b);
  EXPECT_EQ(xev(folder, {"t.t", "-tns", "-e", "A"}).err, "");
  EXPECT_EQ(folder.read("t.t").substr(32, 64), tns("\xE5\x05", '\xFE', '\0') + tail);
  // Without a free entry left, neither the map nor the label has a place.
  for (int i = 0; i < 32; ++i) patch(folder, "t.t", 32 * i, entry(0, "F", "", 0, 0, 0));
  EXPECT_EQ(xev(folder, {"t.t", "-tns", "-e", "NONE"}).err,
            "Directory full !!!\nDirectory full !!!\n");
}

TEST(Catalogue, LayoutsOrderAndPaging) {
  Folder folder;
  folder.write("xev.ini", section("t", 32, 2, 1, 99, 63));
  ASSERT_EQ(xev(folder, {"c.t", "-f"}).status, 0);
  // EXM 1: an entry holds two extents; bit 7 of a name byte is no attribute.
  patch(folder, "c.t", 0,
        entry(3, "B", "COM", 0, 0, 17, {1, 2}) + entry(0, "A", "", 0, 0, 0) +
            entry(1, "A\xC2", "COM", 0, 0, 3, {3}) +
            entry(0, "A", "\xC3OM", 1, 0, 0x80, {4, 5}) +
            entry(0, "A", "\xC3OM", 2, 0, 1, {6}));
  const std::string wait = "Press Enter to continue...\r";
  const std::string a = " 0 A                0    0K  --";
  const std::string ab = " 1 AB.COM           3    2K  --";
  const std::string acom = " 0 A.COM          257   34K  R-";
  const std::string b = " 3 B.COM           17    4K  --";
  const std::pair<std::vector<std::string>, std::string> rows[] = {
      {{"c.t", "-c"}, kTwo + a + "\t" + acom + "\n" + ab + "\t" + b + "\n\n40K in 4"},
      {{"c.t", "-c1", "-cu", "-c"},
       kHead + "\n" + kRule + "\n" + b + "\n" + a + "\n" + ab + "\n" + acom +
           "\n\n40K in 4"},
      {{"c.t", "-cp", "1", "-c"},
       kTwo + a + "\t" + acom + "\n" + wait + ab + "\t" + b + "\n" + wait + "\n40K in 4"},
      {{"c.t", "-u", "0", "-c", "*.c?m"}, kTwo + acom + "\t\n\n34K in 1"},
  };
  for (const auto& [args, body] : rows) {
    EXPECT_EQ(xev(folder, args).out,
              "Catalogue of 'c.t', mask: '" +
                  (args.back() == "-c" ? "*.*" : args.back()) + "'\n\n" + body +
                  " file(s), 186K free\n59 directory entries free\n\n");
  }
  for (const std::string mask : {"a.b.c", "a b.c", " a.c"}) {
    EXPECT_EQ(xev(folder, {"c.t", "-c", mask}).err,
              "Name of this file `" + mask + "` has incorrect format !!!\n");
  }
}

// Each check of a loaded entry: without -iide the first failure ends the run;
// with it every failure is reported, an empty line follows, the command runs.
TEST(Directory, InvalidEntriesStopTheRunUnlessIgnored) {
  Folder folder;
  folder.write("xev.ini", section("w", 32, 1, 0, 299, 31));
  const std::pair<std::string, std::string> rows[] = {
      {entry(0x22, "SYS1", "", 0, 0, 0), "`SYS1` (invalid user number: 34)"},
      {entry(0xF0, "X", "", 0, 0, 0, {3}), "`X` (invalid user number: -16)"},
      {entry(1, "A?", "", 0, 0, 0), "`A?` (bad file name)"},
      {entry(1, "A\x01", "", 0, 0, 0), "`A?` (bad file name)"},
      {std::string(32, '\0'), "`????????.???` (bad file name)"},
      {entry(1, "<A>", "", 0, 0, 0) + entry(2, "B", "", 0, 0, 8, {300, 5, 301}, true),
       "`B` (invalid AU number: 300) !!!\n"
       "Corrupted directory entry `B` (invalid AU number: 301)"},
  };
  for (const auto& [entries, errors] : rows) {
    ASSERT_EQ(xev(folder, {"a.w", "-f"}).status, 0);
    patch(folder, "a.w", 0, entries);
    Result stop = xev(folder, {"a.w", "-c"}), go = xev(folder, {"a.w", "-iide", "-c"});
    const std::string all = "Corrupted directory entry " + errors + " !!!\n";
    EXPECT_EQ(stop.err + stop.out, all.substr(0, all.find('\n') + 1) + "\n");
    EXPECT_EQ(go.err + go.out.substr(0, 14), all + "\nCatalogue of ");
    EXPECT_EQ(stop.status * 100 + go.status, 1500);
  }
}

}  // namespace
}  // namespace xev::test
