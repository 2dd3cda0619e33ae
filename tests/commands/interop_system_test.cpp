// The system tracks as cpmtools sees them: what mkfs.cpm puts into the boot
// tracks is what -s saves, and -w leaves the files cpmcp wrote in place.
#include <gtest/gtest.h>
#include <sys/wait.h>

#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "support/formats.h"
#include "support/sandbox.h"

namespace xev::test {
namespace {

struct Shell {
  std::string out;
  int status;
};

// Runs `command` with the sandbox folder as working directory.
Shell shell(const Sandbox& box, const std::string& command) {
  const std::string full = "cd '" + box.dir() + "' && " + command + " 2>&1";
  Shell result{"", -1};
  std::FILE* pipe = ::popen(full.c_str(), "r");
  if (pipe == nullptr) return result;
  char chunk[4096];
  std::size_t got;
  while ((got = std::fread(chunk, 1, sizeof chunk, pipe)) > 0) result.out.append(chunk, got);
  const int status = ::pclose(pipe);
  result.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  return result;
}

bool have_cpmtools() {
  return std::system("{ command -v cpmls && command -v cpmcp && command -v mkfs.cpm; } "
                     ">/dev/null 2>&1") == 0;
}

std::vector<InteropFormat> formats_with_system_area() {
  std::vector<InteropFormat> formats;
  for (const InteropFormat& format : kInteropFormats) {
    if (format.system_size > 0) formats.push_back(format);
  }
  return formats;
}

// Distinct bytes, none of them the 0xE5 that mkfs.cpm fills with.
std::string boot_code(int size) {
  std::string bytes(static_cast<std::size_t>(size), '\0');
  for (int i = 0; i < size; ++i) bytes[i] = static_cast<char>((i * 13 + i / 256) % 0xE5);
  return bytes;
}

class InteropSystemTest : public ::testing::TestWithParam<InteropFormat> {
 protected:
  void SetUp() override {
    if (!have_cpmtools()) GTEST_SKIP() << "cpmtools not installed";
  }

  // An image made by mkfs.cpm, extended to the full size xev expects.
  void make_image(const std::string& name, const std::string& boot_file = "") {
    const InteropFormat& format = GetParam();
    const std::string boot = boot_file.empty() ? "" : " -b " + boot_file;
    const Shell made = shell(box, std::string("mkfs.cpm -f ") + format.diskdef + boot + " " +
                                      name + " && truncate -s " +
                                      std::to_string(format.image_size) + " " + name);
    ASSERT_EQ(made.status, 0) << made.out;
  }

  Sandbox box;
};

TEST_P(InteropSystemTest, SaveReturnsTheBootTracksMkfsWrote) {
  const InteropFormat& format = GetParam();
  const std::string image = std::string("boot.") + format.extension;
  // Longer than one 16 KiB block where the system area allows it.
  const std::string boot = boot_code(format.system_size - 100);
  box.write_file("boot.bin", boot);
  make_image(image, "boot.bin");

  const CliResult result = box.run({image, "-s", "saved.bin"});
  EXPECT_EQ(result.err, "");
  EXPECT_EQ(result.out, std::string(kBanner) + "\nDone. System extracted.\n\n");
  const std::string saved = box.read_file("saved.bin");
  EXPECT_EQ(saved, box.read_file(image).substr(0, static_cast<std::size_t>(format.system_size)));
  EXPECT_EQ(saved.substr(0, boot.size()), boot);
}

TEST_P(InteropSystemTest, WriteKeepsTheFilesCpmcpAdded) {
  const InteropFormat& format = GetParam();
  const std::string image = std::string("files.") + format.extension;
  make_image(image);
  box.write_file("a.txt", "hello, world\r\n");
  box.write_file("b.com", boot_code(5000));
  const Shell copied =
      shell(box, std::string("cpmcp -f ") + format.diskdef + " " + image + " a.txt b.com 0:");
  ASSERT_EQ(copied.status, 0) << copied.out;
  const std::string before = box.read_file(image);

  const std::string system = boot_code(format.system_size);
  box.write_file("sys.bin", system);
  const CliResult result = box.run({image, "-w", "sys.bin"});
  EXPECT_EQ(result.err, "");
  EXPECT_EQ(result.out, std::string(kBanner) + "\nDone. System written.\n\n");
  EXPECT_EQ(box.read_file(image),
            system + before.substr(static_cast<std::size_t>(format.system_size)));

  const Shell listed = shell(box, std::string("cpmls -f ") + format.diskdef + " " + image);
  EXPECT_EQ(listed.status, 0);
  EXPECT_EQ(listed.out, "0:\na.txt\nb.com\n");
}

INSTANTIATE_TEST_SUITE_P(ShippedFormats, InteropSystemTest,
                         ::testing::ValuesIn(formats_with_system_area()),
                         [](const ::testing::TestParamInfo<InteropFormat>& info) {
                           return std::string(info.param.extension);
                         });

}  // namespace
}  // namespace xev::test
