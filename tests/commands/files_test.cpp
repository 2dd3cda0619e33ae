// -a, -x and -e on types without system area: entry i at byte 32 i, unit a at a BLS KiB.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <random>
#include <string>
#include <vector>

#include "commands/disk_builder.h"

namespace xev::test {
namespace {

using Args = std::vector<std::string>;

// [sub]: EXM 0 where 16 pointers would allow 1, so 8 pointers an entry.
// [wide]: 16-bit pointers to 1 KiB units hold less than EXM 0 asks for.
const std::string kIni =
    ini_section("t1", 26, 1, 0, 242, 63, 0) + ini_section("t2", 32, 2, 1, 199, 63, 0) +
    ini_section("t4", 64, 4, 3, 255, 127, 0) +
    ini_section("big", 64, 4, 1, 2100, 1023, 0) +
    ini_section("sub", 32, 2, 0, 155, 63, 0) + ini_section("wide", 32, 1, 0, 300, 63, 0) +
    ini_section("tiny", 8, 1, 0, 9, 31, 0);
constexpr std::size_t kMax = 8388608;
const std::string kLong = "a-long-host-name.data";
const std::string kTooLong = "` is too long (8388609 bytes). Max length is 8MB. !!!\n";

std::string bytes(std::size_t size, unsigned seed) {
  std::minstd_rand random(seed + 1);
  std::string data(size, '\0');
  for (char& c : data) c = char(random() >> 8);
  return data;
}
// `data` filled with 0xE5 to whole records, or units of `unit` bytes.
std::string padded(const std::string& data, std::size_t unit = 128) {
  return data + std::string((unit - data.size() % unit) % unit, '\xE5');
}
// A file entry with pointers first, first + 1, ...
std::string run_entry(int user, const char* name, const char* ext, int rc, int first,
                      int count, int ex = 0, int s2 = 0, bool wide = false) {
  std::string entry = dir_entry(user, name, ext, ex, s2, rc, {}, wide);
  for (int i = 0, au = first; i < count; ++i, ++au) {
    entry.replace(16 + (wide ? 2 * i : i), wide ? 2 : 1, {char(au & 0xFF), char(au >> 8)},
                  0, wide ? 2 : 1);
  }
  return entry;
}
// The heading of `xev image -a|-x|-e argument [-afn name]`.
std::string head(const Args& a) {
  const std::size_t cut = a[2].rfind('/') + 1;  // 0 without a '/'
  const std::string image = "'" + a[0] + "'", mask = "mask: '" + a[2].substr(cut) + "'\n";
  if (a[1] == "-e") return "Erasing file(s) from " + image + ", " + mask + "\n";
  const auto afn = std::find(a.begin(), a.end(), "-afn");
  return (a[1] == "-a" ? "Adding file(s) to " : "Extracting file(s) from ") + image +
         "\n  path: '" + a[2].substr(0, cut) + "', " + mask +
         (afn == a.end() ? "" : "  as '" + afn[1] + "'\n") + "\n";
}
// The heading, a line per file and the Done line.
std::string report(const Args& a, const Args& names) {
  const std::string verb = a[1] == "-a" ? "added" : a[1] == "-x" ? "extracted" : "erased";
  std::string text = head(a);
  for (const std::string& name : names) text += "File '" + name + "' " + verb + "\n";
  return text + "\nDone. " + std::to_string(names.size()) + " file(s) " + verb + ".\n\n";
}

class Files : public ::testing::Test {
 protected:
  void SetUp() override { box.write_ini(kIni); }
  // Runs xev: this output after the banner, this error output, status 0.
  void run(const Args& args, const std::string& out, const std::string& err = "") const {
    const CliResult result = box.run(args);
    EXPECT_EQ(result.out + result.err, kBanner + out + err) << args[1] << " " << args[2];
    EXPECT_EQ(result.status, 0);
  }
  void check(const Args& args, const Args& names, const std::string& err = "") const {
    run(args, report(args, names), err);
  }
  std::string entry(int index, const std::string& image = "x.t1") const {
    return box.read_file(image).substr(32 * std::size_t(index), 32);
  }
  Sandbox box;
};

// Each file goes in beside one over 8 MiB, is read back, erased (byte 0 of
// its entries) and added again into the units given back: the same image.
TEST_F(Files, EntriesPointersAndFillOfEachSizeReadBackAndEraseCleanly) {
  // clang-format off
  struct Entry { int index, rc, first, count, ex = 0, s2 = 0; };
  const struct { const char* type; std::size_t au, size; std::vector<Entry> entries; } rows[] = {
      {"t1", 1024, 200, {{0, 2, 2, 1}}},
      {"t2", 2048, 40960, {{0, 0x80, 1, 16, 1}, {1, 64, 17, 4, 2}}},
      {"sub", 2048, 24576, {{0, 0x80, 1, 8}, {1, 64, 9, 4, 1}}},
      {"t4", 4096, 614400, {{0, 0x80, 1, 16, 3}, {7, 0x80, 113, 16, 31}, {8, 0x80, 129, 16, 3, 1}, {9, 64, 145, 6, 5, 1}}},
      {"big", 4096, kMax, {{0, 0x80, 8, 8, 1}, {255, 0x80, 2048, 8, 31, 15}}},
  };
  // clang-format on
  for (const auto& row : rows) {
    const std::string image = std::string("x.") + row.type, dir = image + "_/";
    SCOPED_TRACE(image);
    const bool wide = row.type == std::string("big");
    box.make_dir(dir);
    box.write_file(dir + "F.D", bytes(row.size, 1));
    box.write_file(dir + "OVER.D", "");
    std::filesystem::resize_file(box.path(dir + "OVER.D"), kMax + 1);
    std::string blank = formatted(box, image);  // zeros in the data area show the fill
    const std::size_t start = row.entries[0].first * row.au, rest = blank.size() - start;
    box.write_file(image, blank.replace(start, rest, rest, '\0'));

    check({image, "-a", dir + "*"}, {"F.D"}, "File `OVER.D" + kTooLong);
    const std::string disk = box.read_file(image);
    for (const Entry& e : row.entries) {
      EXPECT_EQ(entry(e.index, image),
                run_entry(0, "F", "D", e.rc, e.first, e.count, e.ex, e.s2, wide));
    }
    const int last = row.entries.back().index;
    EXPECT_EQ(disk[32 * (last + 1)], '\xE5');
    const std::string stored = padded(bytes(row.size, 1), row.au);
    EXPECT_TRUE(disk.substr(start, stored.size()) == stored);

    check({image, "-x", "*.*"}, {"F.D"});
    EXPECT_TRUE(box.read_file("F.D") == padded(bytes(row.size, 1)));
    check({image, "-e", "*.*"}, {"F.D"});
    std::string empty = disk;
    for (int i = 0; i <= last; ++i) empty[32 * i] = '\xE5';
    EXPECT_TRUE(box.read_file(image) == empty);
    box.run({image, "-a", dir + "*"});
    EXPECT_TRUE(box.read_file(image) == disk);
  }
}

TEST_F(Files, RefusalsAndEmptyRunsLeaveTheImagesAlone) {
  box.write_file("A.COM", "a");
  box.write_file(kLong, "long");
  box.make_dir("empty");
  const std::string wide = formatted(box, "x.wide");
  formatted(box, "x.t1");
  check({"x.t1", "-a", "A.COM", "-u", "3"}, {"A.COM"});
  const std::string before = box.read_file("x.t1");
  const std::string bad = "Name of this file `", format = "` has incorrect format !!!\n";
  enum Out { kNothing, kHeading, kDone };
  // clang-format off
  const struct { Out out; Args args; std::string err; } cases[] = {
      {kHeading, {"x.wide", "-a", "A.COM"}, "Error in definition for Image type `wide` !!!\n"},
      {kDone, {"x.t1", "-a", "A.COM"}, "File `A.COM` already exist !!!\n"},  // in any user area
      {kDone, {"x.t1", "-a", kLong}, bad + kLong + format},
      {kHeading, {"x.t1", "-a", kLong, "-afn", "A?.D"}, "File name `A?.D` must be unambiguous! !!!\n"},
      {kHeading, {"x.t1", "-a", "empty/*.C"}, "No matching files found for mask `empty/*.C` !!!\n"},
      {kHeading, {"x.t1", "-a", "none/*.C"}, "Path or file/mask `none/*.C` is invalid!!! !!!\n"},
      {kHeading, {"x.t1", "-x", "B.COM"}, "File `B.COM` not found !!!\n"},
      {kNothing, {"x.t1", "-e", "A B.COM"}, bad + "A B.COM" + format},
  };
  // clang-format on
  for (const auto& c : cases) {
    const std::string outs[] = {"", head(c.args), report(c.args, {})};
    run(c.args, outs[c.out], c.err);
  }
  EXPECT_EQ(box.read_file("x.t1"), before);
  EXPECT_EQ(box.read_file("x.wide"), wide);
}

// A CP/M file named like the image, extracted beside it, must not replace the disk.
TEST_F(Files, NeverReplacesTheImageItself) {
  formatted(box, "IMG.T1");
  box.write_file("A.COM", "a");
  box.run({"IMG.T1", "-a", "A.COM", "-afn", "IMG.T1"});
  const std::string image = box.read_file("IMG.T1");
  run({"IMG.T1", "-x", "IMG.T1"}, head({"IMG.T1", "-x", "IMG.T1"}),
      "File `IMG.T1` already exist !!!\n");
  EXPECT_EQ(box.read_file("IMG.T1"), image);
}

TEST_F(Files, OverwriteErasesTheNameInEveryAreaFirstAndKeepsCrossLinkedUnits) {
  formatted(box, "x.t1");
  box.write_file("A.COM", bytes(3000, 7));
  box.run({"x.t1", "-a", "A.COM", "-u", "7"});
  box.write_file(kLong, "newer");  // -afn names the file replaced
  check({"x.t1", "-a", kLong, "-afn", "a.com", "-ow"}, {"a.com"});
  // The area 7 entry went first, so the new one takes its place.
  EXPECT_EQ(entry(0) + entry(1)[0], run_entry(0, "A", "COM", 1, 2, 1) + "\xE5");

  // B.COM names unit 2 as well: it stays in use when A.COM goes.
  std::string image = box.read_file("x.t1");
  box.write_file("x.t1", image.replace(32, 32, run_entry(0, "B", "COM", 1, 2, 1)));
  box.write_file(kLong, "newest");
  check({"x.t1", "-a", kLong, "-afn", "a.com", "-ow"}, {"a.com"});
  EXPECT_EQ(entry(0) + entry(1),
            run_entry(0, "A", "COM", 1, 3, 1) + image.substr(32, 32));
  EXPECT_EQ(box.read_file("x.t1").substr(2048, 1030), padded("newer", 1024) + "newest");
}

// [tiny]: 9 free units of 1 KiB, 32 entries.
TEST_F(Files, FullDiskOrDirectoryEndsTheRunAndSavesWhatWasAdded) {
  box.make_dir("disk");
  for (const auto& [name, size] : {std::pair{"A", 4096}, {"B", 4000}, {"C", 1025}})
    box.write_file(std::string("disk/") + name, bytes(size, 0));
  formatted(box, "x.tiny");
  check({"x.tiny", "-a", "disk/*"}, {"A", "B"}, "Disk full !!!\n");
  EXPECT_EQ(entry(1, "x.tiny") + entry(2, "x.tiny")[0],
            run_entry(0, "B", "", 32, 5, 4) + "\xE5");

  // More host files than the list first holds; entries run out after F129.
  box.make_dir("dir");
  Args names;
  for (int i = 100; i < 140; ++i) {
    box.write_file("dir/F" + std::to_string(i), "");
    if (i < 130) names.push_back("F" + std::to_string(i));
  }
  box.write_file("dir/bad name", "");
  check({"x.tiny", "-a", "dir/*"}, names,
        "Name of this file `bad name` has incorrect format !!!\nDirectory full !!!\n");
  EXPECT_EQ(entry(31, "x.tiny"), run_entry(0, "F129", "", 0, 0, 0));
}

TEST_F(Files, MissingImageIsCreatedAndTnsEntriesAreKeptByAddAndErase) {
  box.write_file("A.COM", bytes(3000, 3));
  run({"new.t1", "-a", "A.COM"},
      "Image 'new.t1' was created.\nImage 'new.t1' was formated.\n" +
          report({"new.t1", "-a", "A.COM"}, {"A.COM"}));

  // Entry 0 is the label, entries 1 and 2 the map (units 0 and 1 in use).
  std::string tns = formatted(box, "x.t1", {"-tns"});
  ASSERT_EQ(tns.substr(15, 1) + tns[47] + tns[79] + tns[33], "\xFF\xFE\xFE\x03");
  check({"x.t1", "-a", "A.COM", "-tns"}, {"A.COM"});
  tns.replace(96, 32, run_entry(0, "A", "COM", 24, 2, 3))
      .replace(2048, 3000, bytes(3000, 3));
  tns[33] = '\x1F';  // units 0 to 4
  EXPECT_EQ(box.read_file("x.t1"), tns);
  tns[33] = '\x7F';  // a stale map is brought up to date by an erase
  box.write_file("x.t1", tns);
  check({"x.t1", "-e", "*.*", "-tns"}, {"A.COM"});
  tns[33] = '\x03';
  tns[96] = '\xE5';
  EXPECT_EQ(box.read_file("x.t1"), tns);
}

TEST_F(Files, HandMadeEntriesAreReadAsStored) {
  std::string image = formatted(box, "x.t1");
  const Layout at{0};
  // Z.DAT: unit 3 lies behind a zero pointer; 144 records claimed, 24 stored.
  put_entry(image, 0, 0, "Z", "DAT", 0, 0, 0x80, {2, 0, 3}, at);
  put_entry(image, 1, 0, "Z", "DAT", 1, 0, 16, {4, 5}, at);
  put_entry(image, 2, 0, "R", "DAT", 0, 0, 3, {6, 7}, at);  // 3 records of 16
  put_entry(image, 3, 0, "C|D", "T\"T", 0, 0, 0, {}, at);
  for (int au = 2; au <= 7; ++au) image.replace(1024 * au, 1024, bytes(1024, au));
  box.write_file("x.t1", image);
  run({"x.t1", "-x", "*.*", "-u", "0"},
      head({"x.t1", "-x", "*.*"}) +
          "File 'Z.DAT' extracted\nFile 'R.DAT' extracted\n"
          "File 'C|D.T\"T' extracted as C_D.T_T\n\nDone. 3 file(s) extracted.\n\n");
  EXPECT_EQ(box.read_file("Z.DAT"), bytes(1024, 2) + bytes(1024, 4) + bytes(1024, 5));
  EXPECT_EQ(box.read_file("R.DAT"), bytes(384, 6));
}

}  // namespace
}  // namespace xev::test
