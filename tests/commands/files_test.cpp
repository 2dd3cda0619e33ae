// -a, -x and -e on types without skew or system area: entry i lies at byte
// 32 i, unit a at a * BLS KiB.
#include <gtest/gtest.h>

#include <filesystem>

#include "support/harness.h"

namespace xev::test {
namespace {

using Args = std::vector<std::string>;
constexpr std::size_t kMax = 8388608;

// [sub]: EXM 0 where 16 pointers would allow 1, so 8 pointers an entry.
// [wide]: 16-bit pointers to 1 KiB units hold less than EXM 0 asks for.
const std::string kIni = section("t1", 26, 1, 0, 242, 63) + section("t2", 32, 2, 1, 199, 63) +
                         section("t4", 64, 4, 3, 255, 127) + section("big", 64, 4, 1, 2100, 1023) +
                         section("sub", 32, 2, 0, 155, 63) + section("wide", 32, 1, 0, 300, 63) +
                         section("tiny", 8, 1, 0, 9, 31);

// The lines of -a, -x or -e for `names`, after the heading.
std::string progress(const std::string& verb, const Args& names) {
  std::string text;
  for (const std::string& name : names) text += "File '" + name + "' " + verb + "\n";
  return text + "\nDone. " + std::to_string(names.size()) + " file(s) " + verb + ".\n\n";
}

// Each file is added, read back, erased (byte 0 of its entries only) and added
// again into the units given back: the same image.
TEST(Files, EntriesPointersAndFillOfEachSizeReadBackAndEraseCleanly) {
  Folder folder;
  folder.write("xev.ini", kIni);
  struct Entry {
    int index, rc, first, count, ex = 0, s2 = 0;
  };
  const struct {
    std::string type;
    std::size_t au, size;
    std::vector<Entry> entries;
  } rows[] = {
      {"t1", 1024, 200, {{0, 2, 2, 1}}},
      {"t1", 1024, 0, {{0, 0, 0, 0}}},
      {"t2", 2048, 40960, {{0, 0x80, 1, 16, 1}, {1, 64, 17, 4, 2}}},
      {"sub", 2048, 24576, {{0, 0x80, 1, 8}, {1, 64, 9, 4, 1}}},
      {"t4", 4096, 614400, {{0, 0x80, 1, 16, 3}, {8, 0x80, 129, 16, 3, 1}, {9, 64, 145, 6, 5, 1}}},
      {"big", 4096, kMax, {{0, 0x80, 8, 8, 1}, {255, 0x80, 2048, 8, 31, 15}}},
  };
  for (const auto& row : rows) {
    const std::string image = "x." + row.type;
    SCOPED_TRACE(image + " " + std::to_string(row.size));
    const bool wide = row.type == "big";
    const std::string bytes = noise(row.size, 1);
    folder.write("F.D", bytes);
    ASSERT_EQ(xev(folder, {image, "-f"}).status, 0);
    const std::size_t data = (wide ? 8 : row.type == "t1" ? 2 : 1) * row.au;  // zeros show the fill
    patch(folder, image, data, std::string(folder.read(image).size() - data, '\0'));
    const std::size_t start = row.entries[0].first * row.au;

    EXPECT_EQ(xev(folder, {image, "-a", "F.D"}).out,
              "Adding file(s) to '" + image + "'\n  path: '', mask: 'F.D'\n\n" +
                  progress("added", {"F.D"}));
    const std::string added = folder.read(image);
    for (const Entry& e : row.entries) {
      std::string expected = entry(0, "F", "D", e.ex, e.s2, e.rc, {}, wide);
      for (int i = 0, au = e.first; i < e.count; ++i, ++au) {
        expected.replace(16 + i * (wide ? 2 : 1), wide ? 2 : 1, {char(au & 0xFF), char(au >> 8)},
                         0, wide ? 2 : 1);
      }
      EXPECT_EQ(added.substr(32 * std::size_t(e.index), 32), expected) << e.index;
    }
    const std::string unit_fill((row.au - row.size % row.au) % row.au, '\xE5');
    EXPECT_EQ(added.substr(start, row.size + unit_fill.size()), bytes + unit_fill);

    EXPECT_EQ(xev(folder, {image, "-x", "none/*.*"}).err, "File `F.D` already exist !!!\n");
    std::filesystem::create_directory(folder.path("out"));
    EXPECT_EQ(xev(folder, {image, "-x", "out/F.D"}).out,
              "Extracting file(s) from '" + image + "'\n  path: 'out/', mask: 'F.D'\n\n" +
                  progress("extracted", {"F.D"}));
    EXPECT_EQ(folder.read("out/F.D"), bytes + unit_fill.substr(0, (128 - row.size % 128) % 128));
    EXPECT_EQ(xev(folder, {image, "-e", "f.d"}).out,
              "Erasing file(s) from '" + image + "', mask: 'f.d'\n\n" + progress("erased", {"F.D"}));
    std::string erased = added;
    for (std::size_t i = 0; i < erased.size(); i += 32) {
      if (erased.compare(i, 12, std::string("\0F       D  ", 12)) == 0) erased[i] = '\xE5';
    }
    EXPECT_EQ(folder.read(image), erased);
    EXPECT_EQ(xev(folder, {image, "-a", "F.D"}).status, 0);
    EXPECT_EQ(folder.read(image), added);
  }
}

TEST(Files, AddRefusesWhatDoesNotFitAndGoesOnWhereItCan) {
  Folder folder;
  folder.write("xev.ini", kIni);
  std::filesystem::create_directory(folder.path("in"));
  folder.write("in/A.TXT", "a");
  folder.write("in/B.TXT", std::string(9300, 'b'));
  folder.write("in/a-long-name.txt", "long");
  folder.write("in/OVER", "");
  std::filesystem::resize_file(folder.path("in/OVER"), kMax + 1);
  const struct {
    Args args;
    std::string err;
    int status, added;
  } rows[] = {
      {{"a.t1", "-a", "in/*"},
       "Name of this file `a-long-name.txt` has incorrect format !!!\n"
       "File `OVER` is too long (8388609 bytes). Max length is 8MB. !!!\n", 14, 2},
      {{"a.t1", "-a", "in/?.TXT"}, "File `A.TXT` already exist !!!\nFile `B.TXT` already exist !!!\n",
       12, 0},
      {{"a.t1", "-a", "in/a-long-name.txt", "-afn", "long.txt", "-u", "3"}, "", 0, 1},
      {{"a.t1", "-a", "in/a-long-name.txt", "-afn", "l*.txt"},
       "File name `l*.txt` must be unambiguous! !!!\n", 27, -1},
      {{"a.t1", "-a", "in/A.TXT", "-afn", "l;.txt"},
       "Name of this file `l;.txt` has incorrect format !!!\n", 14, -1},
      {{"a.t1", "-a", "in/*.none"}, "No matching files found for mask `in/*.none` !!!\n", 25, -1},
      {{"a.t1", "-a", "gone/*"}, "Path or file/mask `gone/*` is invalid!!! !!!\n", 26, -1},
      {{"b.tiny", "-a", "in/B.TXT"}, "Disk full !!!\n", 10, 0},
      {{"b.wide", "-a", "in/A.TXT"}, "Error in definition for Image type `wide` !!!\n", 19, -1},
  };
  for (const auto& row : rows) {
    const Result run = xev(folder, row.args);
    EXPECT_EQ(run.err, row.err) << row.args[2];
    EXPECT_EQ(run.status, row.status) << row.args[2];
    const std::string done = "\nDone. " + std::to_string(row.added) + " file(s) added.\n\n";
    EXPECT_EQ(run.out.find(done) != std::string::npos, row.added >= 0) << row.args[2];
  }
  EXPECT_NE(xev(folder, {"a.t1", "-a", "in/A.TXT", "-afn", "x.y"}).out.find(
                "  path: 'in/', mask: 'A.TXT'\n  as 'x.y'\n\nFile 'x.y' added\n"),
            std::string::npos);
  EXPECT_NE(xev(folder, {"a.t1", "-c1", "-c"}).out.find(
                " 0 A.TXT            1    1K  --\n 0 B.TXT           73   10K  --\n"
                " 3 LONG.TXT         1    1K  --\n 0 X.Y              1    1K  --\n"),
            std::string::npos);
  // A free unit is no use without a free entry: 32 entries, 33 empty files.
  for (int i = 0; i < 33; ++i) folder.write("in/F" + std::to_string(i), "");
  const Result full = xev(folder, {"c.tiny", "-a", "in/F*"});
  EXPECT_EQ(full.err, "Directory full !!!\n");
  EXPECT_NE(full.out.find("\nDone. 32 file(s) added.\n"), std::string::npos);
}

TEST(Files, ExtractNamesAndMisses) {
  Folder folder;
  folder.write("xev.ini", kIni + section("t", 26, 1, 0, 242, 63));
  ASSERT_EQ(xev(folder, {"e.t1", "-f"}).status, 0);
  patch(folder, "e.t1", 0, entry(0, "A/B|C", "D", 0, 0, 1, {2}) + entry(0, "E", "T", 0, 0, 1, {3}));
  const struct {
    std::string mask, out, err;
  } rows[] = {
      {"A?B?C.D", "File 'A/B|C.D' extracted as A_B_C.D\n\nDone. 1 file(s) extracted.\n\n", ""},
      {"Z.*", "\nDone. 0 file(s) extracted.\n\n", ""},
      {"Z", "", "File `Z` not found !!!\n"},
      {"|", "", "Name of this file `|` has incorrect format !!!\n"},
  };
  for (const auto& row : rows) {
    const Result run = xev(folder, {"e.t1", "-x", row.mask});
    const std::string heading =
        "Extracting file(s) from 'e.t1'\n  path: '', mask: '" + row.mask + "'\n\n";
    EXPECT_EQ(run.out, row.mask == "|" ? "" : heading + row.out);
    EXPECT_EQ(run.err, row.err);
  }
  EXPECT_EQ(folder.read("A_B_C.D"), std::string(128, '\xE5'));
  // The image's own name is never a target.
  folder.write("E.T", folder.read("e.t1"));
  EXPECT_EQ(xev(folder, {"E.T", "-x", "E.T"}).err, "File `E.T` already exist !!!\n");
}

}  // namespace
}  // namespace xev::test
