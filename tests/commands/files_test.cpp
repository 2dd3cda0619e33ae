// -a, -x and -e on types without skew or system area: entry i lies at byte
// 32 i, unit a at a * BLS KiB.
#include <gtest/gtest.h>

#include <array>
#include <filesystem>
#include <tuple>

#include "support/harness.h"

namespace xev::test {
namespace {

// [sub]: EXM 0 where 16 pointers would allow 1, so 8 pointers an entry.
// [wide]: 16-bit pointers to 1 KiB units hold less than EXM 0 asks for.
const std::string kIni =
    section("t1", 26, 1, 0, 242, 63) + section("t2", 32, 2, 1, 199, 63) +
    section("t4", 64, 4, 3, 255, 127) + section("big", 64, 4, 1, 2100, 1023) +
    section("sub", 32, 2, 0, 155, 63) + section("wide", 32, 1, 0, 300, 63) +
    section("tiny", 8, 1, 0, 9, 31);

// Each file is added, read back, erased (byte 0 of its entries only) and added
// again into the units given back: the same image. Whole images and files
// compare without a dump of their bytes.
TEST(Files, EntriesPointersAndFillOfEachSizeReadBackAndEraseCleanly) {
  Folder folder;
  folder.write("xev.ini", kIni);
  std::filesystem::create_directory(folder.path("out"));
  // The unit size in KiB, the size, and entries as index, RC, first unit,
  // units, EX and S2. The file's first unit is the first one behind the
  // directory, and the zeros written from there on show the fill.
  const std::tuple<std::string, int, std::size_t, std::vector<std::array<int, 6>>>
      rows[] = {
          {"t1", 1, 200, {{0, 2, 2, 1, 0, 0}}},
          {"t1", 1, 0, {{0, 0, 2, 0, 0, 0}}},
          {"t2", 2, 40960, {{0, 128, 1, 16, 1, 0}, {1, 64, 17, 4, 2, 0}}},
          {"sub", 2, 24576, {{0, 128, 1, 8, 0, 0}, {1, 64, 9, 4, 1, 0}}},
          {"t4", 4, 548864, {{0, 128, 1, 16, 3, 0}, {8, 64, 129, 6, 1, 1}}},
          {"big", 4, 8388608, {{0, 128, 8, 8, 1, 0}, {255, 128, 2048, 8, 31, 15}}},
      };
  for (const auto& [type, k, size, entries] : rows) {
    const std::string image = "x." + type, bytes = noise(size, 1);
    SCOPED_TRACE(image + " " + std::to_string(size));
    const int w = type == "big" ? 2 : 1;  // bytes a pointer
    const std::size_t start = entries[0][2] * k * 1024;
    folder.write("F.D", bytes);
    ASSERT_EQ(run(folder, image + " -f").status, 0);
    patch(folder, image, start, std::string(folder.read(image).size() - start, '\0'));
    ASSERT_EQ(run(folder, image + " -a F.D").status, 0);
    const std::string added = folder.read(image);
    for (const auto& [index, rc, first, units, ex, s2] : entries) {
      std::string expected = entry(0, "F", "D", ex, s2, rc);
      for (int i = 0; i < units * w; ++i)
        expected[16 + i] = char((first + i / w) >> i % w * 8);
      EXPECT_EQ(added.substr(32 * index, 32), expected) << index;
    }
    // -n % m: what is missing to a multiple of m.
    const std::string fill(-size % (k * 1024), '\xE5');
    EXPECT_TRUE(added.substr(start, size + fill.size()) == bytes + fill);
    EXPECT_EQ(run(folder, image + " -x none/*.*").err, "File `F.D` already exist !!!\n");
    EXPECT_EQ(run(folder, image + " -x out/F.D").status, 0);
    EXPECT_TRUE(folder.read("out/F.D") == bytes + fill.substr(0, -size % 128));
    EXPECT_EQ(run(folder, image + " -e f.d").status, 0);
    std::string erased = added;
    for (std::size_t i = 0; i < start; i += 32)
      if (erased[i] == '\0') erased[i] = '\xE5';
    EXPECT_TRUE(folder.read(image) == erased);
    EXPECT_EQ(run(folder, image + " -a F.D").status, 0);
    EXPECT_TRUE(folder.read(image) == added);
  }
}

TEST(Files, AddRefusesWhatDoesNotFitAndGoesOnWhereItCan) {
  Folder folder;
  folder.write("xev.ini", kIni);
  std::filesystem::create_directories(folder.path("in/SUB"));  // no file: never added
  folder.write("in/A.TXT", "a");
  folder.write("in/B.TXT", std::string(9300, 'b'));
  folder.write("in/a-long-name.txt", "long");
  folder.write("in/OVER", "");
  std::filesystem::resize_file(folder.path("in/OVER"), 8388609);
  // The status, the files added (-1: no closing line) and the errors.
  const std::tuple<int, int, std::string, std::string> rows[] = {
      {14, 2, "a.t1 -a in/*",
       "Name of this file `a-long-name.txt` has incorrect format !!!\n"
       "File `OVER` is too long (8388609 bytes). Max length is 8MB. !!!\n"},
      {12, 0, "a.t1 -a in/?.TXT",
       "File `A.TXT` already exist !!!\nFile `B.TXT` already exist !!!\n"},
      {0, 1, "a.t1 -a in/a-long-name.txt -afn a~z.txt -u 3", ""},
      {27, -1, "a.t1 -a in/a-long-name.txt -afn l*.txt",
       "File name `l*.txt` must be unambiguous! !!!\n"},
      {14, -1, "a.t1 -a in/A.TXT -afn l;.txt",
       "Name of this file `l;.txt` has incorrect format !!!\n"},
      {14, -1, "a.t1 -a in/A.TXT -afn abcdefghij.t",
       "Name of this file `abcdefghij.t` has incorrect format !!!\n"},
      {25, -1, "a.t1 -a in/*.none", "No matching files found for mask `in/*.none` !!!\n"},
      {26, -1, "a.t1 -a gone/*", "Path or file/mask `gone/*` is invalid!!! !!!\n"},
      {26, -1, "a.t1 -a in/SU*", "Path or file/mask `in/SU*` is invalid!!! !!!\n"},
      {10, 0, "b.tiny -a in/B.TXT", "Disk full !!!\n"},
      {19, -1, "b.wide -a in/A.TXT", "Error in definition for Image type `wide` !!!\n"},
  };
  for (const auto& [status, added, args, err] : rows) {
    const Result r = run(folder, args);
    const std::string done = "\nDone. " + std::to_string(added) + " file(s) added.\n\n";
    EXPECT_EQ(r.err + std::to_string(r.status), err + std::to_string(status)) << args;
    EXPECT_EQ(r.out.find(done) != std::string::npos, added >= 0) << args;
  }
  EXPECT_EQ(run(folder, "a.t1 -a in/A.TXT -afn x.y").out,
            "Adding file(s) to 'a.t1'\n  path: 'in/', mask: 'A.TXT'\n  as 'x.y'\n\n"
            "File 'x.y' added\n\nDone. 1 file(s) added.\n\n");
  const std::string listed = run(folder, "a.t1 -c1 -c").out;
  EXPECT_NE(listed.find(" 3 A~Z.TXT          1    1K  --"), std::string::npos);
  // A free unit is no use without a free entry: 32 entries, 33 empty files.
  for (int i = 0; i < 33; ++i) folder.write("in/F" + std::to_string(i), "");
  const Result full = run(folder, "c.tiny -a in/F*");
  EXPECT_EQ(full.err, "Directory full !!!\n");
  EXPECT_NE(full.out.find("\nDone. 32 file(s) added.\n"), std::string::npos);
}

TEST(Files, ExtractNamesAndMisses) {
  Folder folder;
  folder.write("xev.ini", kIni);
  ASSERT_EQ(run(folder, "ABCDEFGH.T1 -f").status, 0);
  std::filesystem::create_directory(folder.path("out"));
  patch(folder, "ABCDEFGH.T1", 0,
        entry(0, "A/B|CDEF", "D", 0, 0, 1, {2}) + entry(0, "ABCDEFGH", "T1", 0, 0, 1, {3}));
  // All a run prints, after the heading (none for a bad name).
  const std::string heading = "Extracting file(s) from 'ABCDEFGH.T1'\n  path: 'out/', mask: '";
  const std::pair<std::string, std::string> rows[] = {
      {"A?B?CDEF.D",
       "File 'A/B|CDEF.D' extracted as A_B_CDEF.D\n\nDone. 1 file(s) extracted.\n\n"},
      {"Z.*", "\nDone. 0 file(s) extracted.\n\n"},
      {"Z", "File `Z` not found !!!\n"},
      {"|", "Name of this file `|` has incorrect format !!!\n"},
  };
  for (const auto& [mask, text] : rows) {
    const Result r = run(folder, "ABCDEFGH.T1 -x out/" + mask);
    EXPECT_EQ(r.out + r.err, (mask == "|" ? "" : heading + mask + "'\n\n") + text);
  }
  EXPECT_EQ(folder.read("out/A_B_CDEF.D"), std::string(128, '\xE5'));
  // The image's own name is never a target.
  EXPECT_EQ(run(folder, "ABCDEFGH.T1 -x ABCDEFGH.T1").err,
            "File `ABCDEFGH.T1` already exist !!!\n");
  EXPECT_EQ(run(folder, "ABCDEFGH.T1 -e ABCDEFGH.T1").out,
            "Erasing file(s) from 'ABCDEFGH.T1', mask: 'ABCDEFGH.T1'\n\n"
            "File 'ABCDEFGH.T1' erased\n\nDone. 1 file(s) erased.\n\n");
}

}  // namespace
}  // namespace xev::test
