// Formatting, the TNS-DOS entries, the catalogue and the directory checks.
#include <gtest/gtest.h>

#include "support/harness.h"

namespace xev::test {
namespace {

const std::string kEmptyEntry = "\xE5" + std::string(11, ' ') + std::string(20, '\0');
const std::string kSignature = "XEV CP/M Disk Image Manager v2.4 (c) 2026 The xev Authors";

// The 8-inch disk: directory record k is logical record k of track 2, at its
// place through the skew.
std::size_t directory_record(int k) {
  static const int skew[] = {1, 7, 13, 19, 25, 5, 11, 17, 23, 3, 9, 15, 21, 2, 8, 14};
  return 6656 + (skew[k] - 1) * 128;
}

TEST(Format, FullQuickAndTnsFormats) {
  Folder folder;
  folder.write("xev.ini", kEightInch + section("cpd", 36, 1, 0, 179, 63));
  Result run = xev(folder, {"a.dsk", "-f"});
  EXPECT_EQ(run.out, "Image 'a.dsk' was created.\nImage 'a.dsk' was formated.\n");
  std::string image = folder.read("a.dsk");
  ASSERT_EQ(image.size(), 256256u);
  std::string expected(256256, '\xE5');
  expected[0] = '\xC9';
  for (int k = 0; k < 16; ++k) {
    for (int e = 0; e < 4; ++e) expected.replace(directory_record(k) + 32 * e, 32, kEmptyEntry);
  }
  expected.replace(256256 - 128, 128, kSignature + std::string(128 - kSignature.size(), '\0'));
  EXPECT_EQ(image, expected);

  // A quick format keeps the data; a new image is formatted fully anyway.
  patch(folder, "a.dsk", directory_record(1), "\x01XY");
  patch(folder, "a.dsk", 20000, "data");
  run = xev(folder, {"a.dsk", "-q"});
  EXPECT_EQ(run.out, "Directory of image 'a.dsk' was cleaned.\n");
  expected.replace(20000, 4, "data");
  EXPECT_EQ(folder.read("a.dsk"), expected);
  run = xev(folder, {"b.dsk", "-q"});
  EXPECT_EQ(run.out,
            "Image 'b.dsk' was created.\nImage 'b.dsk' was formated.\n"
            "Directory of image 'b.dsk' was cleaned.\n");

  // No system area, no 0xC9. On the 8-inch disk the label, then 31 map
  // bytes in two entries: units 0 and 1 in use, 5 places past unit 242 set.
  run = xev(folder, {"c.cpd", "-f", "-tns", "-lbl", "mydisk"});
  EXPECT_EQ(folder.read("c.cpd")[0], '\xE5');
  run = xev(folder, {"a.dsk", "-f", "-tns", "-lbl", "mydisk"});
  image = folder.read("a.dsk").substr(6656, 96);
  EXPECT_EQ(image, "\xE5MYDISK     " + std::string(3, '\0') + "\xFF" + std::string(16, '\0') +
                       "\xE5\x03" + std::string(13, '\0') + "\xFE" + std::string(16, '\0') +
                       "\xE5\xF8" + std::string(13, '\xFF') + "\xFE" + std::string(16, '\xFF'));
  run = xev(folder, {"c.cpd", "-tns", "-c"});
  EXPECT_NE(run.out.find("TNS-DOS disk label: MYDISK\n"), std::string::npos);
  EXPECT_NE(run.out.find("0K in 0 file(s), 178K free\n62 directory entries free\n\n"),
            std::string::npos) << run.out;
  run = xev(folder, {"c.cpd", "-c"});
  EXPECT_NE(run.out.find("64 directory entries free\n\nThis is likely a TNS-DOS disk.\n"
                         "Use the `-tns` switch together with the `-c`, `-f`, `-q`, `-a`, or "
                         "`-e` switches.\n\n"),
            std::string::npos);
}

// With -tns a file at index 0 moves behind the label; the map follows every
// change, and an existing label is kept.
TEST(Format, TnsEntriesFollowChanges) {
  Folder folder;
  folder.write("xev.ini", section("t", 8, 1, 0, 9, 31));
  ASSERT_EQ(xev(folder, {"t.t", "-f"}).status, 0);
  patch(folder, "t.t", 0, entry(0, "A", "", 0, 0, 8, {1}) + kEmptyEntry +
                              "\xE5OLD LABEL  " + std::string(3, '\0') + "\xFF" +
                              std::string(16, '\0'));
  folder.write("B", "b");
  EXPECT_EQ(xev(folder, {"t.t", "-tns", "-a", "B"}).err, "");
  std::string image = folder.read("t.t");
  EXPECT_EQ(image.substr(0, 16), "\xE5OLD LABEL  " + std::string(3, '\0') + "\xFF");
  EXPECT_EQ(image.substr(32, 3), "\xE5\x07\xFC");  // units 0 to 2 in use, 10 to 15 past the end
  EXPECT_EQ(image.substr(64, 12), std::string("\0A          ", 12));
  EXPECT_EQ(image.substr(96, 12), std::string("\0B          ", 12));
  EXPECT_EQ(xev(folder, {"t.t", "-tns", "-e", "A"}).err, "");
  EXPECT_EQ(folder.read("t.t").substr(32, 3), "\xE5\x05\xFC");
  // Without a free entry left, neither the map nor the label has a place.
  std::string full;
  for (int i = 0; i < 32; ++i) full += entry(0, "F" + std::to_string(i), "", 0, 0, 0);
  patch(folder, "t.t", 0, full);
  const Result run = xev(folder, {"t.t", "-tns", "-e", "NONE"});
  EXPECT_EQ(run.err, "Directory full !!!\nDirectory full !!!\n");
}

std::string line(int user, const char* name, int records, int k, const char* flags) {
  char text[64];
  std::snprintf(text, sizeof text, "%2d %-12s  %4d %4dK  %s", user, name, records, k, flags);
  return text;
}

TEST(Catalogue, LayoutsOrderAndPaging) {
  Folder folder;
  folder.write("xev.ini", section("t", 32, 2, 1, 99, 63));
  ASSERT_EQ(xev(folder, {"c.t", "-f"}).status, 0);
  // EXM 1: an entry holds two extents; bit 7 of a name byte is no attribute.
  patch(folder, "c.t", 0,
        entry(3, "B", "COM", 0, 0, 17, {1, 2}) + entry(0, "A", "", 0, 0, 0) +
            entry(1, "A\xC2", "COM", 0, 0, 3, {3}) + entry(0, "A", "\xC3OM", 1, 0, 0x80, {4, 5}) +
            entry(0, "A", "\xC3OM", 2, 0, 1, {6}));
  const std::string head = " U Name          RECS  SIZE  RS";
  const std::string rule = "-------------------------------";
  const std::string a = line(0, "A", 0, 0, "--"), ab = line(1, "AB.COM", 3, 2, "--"),
                    acom = line(0, "A.COM", 257, 34, "R-"), b = line(3, "B.COM", 17, 4, "--");
  const std::string two = head + "\t" + head + "\n" + rule + "\t" + rule + "\n";
  const std::string one = head + "\n" + rule + "\n";
  const std::string free = "K in %d file(s), 186K free\n59 directory entries free\n\n";
  const std::string prompt = "Press Enter to continue...\r";
  const struct {
    std::vector<std::string> options;
    std::string body;
    int k, files;
  } rows[] = {
      {{"-c"}, two + a + "\t" + acom + "\n" + ab + "\t" + b + "\n", 40, 4},
      {{"-c1", "-cu", "-c"}, one + b + "\n" + a + "\n" + ab + "\n" + acom + "\n", 40, 4},
      {{"-cp", "1", "-c"}, two + a + "\t" + acom + "\n" + prompt + ab + "\t" + b + "\n" + prompt, 40, 4},
      {{"-u", "0", "-c1", "-c", "a*.*"}, one + a + "\n" + acom + "\n", 34, 2},
      {{"-c", "*.c?m"}, two + acom + "\t" + ab + "\n" + b + "\t\n", 40, 3},
  };
  for (const auto& row : rows) {
    std::vector<std::string> args{"c.t"};
    args.insert(args.end(), row.options.begin(), row.options.end());
    const std::string mask = row.options.back() == "-c" ? "*.*" : row.options.back();
    char totals[128];
    std::snprintf(totals, sizeof totals, ("\n%d" + free).c_str(), row.k, row.files);
    EXPECT_EQ(xev(folder, args).out,
              "Catalogue of 'c.t', mask: '" + mask + "'\n\n" + row.body + totals);
  }
  const Result run = xev(folder, {"c.t", "-c", "a.b.c"});
  EXPECT_EQ(run.err, "Name of this file `a.b.c` has incorrect format !!!\n");
  EXPECT_EQ(run.out, "");
}

// Each check of a loaded entry: without -iide the first failure ends the run;
// with it every failure is reported, an empty line follows, the command runs.
TEST(Directory, InvalidEntriesStopTheRunUnlessIgnored) {
  Folder folder;
  folder.write("xev.ini", section("t", 32, 1, 0, 242, 31) + section("w", 32, 1, 0, 299, 31));
  const struct {
    std::string image, entries, errors;
  } rows[] = {
      {"a.t", entry(0x22, "SYS1", "", 0, 0, 0), "`SYS1` (invalid user number: 34)"},
      {"a.t", entry(0xF0, "X", "", 0, 0, 0, {3}), "`X` (invalid user number: -16)"},
      {"a.t", entry(1, "A?", "", 0, 0, 0), "`A?` (bad file name)"},
      {"a.t", entry(1, "A\x01", "", 0, 0, 0), "`A?` (bad file name)"},
      {"a.t", std::string(32, '\0'), "`????????.???` (bad file name)"},
      {"a.t", entry(1, "<A>", "", 0, 0, 0) + entry(2, "B", "", 0, 0, 8, {243, 5, 244}),
       "`B` (invalid AU number: 243) !!!\nCorrupted directory entry `B` (invalid AU number: 244)"},
      {"a.w", entry(1, "W", "", 0, 0, 8, {1, 300}, true), "`W` (invalid AU number: 300)"},
  };
  for (const auto& row : rows) {
    ASSERT_EQ(xev(folder, {row.image, "-f"}).status, 0);
    patch(folder, row.image, 0, row.entries);
    const std::string first = row.errors.substr(0, row.errors.find(" !!!"));
    Result run = xev(folder, {row.image, "-c"});
    EXPECT_EQ(run.err, "Corrupted directory entry " + first + " !!!\n");
    EXPECT_EQ(run.out, "\n");
    EXPECT_EQ(run.status, 15);
    run = xev(folder, {row.image, "-iide", "-c1", "-c"});
    EXPECT_EQ(run.err, "Corrupted directory entry " + row.errors + " !!!\n");
    EXPECT_EQ(run.out.rfind("\nCatalogue of '" + row.image + "'", 0), 0u);
    EXPECT_EQ(run.status, 0);
  }
}

}  // namespace
}  // namespace xev::test
