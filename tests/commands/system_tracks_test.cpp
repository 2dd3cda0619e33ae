// -w, -i and -s: the system area moves as one block; the directory is never
// looked at.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <string>
#include <vector>

#include "support/sandbox.h"

namespace xev::test {
namespace {

const char* const kIni =
    "[dsk]\nSPT=26\nXLT=0\nBLS=1\nEXM=0\nDSM=242\nDRM=63\nOFF=2\n"
    // No system area at all.
    "[nos]\nSPT=26\nXLT=0\nBLS=1\nEXM=0\nDSM=242\nDRM=63\nOFF=0\n"
    // A system area of two whole 16 KiB blocks and a part of one.
    "[big]\nSPT=26\nXLT=0\nBLS=1\nEXM=0\nDSM=242\nDRM=63\nOFF=0\nOFFX=300\n"
    // One record only, smaller than any stream buffer.
    "[one]\nSPT=26\nXLT=0\nBLS=1\nEXM=0\nDSM=242\nDRM=63\nOFF=0\nOFFX=1\n";

struct Type {
  const char* extension;
  int system_size;
  int image_size;
};
constexpr Type kDsk{"dsk", 6656, 256256};
constexpr Type kNos{"nos", 0, 249600};
constexpr Type kBig{"big", 38400, 288000};
constexpr Type kOne{"one", 128, 249728};

// Bytes that differ from position to position, so that a misplaced block shows.
std::string pattern(int size, int seed) {
  std::string bytes(static_cast<std::size_t>(size), '\0');
  for (int i = 0; i < size; ++i) bytes[i] = static_cast<char>((i * 7 + seed + i / 251) & 0xFF);
  return bytes;
}

class SystemTracksTest : public ::testing::Test {
 protected:
  void SetUp() override { box.write_ini(kIni); }

  // An image of the type named `name`, with distinct bytes throughout.
  std::string make_image(const std::string& name, const Type& type, int seed = 1) {
    const std::string bytes = pattern(type.image_size, seed);
    box.write_file(name, bytes);
    return bytes;
  }
  static std::string done(const char* what) {
    return std::string(kBanner) + "\nDone. System " + what + ".\n\n";
  }
  Sandbox box;
};

TEST_F(SystemTracksTest, ImageTypeWithoutSystemAreaIsRefusedByAllThree) {
  const std::string image = make_image("t.nos", kNos);
  box.write_file("sys.bin", "x");
  box.write_file("b.nos", image);
  for (const char* option : {"-w", "-i", "-s"}) {
    SCOPED_TRACE(option);
    const std::string file = option == std::string("-i") ? "b.nos" : "sys.bin";
    const CliResult result = box.run({"t.nos", option, file});
    EXPECT_EQ(result.out, kBanner);
    EXPECT_EQ(result.err, "Image `t.nos` does not contain system track !!!\n");
    EXPECT_EQ(result.status, 0);
    EXPECT_EQ(box.read_file("t.nos"), image);
    EXPECT_EQ(box.read_file("sys.bin"), "x");
  }
}

TEST_F(SystemTracksTest, WriteTakesFilesUpToTheSystemSizeAndChangesOnlyTheirLength) {
  for (int length : {0, 1, 300, 6656}) {
    SCOPED_TRACE(length);
    const std::string image = make_image("t.dsk", kDsk);
    const std::string system = pattern(length, 99);
    box.write_file("sys.bin", system);
    const CliResult result = box.run({"t.dsk", "-w", "sys.bin"});
    EXPECT_EQ(result.err, "");
    EXPECT_EQ(result.out, done("written"));
    EXPECT_EQ(box.read_file("t.dsk"), system + image.substr(system.size()));
  }
}

TEST_F(SystemTracksTest, WriteRefusesAFileOneByteTooLong) {
  const std::string image = make_image("t.dsk", kDsk);
  box.make_dir("sub");
  box.write_file("sub/sys.bin", pattern(6657, 3));
  const CliResult result = box.run({"t.dsk", "-w", "sub/sys.bin"});
  EXPECT_EQ(result.out, kBanner);
  EXPECT_EQ(result.err, "System file `sys.bin` is too long. Max. length is 6656 bytes !!!\n");
  EXPECT_EQ(result.status, 0);
  EXPECT_EQ(box.read_file("t.dsk"), image);
}

TEST_F(SystemTracksTest, WriteOfAMissingFileReportsItsName) {
  const std::string image = make_image("t.dsk", kDsk);
  const CliResult result = box.run({"t.dsk", "-w", "sub/none.bin"});
  EXPECT_EQ(result.out, kBanner);
  EXPECT_EQ(result.err, "Can't open file `none.bin` !!!\n");
  EXPECT_EQ(box.read_file("t.dsk"), image);
}

TEST_F(SystemTracksTest, CopyComparesTheExtensionExactly) {
  const std::string image = make_image("a.dsk", kDsk);
  box.write_file("b.DSK", pattern(kDsk.image_size, 5));
  box.write_file("b", pattern(kDsk.image_size, 5));
  box.make_dir("sub");
  struct Case {
    const char* argument;
    const char* shown;
  };
  for (const Case& c : {Case{"b.DSK", "b.DSK"}, Case{"b", "b"}, Case{"sub/b.DSK", "b.DSK"},
                        Case{"sub/missing.ds", "missing.ds"}}) {
    SCOPED_TRACE(c.argument);
    const CliResult result = box.run({"a.dsk", "-i", c.argument});
    EXPECT_EQ(result.out, kBanner);
    EXPECT_EQ(result.err, std::string("Image `") + c.shown +
                              "` is of different type as main image `a.dsk` !!!\n");
    EXPECT_EQ(box.read_file("a.dsk"), image);
  }
}

TEST_F(SystemTracksTest, CopyTakesExactlyTheSystemAreaOfTheSecondImage) {
  for (const Type& type : {kDsk, kBig}) {
    SCOPED_TRACE(type.extension);
    const std::string a = std::string("a.") + type.extension;
    const std::string b = std::string("sub/b.") + type.extension;
    box.make_dir("sub");
    const std::string image = make_image(a, type, 1);
    const std::string second = make_image(b, type, 77);
    const CliResult result = box.run({a, "-i", b});
    EXPECT_EQ(result.err, "");
    EXPECT_EQ(result.out, done("copied"));
    EXPECT_EQ(box.read_file(a), second.substr(0, type.system_size) +
                                    image.substr(static_cast<std::size_t>(type.system_size)));
  }
}

TEST_F(SystemTracksTest, CopyFromAShortImageKeepsTheWholeBlocksWrittenBeforeIt) {
  const std::string image = make_image("a.big", kBig);
  const std::string second = pattern(20000, 42);  // one whole block and a short one
  box.write_file("b.big", second);
  const CliResult result = box.run({"a.big", "-i", "b.big"});
  EXPECT_EQ(result.out, kBanner);
  EXPECT_EQ(result.err, "Error on read from the file `b.big` !!!\n");
  EXPECT_EQ(result.status, 0);
  EXPECT_EQ(box.read_file("a.big"), second.substr(0, 16384) + image.substr(16384));
}

TEST_F(SystemTracksTest, SaveReplacesAnExistingFileWithExactlyTheSystemArea) {
  for (const Type& type : {kDsk, kBig, kOne}) {
    SCOPED_TRACE(type.extension);
    const std::string name = std::string("t.") + type.extension;
    const std::string image = make_image(name, type);
    box.make_dir("out");
    box.write_file("out/sys.bin", pattern(100000, 8));
    const CliResult result = box.run({name, "-s", "out/sys.bin"});
    EXPECT_EQ(result.err, "");
    EXPECT_EQ(result.out, done("extracted"));
    EXPECT_EQ(box.read_file("out/sys.bin"), image.substr(0, type.system_size));
    EXPECT_EQ(box.read_file(name), image);
  }
}

TEST_F(SystemTracksTest, DirectoryIsNeverRead) {
  // Entry 0 with the user byte 0x20 would make every file command refuse
  // the image.
  std::string image = pattern(kDsk.image_size, 1);
  image.replace(6656, 32, std::string(32, ' '));
  box.write_file("t.dsk", image);
  ASSERT_NE(box.run({"t.dsk", "-c"}).status, 0);

  CliResult result = box.run({"t.dsk", "-s", "sys.bin"});
  EXPECT_EQ(result.err, "");
  EXPECT_EQ(result.out, done("extracted"));
  EXPECT_EQ(box.read_file("sys.bin"), image.substr(0, 6656));

  box.write_file("new.bin", "NEW");
  result = box.run({"t.dsk", "-w", "new.bin"});
  EXPECT_EQ(result.out, done("written"));
  EXPECT_EQ(box.read_file("t.dsk"), "NEW" + image.substr(3));
}

// A write that the system refuses, also one that only shows when the stream
// is flushed, is an error and not "Done"; the device itself stays.
TEST_F(SystemTracksTest, SaveToAFullDeviceIsAWriteError) {
  struct stat info {};
  if (::stat("/dev/full", &info) != 0) GTEST_SKIP() << "no /dev/full";
  for (const Type& type : {kDsk, kOne}) {
    SCOPED_TRACE(type.extension);
    const std::string name = std::string("t.") + type.extension;
    make_image(name, type);
    const CliResult result = box.run({name, "-s", "/dev/full"});
    EXPECT_EQ(result.out, kBanner);
    EXPECT_EQ(result.err, "Error on write to the file `full` !!!\n");
    EXPECT_EQ(result.status, 0);
    ASSERT_EQ(::stat("/dev/full", &info), 0);
    EXPECT_TRUE(S_ISCHR(info.st_mode));
  }
}

// Saving the system area over the image itself would delete the disk; a link
// to the image is only a name and is replaced like any other file.
TEST_F(SystemTracksTest, SaveRefusesToReplaceTheImageItself) {
  const std::string image = make_image("t.dsk", kDsk);
  box.make_dir("sub");
  for (const char* target : {"t.dsk", "./t.dsk", "sub/../t.dsk"}) {
    SCOPED_TRACE(target);
    const CliResult result = box.run({"t.dsk", "-s", target});
    EXPECT_EQ(result.out, kBanner);
    EXPECT_EQ(result.err, "File `t.dsk` already exist !!!\n");
    EXPECT_EQ(box.read_file("t.dsk"), image);
  }

  // Windows sees a POSIX link as the file it points to.
  if (running_under_wine()) GTEST_SKIP() << "Wine shows a symbolic link as its target";
  ASSERT_EQ(::symlink("t.dsk", box.path("link.bin").c_str()), 0);
  const CliResult result = box.run({"t.dsk", "-s", "link.bin"});
  EXPECT_EQ(result.out, done("extracted"));
  EXPECT_EQ(box.read_file("link.bin"), image.substr(0, 6656));
  EXPECT_EQ(box.read_file("t.dsk"), image);
}

}  // namespace
}  // namespace xev::test
