// What keeps data safe: failed commands set the exit status, files with holes
// or entries out of order are read and erased whole, nothing is overwritten
// twice or through a link, and runs on one image wait for each other.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <cstdio>
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
  }
  void put(const std::string& entries) { patch(folder, "s.t", 0, entries); }
  std::string unit(int au, std::size_t size = 1024) { return folder.read("s.t").substr(au * 1024, size); }
  Folder folder;
};

TEST_F(Safety, FailedCommandsEndWithTheirNumber) {
  put(entry(0, "A", "TXT", 0, 0, 1, {1}) + entry(0x22, "BAD", "", 0, 0, 0));
  const std::pair<std::vector<std::string>, int> rows[] = {
      {{"-iide", "-t", "NONE"}, 13}, {{"-iide", "-h", "*.TXT"}, 27}, {{"-iide", "-e", "NONE"}, 0},
      {{"-iide", "-sa", "NONE", "RS"}, 0}, {{"-iide", "-c", "A.TXT"}, 0}, {{"-c"}, 15},
      {{"-iide", "-x", "gone/A.TXT"}, 6},
  };
  for (const auto& [args, status] : rows) {
    std::vector<std::string> line{"s.t"};
    line.insert(line.end(), args.begin(), args.end());
    EXPECT_EQ(xev(folder, line).status, status) << args[1];
  }
}

// A zero pointer between units, units missing at the end of an entry, an
// extent without an entry, and extents out of directory order.
TEST_F(Safety, HolesAndEntriesOutOfOrder) {
  for (int au = 1; au <= 6; ++au) patch(folder, "s.t", au * 1024, std::string(1024, char('0' + au)));
  put(entry(0, "R", "", 2, 0, 3, {5}) + entry(0, "R", "", 0, 0, 0x80, {1, 0, 2}) +
      entry(0, "Z", "", 0, 0, 8, {0, 0, 6}));
  const std::string zeros(1024, '\0');
  const std::string r = unit(1) + zeros + unit(2) + std::string(13 * 1024 + 16 * 1024, '\0') +
                        unit(5, 384);
  Result run = xev(folder, {"s.t", "-c1", "-c"});
  EXPECT_NE(run.out.find(" 0 R              259   33K  --\n 0 Z                8    1K  --\n"),
            std::string::npos) << run.out;
  EXPECT_NE(run.out.find("95K free"), std::string::npos);  // units 1, 2, 5, 6 in use
  EXPECT_EQ(xev(folder, {"s.t", "-x", "*.*"}).status, 0);
  EXPECT_EQ(folder.read("R"), r);
  EXPECT_EQ(folder.read("Z"), zeros);
  // The next file goes around every unit in use; erasing gives them back.
  folder.write("N", std::string(3000, 'n'));
  EXPECT_EQ(xev(folder, {"s.t", "-a", "N"}).status, 0);
  EXPECT_EQ(unit(3, 3), "nnn");
  EXPECT_EQ(unit(7, 3), "nnn");
  EXPECT_EQ(xev(folder, {"s.t", "-e", "R"}).out, "Erasing file(s) from 's.t', mask: 'R'\n\n"
                                                  "File 'R.' erased\n\nDone. 1 file(s) erased.\n\n");
  EXPECT_EQ(folder.read("s.t").substr(0, 1) + folder.read("s.t").substr(32, 1), "\xE5\xE5");
  EXPECT_NE(xev(folder, {"s.t", "-c"}).out.find("95K free"), std::string::npos);
}

TEST_F(Safety, UserAreasHoldOneFileOfAName) {
  put(entry(1, "C", "SUB", 0, 0, 1, {1}) + entry(2, "C", "\xD3UB", 0, 0, 1, {2}) +
      entry(3, "C", "SUB", 0, 0, 1, {3}) + entry(2, "D", "SUB", 0, 0, 1, {4}));
  for (int au = 1; au <= 3; ++au) patch(folder, "s.t", au * 1024, std::string(128, char('0' + au)));
  Result run = xev(folder, {"s.t", "-su", "*.SUB", "2"});
  EXPECT_EQ(run.err, "File `C.SUB` already exist !!!\nFile `C.SUB` already exist !!!\n");
  EXPECT_EQ(run.status, 12);
  EXPECT_NE(run.out.find("User area for 'C.SUB' set.\nUser area for 'D.SUB' set.\n\n"
                         "Done. User area set for 2 file(s)."), std::string::npos);
  // Three user areas, one host name: only the first is written.
  std::filesystem::create_directory(folder.path("out"));
  run = xev(folder, {"s.t", "-x", "out/C.SUB"});
  EXPECT_EQ(run.err, "File `C.SUB` already exist !!!\nFile `C.SUB` already exist !!!\n");
  EXPECT_NE(run.out.find("\nDone. 1 file(s) extracted."), std::string::npos);
  EXPECT_EQ(folder.read("out/C.SUB"), std::string(128, '1'));
  // A name that is a folder on the host is left out; the others go on.
  put(entry(0, "..", "", 0, 0, 0) + entry(0, "Q", "", 0, 0, 0));
  run = xev(folder, {"s.t", "-x", "out/*.*"});
  EXPECT_EQ(run.err, "Name of this file `..` has incorrect format !!!\n");
  EXPECT_TRUE(folder.exists("out/Q"));
}

// -ow erases an old version only for a replacement that is added.
TEST_F(Safety, OverwriteKeepsWhatIsNotReplaced) {
  std::filesystem::create_directory(folder.path("in"));
  folder.write("in/A", std::string(40 * 1024, 'a'));
  folder.write("in/B", std::string(60 * 1024, 'b'));
  folder.write("in/C", "c");
  folder.write("in/O", "");
  std::filesystem::resize_file(folder.path("in/O"), 8388609);
  put(entry(2, "A", "", 0, 0, 8, {1}) + entry(5, "B", "", 0, 0, 8, {2}) + entry(0, "C", "", 0, 0, 8, {3}) +
      entry(0, "O", "", 0, 0, 8, {4}));
  const Result run = xev(folder, {"s.t", "-a", "in/*", "-ow"});
  EXPECT_EQ(run.err, "Disk full !!!\n");
  EXPECT_NE(run.out.find("File 'A' added\n\nDone. 1 file(s) added."), std::string::npos);
  const std::string listed = xev(folder, {"s.t", "-c1", "-cu", "-c"}).out;
  // A took the entry its old version freed.
  EXPECT_NE(listed.find(" 0 A              320   40K  --\n 5 B                8    1K  --\n"
                        " 0 C                8    1K  --\n 0 O                8    1K  --\n"),
            std::string::npos) << listed;
}

TEST_F(Safety, HostNamesThatAreMasksOrLinks) {
  std::filesystem::create_directory(folder.path("in"));
  folder.write("in/*.TXT", "star");
  folder.write("in/A?.TXT", "mark");
  folder.write("in/B.TXT", "b");
  put(entry(0, "X", "TXT", 0, 0, 1, {1}));
  Result run = xev(folder, {"s.t", "-a", "in/*", "-ow"});
  EXPECT_EQ(run.err, "Name of this file `*.TXT` has incorrect format !!!\n"
                     "Name of this file `A?.TXT` has incorrect format !!!\n");
  EXPECT_EQ(xev(folder, {"s.t", "-c"}).out.find("X.TXT") != std::string::npos, true);
  // A link at the target is replaced, never written through.
  folder.write("kept", "kept");
  std::filesystem::create_symlink(folder.path("kept"), folder.path("B.TXT"));
  EXPECT_EQ(xev(folder, {"s.t", "-x", "B.TXT"}).status, 0);
  EXPECT_EQ(folder.read("kept"), "kept");
  EXPECT_FALSE(std::filesystem::is_symlink(folder.path("B.TXT")));
  // A link planted after the old file is removed is not written through.
  std::filesystem::create_symlink(folder.path("kept"), folder.path("planted"));
  EXPECT_EQ(platform::create_exclusive(folder.path("planted")), nullptr);
  EXPECT_EQ(folder.read("kept"), "kept");
  // Names from the image reach the console without control codes.
  put(entry(0, "\x1B[2J", "", 0, 0, 0));
  run = xev(folder, {"s.t", "-iide", "-c1", "-c"});
  EXPECT_NE(run.out.find(" 0 ?[2J"), std::string::npos);
  EXPECT_EQ(run.out.find('\x1B'), std::string::npos);
}

// A run that finds the image locked fails when its wait is over; readers
// share, a writer is alone.
TEST_F(Safety, RunsOnOneImageWaitForEachOther) {
  Geometry geometry;
  geometry.image_size = static_cast<int>(folder.read("s.t").size());
  const auto open = [&](bool read_only) {
    OpenedImage image;
    const Error error = open_image(folder.path("s.t"), "s.t", geometry, {read_only, false, false, 0}, image);
    return std::make_pair(error.code, std::move(image.medium));
  };
  auto reader = open(true);
  ASSERT_EQ(reader.first, ERR_OK);
  EXPECT_EQ(open(true).first, ERR_OK);
  EXPECT_EQ(open(false).first, ERR_IMAGE_BUSY);
  reader.second.reset();
  auto writer = open(false);
  EXPECT_EQ(writer.first, ERR_OK);
  EXPECT_EQ(open(true).first, ERR_IMAGE_BUSY);
}

}  // namespace
}  // namespace xev::test
