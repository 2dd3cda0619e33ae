// What the host does wrong: a full or read-only file system, a cut image, a
// host file that delivers less than its size, targets that are no plain file.
// Each case: the right message, and the image unchanged or changed as meant.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/mount.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <fstream>
#include <optional>
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
// h/A.COM as extracted: whole records, the last one filled with 0xE5.
std::string extracted_a() {
  return bytes(1000) + std::string(24, '\xE5');
}
std::string add_heading(const std::string& path, const std::string& mask,
                        const std::string& afn = "") {
  return std::string(kBanner) + "Adding file(s) to 'x.dsk'\n  path: '" + path +
         "', mask: '" + mask + "'\n" + (afn.empty() ? "" : "  as '" + afn + "'\n") + "\n";
}
std::string extract_heading(const std::string& path) {
  return std::string(kBanner) + "Extracting file(s) from 'x.dsk'\n  path: '" + path +
         "', mask: 'A.COM'\n\n";
}

// A tmpfs on a new folder of the sandbox while the test runs. Mounting needs
// root or the right to mount; tests without it skip.
class Tmpfs {
 public:
  Tmpfs(const Sandbox& box, const std::string& name, const char* options)
      : dir_(box.path(name)) {
    box.make_dir(name);
    error_ = ::mount("tmpfs", dir_.c_str(), "tmpfs", 0, options) == 0 ? 0 : errno;
  }
  ~Tmpfs() {
    if (error_ == 0) ::umount2(dir_.c_str(), MNT_DETACH);
  }
  std::string why_not() const {
    return error_ == 0 ? ""
                       : std::string("cannot mount a tmpfs: ") + std::strerror(error_);
  }
  bool make_read_only() const {
    return ::mount(nullptr, dir_.c_str(), nullptr, MS_REMOUNT | MS_RDONLY, nullptr) == 0;
  }
  // Takes every free page, with a file of its own.
  void fill() const {
    const int fd = ::open((dir_ + "/filler").c_str(), O_WRONLY | O_CREAT, 0644);
    const std::string block(4096, 'F');
    while (fd >= 0 && ::write(fd, block.data(), block.size()) > 0) {
    }
    if (fd >= 0) ::close(fd);
  }

 private:
  std::string dir_;
  int error_;
};

class FaultsTest : public ::testing::Test {
 protected:
  void SetUp() override {
    box.write_ini(kIni);
    box.make_dir("h");
    box.write_file("h/A.COM", bytes(1000));
    box.write_file("y.dsk", std::string(kImageSize, '\x11'));
    box.write_file("sys.bin", "SYS");
  }
  // A new image `path` holding A.COM, and its bytes.
  std::string make_image(const std::string& path) {
    EXPECT_EQ(box.run({path, "-a", "h/A.COM"}).err, "");
    return box.read_file(path);
  }
  CliResult run_on(const std::string& image, std::vector<std::string> args) {
    args.insert(args.begin(), image);
    return box.run(args);
  }
  Sandbox box;
};

TEST_F(FaultsTest, FullFileSystemEndsTheCommandWithTheDirectoryUnchanged) {
  if (running_under_wine()) GTEST_SKIP() << "needs a POSIX mount";
  if (::sysconf(_SC_PAGESIZE) != 4096) GTEST_SKIP() << "laid out for 4 KiB pages";
  Tmpfs fs(box, "full", "size=64k");
  if (!fs.why_not().empty()) GTEST_SKIP() << fs.why_not();
  // A sparse image, as `truncate` leaves one: its holes need room when written.
  box.write_file("full/x.dsk", "");
  ASSERT_EQ(::truncate(box.path("full/x.dsk").c_str(), kImageSize), 0);
  ASSERT_EQ(box.run({"full/x.dsk", "-q"}).status, 0);
  ASSERT_EQ(box.run({"full/x.dsk", "-a", "h/A.COM"}).err, "");
  box.make_dir("more");
  box.write_file("more/B.COM", bytes(1000));   // fits in a page already taken
  box.write_file("more/C.COM", bytes(20000));  // does not
  fs.fill();
  const std::string before = box.read_file("full/x.dsk");

  CliResult result = box.run({"full/x.dsk", "-a", "more/*.*"});
  EXPECT_EQ(result.out, add_heading("more/", "*.*") + "File 'B.COM' added\n");
  EXPECT_EQ(result.err, "Error on write to the image `x.dsk` !!!\n");
  EXPECT_EQ(result.status, 0);
  const std::string after = box.read_file("full/x.dsk");
  EXPECT_EQ(after.size(), before.size());
  EXPECT_TRUE(after.substr(6656, 2048) == before.substr(6656, 2048))
      << "a file was recorded";

  result = box.run({"full/new.dsk", "-a", "more/B.COM"});
  EXPECT_EQ(result.out, kFailedOpen);
  EXPECT_EQ(result.err, "Error on write to the image `new.dsk` !!!\n");
  EXPECT_EQ(result.status, 5);

  result = box.run({"full/x.dsk", "-x", "full/A.COM"});
  EXPECT_EQ(result.out, extract_heading("full/"));
  EXPECT_EQ(result.err, "Error on write to the file `A.COM` !!!\n");

  ::unlink(box.path("full/filler").c_str());  // with room again, the same add works
  result = box.run({"full/x.dsk", "-a", "more/*.*"});
  EXPECT_EQ(result.err, "");
  EXPECT_NE(result.out.find("Done. 2 file(s) added."), std::string::npos);
}

// Commands with the status each ends with on an image it may not write:
// 2 cannot open it, 1 cannot create it, 0 only reads it.
const struct {
  std::vector<std::string> args;
  int read_only_status;
} kCommands[] = {{{"-e", "A.COM"}, 2},
                 {{"-sa", "A.COM", "RS"}, 2},
                 {{"-su", "A.COM", "3"}, 2},
                 {{"-w", "sys.bin"}, 2},
                 {{"-i", "y.dsk"}, 2},
                 {{"-a", "h/A.COM", "-afn", "B.COM"}, 1},
                 {{"-q"}, 1},
                 {{"-f"}, 1},
                 {{"-x", "A.COM"}, 0},
                 {{"-s", "out.bin"}, 0}};

TEST_F(FaultsTest, ReadOnlyImageIsRefusedByEveryWritingCommandAndKept) {
  if (running_under_wine()) GTEST_SKIP() << "needs POSIX permissions or a mount";
  // Root may write to any file, so it gets a read-only file system instead.
  std::optional<Tmpfs> fs;
  if (::geteuid() == 0) {
    fs.emplace(box, "ro", "size=1m");
    if (!fs->why_not().empty()) GTEST_SKIP() << fs->why_not();
  } else {
    box.make_dir("ro");
  }
  const std::string image = make_image("ro/x.dsk");
  ASSERT_TRUE(fs ? fs->make_read_only()
                 : ::chmod(box.path("ro/x.dsk").c_str(), 0444) == 0);

  for (const auto& c : kCommands) {
    SCOPED_TRACE(c.args[0]);
    const CliResult result = run_on("ro/x.dsk", c.args);
    EXPECT_EQ(result.status, c.read_only_status);
    if (c.read_only_status != 0) {
      EXPECT_EQ(result.out, kFailedOpen);
      EXPECT_EQ(result.err, c.read_only_status == 1 ? "Image `x.dsk` already exist !!!\n"
                                                    : "Can't open image `x.dsk` !!!\n");
    }
    EXPECT_TRUE(box.read_file("ro/x.dsk") == image) << "image changed";
  }
  EXPECT_TRUE(box.read_file("A.COM") == extracted_a());
  EXPECT_TRUE(box.read_file("out.bin") == image.substr(0, 6656));
}

// Only the full format recreates an image of the wrong size.
TEST_F(FaultsTest, ImageCutInsideTheDirectoryIsRefusedUnchanged) {
  const std::string cut = make_image("x.dsk").substr(0, 6656 + 1000);
  box.write_file("x.dsk", cut);
  for (const auto& c : kCommands) {
    if (c.args[0] == "-f") continue;
    SCOPED_TRACE(c.args[0]);
    const CliResult result = run_on("x.dsk", c.args);
    EXPECT_EQ(result.out, kFailedOpen);
    EXPECT_EQ(result.err, "Image `x.dsk` has bad size !!!\n");
    EXPECT_EQ(result.status, 3);
    EXPECT_TRUE(box.read_file("x.dsk") == cut) << "image changed";
  }
  EXPECT_FALSE(box.exists("A.COM"));
  EXPECT_FALSE(box.exists("out.bin"));
}

// A host file that delivers fewer bytes than its size said, as one that
// shrinks while it is read: sysfs files claim a page and hold a few bytes.
// Nothing is saved, so the file that -ow was to replace is kept.
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
  EXPECT_EQ(result.out, add_heading(dir, "uevent", "A.COM"));
  EXPECT_EQ(result.err, "Error on read from the file `uevent` !!!\n");
  EXPECT_EQ(result.status, 0);
  EXPECT_TRUE(box.read_file("x.dsk") == image) << "A.COM was erased";
}

// Only a plain file or a link is removed before a new file is written; a
// folder, a device or a pipe stays what it is.
TEST_F(FaultsTest, TargetsThatAreNoPlainFileAreNeverRemoved) {
  if (running_under_wine()) GTEST_SKIP() << "needs POSIX devices and pipes";
  make_image("x.dsk");
  const std::string exists = "File `A.COM` already exist !!!\n";
  const struct {
    const char* folder;
    mode_t type;
    const char* command;
    std::string out;
    std::string err;
  } cases[] = {
      {"d", S_IFDIR, "-x", extract_heading("d/"), exists},
      {"s", S_IFDIR, "-s", kBanner, exists},
      {"c", S_IFCHR, "-x", extract_heading("c/"),
       "Error on write to the file `A.COM` !!!\n"},
      {"p", S_IFIFO, "-x",
       extract_heading("p/") + "File 'A.COM' extracted\n\nDone. 1 file(s) extracted.\n\n",
       ""},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.folder);
    box.make_dir(c.folder);
    const std::string name = std::string(c.folder) + "/A.COM";
    const std::string target = box.path(name);
    int made = -1;
    if (c.type == S_IFDIR) made = ::mkdir(target.c_str(), 0755);
    if (c.type == S_IFIFO) made = ::mkfifo(target.c_str(), 0644);
    if (c.type == S_IFCHR) made = ::mknod(target.c_str(), S_IFCHR | 0666, makedev(1, 7));
    if (made != 0 && c.type == S_IFCHR) continue;  // only root makes a twin of /dev/full
    ASSERT_EQ(made, 0);
    // The pipe's reader is there before xev writes; 1 KiB fits its buffer.
    const int reader =
        c.type == S_IFIFO ? ::open(target.c_str(), O_RDONLY | O_NONBLOCK) : -1;

    const CliResult result = box.run({"x.dsk", c.command, name});
    EXPECT_EQ(result.out, c.out);
    EXPECT_EQ(result.err, c.err);
    struct stat info {};
    ASSERT_EQ(::lstat(target.c_str(), &info), 0);
    EXPECT_EQ(info.st_mode & S_IFMT, c.type);
    if (reader >= 0) {
      std::string got(4096, '\0');
      const ssize_t n = ::read(reader, got.data(), got.size());
      got.resize(n > 0 ? static_cast<std::size_t>(n) : 0);
      ::close(reader);
      EXPECT_TRUE(got == extracted_a());
    }
  }
}

}  // namespace
}  // namespace xev::test
