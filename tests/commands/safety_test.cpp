// What keeps data safe: failed commands set the exit status, files with holes
// or entries out of order are read and erased whole, nothing is overwritten
// twice or through a link, and runs on one image wait for each other.
#include <gtest/gtest.h>

#include <filesystem>

#include "cpm/image.h"
#include "platform/platform.h"
#include "support/harness.h"

namespace xev::test {
namespace {

// 1 KiB units of 8 records, an extent per entry, 32 entries in unit 0.
class Safety : public ::testing::Test {
 protected:
  void SetUp() override {
    folder.write("xev.ini", section("t", 32, 1, 0, 99, 31));
    ASSERT_EQ(xev(folder, {"s.t", "-f"}).status, 0);
    std::filesystem::create_directory(folder.path("in"));
  }
  void put(const std::string& bytes, int at = 0) { patch(folder, "s.t", at, bytes); }
  std::string unit(int au, int n) { return folder.read("s.t").substr(au * 1024, n); }
  // Whether the listing in one column and directory order holds `part`.
  testing::AssertionResult lists(const std::string& part) {
    const std::string out = xev(folder, {"s.t", "-iide", "-c1", "-cu", "-c"}).out;
    return testing::AssertionResult(out.find(part) != std::string::npos) << out;
  }
  Folder folder;
};

TEST_F(Safety, FailedCommandsEndWithTheirNumber) {
  put(entry(0, "A", "TXT", 0, 0, 1, {1}));
  EXPECT_EQ(xev(folder, {"s.t", "-t", "NONE"}).status, 13);
  EXPECT_EQ(xev(folder, {"s.t", "-h", "*.TXT"}).status, 27);
  EXPECT_EQ(xev(folder, {"s.t", "-e", "NONE"}).status, 0);
  EXPECT_EQ(xev(folder, {"s.t", "-sa", "NONE", "RS"}).status, 0);
  EXPECT_EQ(xev(folder, {"s.t", "-x", "gone/A.TXT"}).status, 6);
  // The last free entry takes a file of exactly one entry's 16 KiB.
  for (int i = 1; i < 31; ++i) put(entry(0, "F" + std::to_string(i), "", 0, 0, 0), 32 * i);
  folder.write("in/X", std::string(16384, 'x'));
  EXPECT_EQ(xev(folder, {"s.t", "-a", "in/X"}).status, 0);
}

// A zero pointer between units, units missing at the end of an entry, an
// extent without an entry, and extents out of directory order.
TEST_F(Safety, HolesAndEntriesOutOfOrder) {
  for (int au = 1; au <= 6; ++au) put(std::string(1024, '0' + au), au * 1024);
  put(entry(0, "R", "", 2, 0, 3, {5}) + entry(0, "R", "", 0, 0, 0x80, {1, 0, 2}) +
      entry(0, "Z", "", 0, 0, 8, {0, 0, 6}));
  const std::string zeros(1024, '\0');
  const std::string r =
      unit(1, 1024) + zeros + unit(2, 1024) + std::string(29 * 1024, '\0') + unit(5, 384);
  // Units 1, 2, 5 and 6 in use.
  EXPECT_TRUE(lists(" 0 R              259   33K  --\n 0 Z                8    1K  --"));
  EXPECT_TRUE(lists("\n34K in 2 file(s), 95K free\n"));
  EXPECT_EQ(xev(folder, {"s.t", "-x", "*.*"}).status, 0);
  EXPECT_EQ(folder.read("R") + folder.read("Z"), r + zeros);
  // The next file goes around every unit in use; erasing gives back the
  // units and entries of every extent.
  folder.write("N", std::string(3000, 'n'));
  EXPECT_EQ(xev(folder, {"s.t", "-a", "N"}).status, 0);
  EXPECT_EQ(unit(3, 3) + unit(4, 3) + unit(7, 3), "nnnnnnnnn");
  EXPECT_NE(xev(folder, {"s.t", "-e", "R"}).out.find("'R.' erased\n\nDone. 1 file(s)"),
            std::string::npos);
  EXPECT_TRUE(lists("\n4K in 2 file(s), 95K free\n30 directory entries free\n"));
}

TEST_F(Safety, UserAreasHoldOneFileOfAName) {
  put(entry(1, "C", "SUB", 0, 0, 1, {1}) + entry(2, "C", "\xD3UB", 0, 0, 1, {2}) +
      entry(3, "C", "SUB", 0, 0, 1, {3}) + entry(2, "D", "SUB", 0, 0, 1, {4}));
  for (int au = 1; au <= 3; ++au) put(std::string(128, '0' + au), au * 1024);
  const std::string exists = "File `C.SUB` already exist !!!\n", twice = exists + exists;
  Result run = xev(folder, {"s.t", "-su", "*.SUB", "2"});
  EXPECT_EQ(run.err + run.out + std::to_string(run.status),
            twice +
                "Setting user area to '2', mask: '*.SUB'\n\nUser area for 'C.SUB' set.\n"
                "User area for 'D.SUB' set.\n\nDone. User area set for 2 file(s).\n\n12");
  // Sorted by name, one name keeps the order of its areas.
  EXPECT_NE(xev(folder, {"s.t", "-c1", "-c"}).out.find("1K  --\n 2 C.SUB            1    1K  R-\n 3"),
            std::string::npos);
  // Three user areas, one host name: only the first is written.
  run = xev(folder, {"s.t", "-x", "in/C.SUB"});
  EXPECT_EQ(run.err + run.out.substr(run.out.find("File")),
            twice + "File 'C.SUB' extracted\n\nDone. 1 file(s) extracted.\n\n");
  EXPECT_EQ(folder.read("in/C.SUB"), std::string(128, '1'));
  // A name that is a folder on the host is left out; the others go on.
  put(entry(0, "..", "", 0, 0, 0) + entry(0, "Q", "", 0, 0, 0));
  EXPECT_EQ(xev(folder, {"s.t", "-x", "in/*.*"}).err,
            "Name of this file `..` has incorrect format !!!\n");
  EXPECT_TRUE(folder.exists("in/Q"));
}

// -ow erases an old version only for a replacement that is added; a host
// name is never a mask, and a link is never written through.
TEST_F(Safety, OverwriteTouchesOnlyWhatIsReplaced) {
  folder.write("in/A", std::string(40 * 1024, 'a'));
  folder.write("in/B", std::string(60 * 1024, 'b'));
  folder.write("in/C", "c");
  folder.write("in/*.TXT", "star");
  folder.write("in/A?.TXT", "mark");
  put(entry(2, "A", "", 0, 0, 8, {1}) + entry(5, "B", "", 0, 0, 8, {2}) +
      entry(0, "C", "", 0, 0, 8, {3}) + entry(0, "X", "TXT", 0, 0, 1, {4}));
  const Result run = xev(folder, {"s.t", "-a", "in/*", "-ow"});
  EXPECT_EQ(run.err,
            "Name of this file `*.TXT` has incorrect format !!!\n"
            "Name of this file `A?.TXT` has incorrect format !!!\nDisk full !!!\n");
  EXPECT_NE(run.out.find("File 'A' added\n\nDone. 1 file(s) added."), std::string::npos);
  // A took the entry its old version freed.
  EXPECT_TRUE(lists(" 0 A              320   40K  --\n 5 B                8    1K  --"));
  EXPECT_TRUE(lists(" 0 C                8    1K  --\n 0 X.TXT            1    1K  --"));
  // A link at the target is replaced, never written through.
  folder.write("kept", "kept");
  std::filesystem::create_symlink(folder.path("kept"), folder.path("X.TXT"));
  EXPECT_EQ(xev(folder, {"s.t", "-x", "X.TXT"}).status, 0);
  EXPECT_FALSE(std::filesystem::is_symlink(folder.path("X.TXT")));
  // A link planted after the old file is removed is not written through.
  std::filesystem::create_symlink(folder.path("kept"), folder.path("planted"));
  EXPECT_EQ(platform::create_exclusive(folder.path("planted")), nullptr);
  EXPECT_EQ(folder.read("kept"), "kept");
  // Names from the image reach the console without control codes.
  put(entry(0, "\x1B[2J", "", 0, 0, 0));
  EXPECT_TRUE(lists("\n 0 ?[2J    "));
}

// A run that finds the image locked fails when its wait is over; readers
// share, a writer is alone.
TEST_F(Safety, RunsOnOneImageWaitForEachOther) {
  Geometry geometry;
  geometry.image_size = static_cast<int>(folder.read("s.t").size());
  std::vector<OpenedImage> held;
  const auto open = [&](bool read_only) {
    held.emplace_back();
    return open_image(folder.path("s.t"), "s.t", geometry, {read_only}, held.back()).code;
  };
  EXPECT_EQ(open(true), ERR_OK);
  EXPECT_EQ(open(true), ERR_OK);
  EXPECT_EQ(open(false), ERR_IMAGE_BUSY);
  held.clear();
  EXPECT_EQ(open(false), ERR_OK);
  EXPECT_EQ(open(true), ERR_IMAGE_BUSY);
}

}  // namespace
}  // namespace xev::test
