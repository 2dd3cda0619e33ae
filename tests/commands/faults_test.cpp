// What the host does wrong: a full or read-only file system, a cut image, a
// host file that delivers less than its size, targets that are no plain file.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/mount.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "support/sandbox.h"

namespace xev::test {
namespace {

// No skew, two system tracks: the directory is the 2 KiB at byte 6656.
const char* const kIni = "[dsk]\nSPT=26\nXLT=0\nBLS=1\nEXM=0\nDSM=242\nDRM=63\nOFF=2\n";
constexpr int kImageSize = 256256;
const std::string kFailedOpen = std::string(kBanner) + "\n";

std::string bytes(std::size_t size) {
  std::string data(size, '\0');
  for (std::size_t i = 0; i < size; ++i) data[i] = static_cast<char>(i * 31 + i / 97);
  return data;
}
std::string heading(const char* verb, const std::string& path, const std::string& mask) {
  return std::string(kBanner) + verb + " 'x.dsk'\n  path: '" + path + "', mask: '" +
         mask + "'\n\n";
}

class FaultsTest : public ::testing::Test {
 protected:
  void SetUp() override {
    box.write_ini(kIni);
    box.make_dir("h");
    box.write_file("h/A.COM", bytes(1000));
  }
  std::string make_image(const std::string& path) {
    EXPECT_EQ(box.run({path, "-a", "h/A.COM"}).err, "");
    return box.read_file(path);
  }
  // A tmpfs on a new folder, or the reason there is none (mounting needs root).
  std::string mount_tmpfs(const std::string& name, const char* options) {
    box.make_dir(name);
    mounted = box.path(name);
    if (::mount("tmpfs", mounted.c_str(), "tmpfs", 0, options) == 0) return "";
    mounted.clear();
    return std::string("cannot mount a tmpfs: ") + std::strerror(errno);
  }
  void TearDown() override {
    if (!mounted.empty()) ::umount2(mounted.c_str(), MNT_DETACH);
  }
  Sandbox box;
  std::string mounted;
};

TEST_F(FaultsTest, FullFileSystemEndsTheCommandWithTheDirectoryUnchanged) {
  if (running_under_wine()) GTEST_SKIP() << "needs a POSIX mount";
  if (::sysconf(_SC_PAGESIZE) != 4096) GTEST_SKIP() << "laid out for 4 KiB pages";
  const std::string why = mount_tmpfs("full", "size=64k");
  if (!why.empty()) GTEST_SKIP() << why;
  // A sparse image, as `truncate` leaves one: its holes need room when written.
  box.write_file("full/x.dsk", "");
  ASSERT_EQ(::truncate(box.path("full/x.dsk").c_str(), kImageSize), 0);
  ASSERT_EQ(box.run({"full/x.dsk", "-q"}).status, 0);
  ASSERT_EQ(box.run({"full/x.dsk", "-a", "h/A.COM"}).err, "");
  box.make_dir("more");
  box.write_file("more/B.COM", bytes(1000));   // fits in a page already taken
  box.write_file("more/C.COM", bytes(20000));  // does not
  const int fd = ::open(box.path("full/filler").c_str(), O_WRONLY | O_CREAT, 0644);
  const std::string block(4096, 'F');
  while (fd >= 0 && ::write(fd, block.data(), block.size()) > 0) {
  }
  if (fd >= 0) ::close(fd);
  const std::string before = box.read_file("full/x.dsk");

  CliResult result = box.run({"full/x.dsk", "-a", "more/*.*"});
  EXPECT_EQ(result.out,
            heading("Adding file(s) to", "more/", "*.*") + "File 'B.COM' added\n");
  EXPECT_EQ(result.err, "Error on write to the image `x.dsk` !!!\n");
  EXPECT_EQ(result.status, 0);
  EXPECT_TRUE(box.read_file("full/x.dsk").substr(6656, 2048) == before.substr(6656, 2048))
      << "a file was recorded";
  result = box.run({"full/new.dsk", "-a", "more/B.COM"});
  EXPECT_EQ(result.out + result.err,
            kFailedOpen + "Error on write to the image `new.dsk` !!!\n");
  EXPECT_EQ(result.status, 5);
}

// Status 2: cannot open it, 1: cannot create it, 3: bad size; reads still work.
TEST_F(FaultsTest, ReadOnlyOrCutImageIsRefusedAndKept) {
  if (running_under_wine()) GTEST_SKIP() << "needs POSIX permissions or a mount";
  // Root may write to any file, so it gets a read-only file system instead.
  if (::geteuid() == 0) {
    const std::string why = mount_tmpfs("ro", "size=1m");
    if (!why.empty()) GTEST_SKIP() << why;
  } else {
    box.make_dir("ro");
  }
  const std::string image = make_image("ro/x.dsk");
  ASSERT_TRUE(::geteuid() == 0 ? ::mount(nullptr, mounted.c_str(), nullptr,
                                         MS_REMOUNT | MS_RDONLY, nullptr) == 0
                               : ::chmod(box.path("ro/x.dsk").c_str(), 0444) == 0);
  const std::string cut = image.substr(0, 6656 + 1000);
  box.write_file("x.dsk", cut);
  const struct {
    const char* path;
    std::vector<std::string> args;
    int status;
    std::string err;
  } cases[] = {
      {"ro/x.dsk", {"-e", "A.COM"}, 2, "Can't open image `x.dsk` !!!\n"},
      {"ro/x.dsk", {"-q"}, 1, "Image `x.dsk` already exist !!!\n"},
      {"ro/x.dsk", {"-x", "A.COM"}, 0, ""},
      {"x.dsk", {"-x", "A.COM"}, 3, "Image `x.dsk` has bad size !!!\n"},
  };
  for (const auto& c : cases) {
    std::vector<std::string> args = c.args;
    args.insert(args.begin(), c.path);
    const CliResult result = box.run(args);
    EXPECT_EQ(result.status, c.status) << c.path << " " << c.args[0];
    if (c.status != 0) {
      EXPECT_EQ(result.out + result.err, kFailedOpen + c.err);
    }
  }
  EXPECT_TRUE(box.read_file("ro/x.dsk") == image && box.read_file("x.dsk") == cut);
  EXPECT_TRUE(box.read_file("A.COM") == bytes(1000) + std::string(24, '\xE5'));
}

// sysfs files claim a page and hold a few bytes. Nothing is saved, so the
// file that -ow was to replace is kept.
TEST_F(FaultsTest, HostFileShorterThanItsSizeEndsTheAddWithNothingSaved) {
  if (running_under_wine()) GTEST_SKIP() << "needs Linux sysfs";
  const std::string dir = "/sys/devices/system/cpu/";
  struct stat info {};
  std::ostringstream content;
  content << std::ifstream(dir + "uevent", std::ios::binary).rdbuf();
  if (::stat((dir + "uevent").c_str(), &info) != 0 ||
      static_cast<std::size_t>(info.st_size) <= content.str().size()) {
    GTEST_SKIP() << "no file here that is shorter than its size";
  }
  const std::string image = make_image("x.dsk");
  const CliResult result =
      box.run({"x.dsk", "-a", dir + "uevent", "-afn", "A.COM", "-ow"});
  EXPECT_EQ(result.out, std::string(kBanner) + "Adding file(s) to 'x.dsk'\n  path: '" +
                            dir + "', mask: 'uevent'\n  as 'A.COM'\n\n");
  EXPECT_EQ(result.err, "Error on read from the file `uevent` !!!\n");
  EXPECT_TRUE(box.read_file("x.dsk") == image) << "A.COM was erased";
}

// Only a plain file or a link is removed before a new file is written.
TEST_F(FaultsTest, TargetsThatAreNoPlainFileAreNeverRemoved) {
  if (running_under_wine()) GTEST_SKIP() << "needs POSIX devices and pipes";
  make_image("x.dsk");
  box.make_dir("d");
  box.make_dir("d/A.COM");
  box.make_dir("p");
  const std::string fifo = box.path("p/A.COM");
  ASSERT_EQ(::mkfifo(fifo.c_str(), 0644), 0);
  const int reader =
      ::open(fifo.c_str(), O_RDONLY | O_NONBLOCK);  // 1 KiB fits its buffer
  CliResult result = box.run({"x.dsk", "-x", "d/A.COM"});
  EXPECT_EQ(result.out + result.err, heading("Extracting file(s) from", "d/", "A.COM") +
                                         "File `A.COM` already exist !!!\n");
  result = box.run({"x.dsk", "-x", "p/A.COM"});
  EXPECT_EQ(result.err, "");
  std::string got(4096, '\0');
  got.resize(std::size_t(std::max<ssize_t>(0, ::read(reader, got.data(), got.size()))));
  ::close(reader);
  EXPECT_TRUE(got == bytes(1000) + std::string(24, '\xE5'));
  struct stat info {};
  EXPECT_TRUE(::lstat(fifo.c_str(), &info) == 0 && S_ISFIFO(info.st_mode));
  EXPECT_TRUE(::lstat(box.path("d/A.COM").c_str(), &info) == 0 && S_ISDIR(info.st_mode));
}

}  // namespace
}  // namespace xev::test
