// -w, -i and -s move the system area as one block and never read the directory.
#include <gtest/gtest.h>
#include <unistd.h>

#include <string>
#include <vector>

#include "commands/disk_builder.h"

namespace xev::test {
namespace {

struct Type {
  std::string ext;
  int system_size, image_size;
};
// A system area of two tracks; none; two whole 16 KiB blocks and a part.
const Type kDsk{"dsk", 6656, 256256}, kNos{"nos", 0, 249600}, kBig{"big", 38400, 288000};

// Bytes that differ from place to place, so that a misplaced block shows.
std::string pattern(int size, int seed) {
  std::string bytes(std::size_t(size), '\0');
  for (int i = 0; i < size; ++i) bytes[i] = char((i * 7 + seed + i / 251) & 0xFF);
  return bytes;
}

class SystemTracks : public ::testing::Test {
 protected:
  void SetUp() override {
    box.write_ini(ini_section("dsk", 26, 1, 0, 242, 63, 2) +
                  ini_section("nos", 26, 1, 0, 242, 63, 0) +
                  ini_section("big", 26, 1, 0, 242, 63, 0, "OFFX=300\n"));
    box.make_dir("sub");
  }
  std::string make(const std::string& name, const Type& type, int seed = 1) {
    box.write_file(name, pattern(type.image_size, seed));
    return box.read_file(name);
  }
  // Runs xev on `image` and expects it to be `after` (unchanged when empty).
  void expect(std::vector<std::string> args, const std::string& done, const std::string& err,
              std::string after = "") {
    SCOPED_TRACE(args[1] + " " + args[2]);
    const std::string before = box.read_file(args[0]);
    const CliResult result = box.run(args);
    EXPECT_EQ(result.out, kBanner + (done.empty() ? "" : "\nDone. System " + done + ".\n\n"));
    EXPECT_EQ(result.err + std::to_string(result.status), err + "0");
    EXPECT_TRUE(box.read_file(args[0]) == (after.empty() ? before : after));
  }
  Sandbox box;
};

TEST_F(SystemTracks, WriteCopyAndSaveMoveExactlyTheSystemArea) {
  make("t.nos", kNos);
  expect({"t.nos", "-w", "sub/x"}, "", "Image `t.nos` does not contain system track !!!\n");
  // The directory is never read: a corrupt one does not stop -w or -s.
  std::string image = make("t.dsk", kDsk);
  box.write_file("t.dsk", image.replace(6656, 32, std::string(32, ' ')));
  box.write_file("sub/sys.bin", "NEW");
  expect({"t.dsk", "-w", "sub/sys.bin"}, "written", "", image.replace(0, 3, "NEW"));
  box.write_file("sub/sys.bin", pattern(6657, 3));
  expect({"t.dsk", "-w", "sub/sys.bin"}, "",
         "System file `sys.bin` is too long. Max. length is 6656 bytes !!!\n");
  expect({"t.dsk", "-w", "sub/none.bin"}, "", "Can't open file `none.bin` !!!\n");
  expect({"t.dsk", "-s", "sub/sys.bin"}, "extracted", "");  // over a larger file
  EXPECT_TRUE(box.read_file("sub/sys.bin") == image.substr(0, 6656));
  expect({"t.dsk", "-s", "/dev/full"}, "", "Error on write to the file `full` !!!\n");
  make("b.DSK", kDsk);
  expect({"t.dsk", "-i", "b.DSK"}, "",
         "Image `b.DSK` is of different type as main image `t.dsk` !!!\n");
  // Two whole 16 KiB blocks and a part.
  image = make("a.big", kBig);
  const std::string second = make("sub/b.big", kBig, 77);
  expect({"a.big", "-i", "sub/b.big"}, "copied", "", second.substr(0, 38400) + image.substr(38400));
}

// Saving over the image itself would delete the disk; a link to it is only a name.
TEST_F(SystemTracks, SaveNeverReplacesTheImage) {
  const std::string image = make("t.dsk", kDsk);
  expect({"t.dsk", "-s", "sub/../t.dsk"}, "", "File `t.dsk` already exist !!!\n");
  // Windows sees a POSIX link as the file it points to.
  if (running_under_wine()) GTEST_SKIP() << "Wine shows a symbolic link as its target";
  ASSERT_EQ(::symlink("t.dsk", box.path("link.bin").c_str()), 0);
  expect({"t.dsk", "-s", "link.bin"}, "extracted", "");
  EXPECT_TRUE(box.read_file("link.bin") == image.substr(0, 6656));
}

}  // namespace
}  // namespace xev::test
