// Debian's cpmtools as a black box, on every type that both tools describe:
// xev lists what mkfs.cpm and cpmcp wrote and moves its boot tracks, and what xev
// formats passes fsck.cpm.
#include <gtest/gtest.h>

#include <algorithm>
#include <sstream>
#include <string>
#include <tuple>
#include <vector>

#include "commands/disk_builder.h"
#include "support/formats.h"

namespace xev::test {
namespace {

class Interop : public ::testing::TestWithParam<InteropFormat> {
 protected:
  void SetUp() override {
    if (!cpmtools_available()) GTEST_SKIP() << "cpmtools not installed";
  }
  std::string shell(const std::string& command) {
    const auto [status, out] = run_shell(box, command);
    EXPECT_EQ(status, 0) << command << ": " << out;
    return out;
  }
  Sandbox box;
};

TEST_P(Interop, XevReadsWhatCpmtoolsWrote) {
  const InteropFormat& f = GetParam();
  const std::string image = std::string("t.") + f.extension,
                    def = std::string(" -f ") + f.diskdef + " ";
  // The boot tracks: whatever mkfs.cpm -b puts there, -s gives back and -w replaces.
  const std::string boot(std::size_t(f.system_size), 'B');
  box.write_file("boot", boot);
  shell("mkfs.cpm" + def + (boot.empty() ? "" : "-b boot ") + image + " && truncate -s " +
        std::to_string(f.image_size) + " " + image);
  using File = std::tuple<int, std::string, int>;  // user, name, records
  std::vector<File> files = {
      {0, "EMPTY", 0},
      {1, "ODD.TXT", 129},
      {31, "A.B", 1},
      {2, "BIG.DAT", std::min((f.image_size - f.system_size) / 4, 300 * 1024)}};
  for (auto& [user, name, size] : files) {
    box.write_file("host", std::string(std::size_t(size), char(user + size)));
    shell("cpmcp" + def + image + " host " + std::to_string(user) + ":" + name);
    size = (size + 127) / 128;
  }
  // mkfs.cpm labels CP/M 3 disks with an entry of user byte 0x20, which xev takes for
  // corrupt.
  std::string bytes = box.read_file(image);
  if (!f.skewed && bytes[std::size_t(f.system_size)] == 0x20) {
    box.write_file(
        image, bytes.replace(std::size_t(f.system_size), 32, dir_entry(0xE5, "", "", 0, 0, 0, {})));
  }
  const CliResult listing = box.run({image, "-c1", "-c"});
  EXPECT_EQ(listing.err, "");
  std::istringstream lines(listing.out.substr(listing.out.find("-\n") + 2));
  std::vector<File> listed;
  for (std::string line; std::getline(lines, line) && !line.empty();) {
    const std::string name = line.substr(3, 12);
    listed.emplace_back(std::stoi(line), name.substr(0, name.find(' ')),
                        std::stoi(line.substr(15)));
  }
  std::sort(files.begin(), files.end());
  std::sort(listed.begin(), listed.end());
  EXPECT_EQ(listed, files) << listing.out;
  if (boot.empty()) return;
  box.run({image, "-s", "saved"});
  EXPECT_TRUE(box.read_file("saved") == boot);
  box.write_file("boot", std::string(boot.size(), 'W'));
  box.run({image, "-w", "boot"});
  EXPECT_NE(shell("cpmls" + def + image), "");
}

TEST_P(Interop, CpmtoolsAcceptWhatXevFormatted) {
  const InteropFormat& f = GetParam();
  const std::string image = std::string("t.") + f.extension,
                    def = std::string(" -f ") + f.diskdef + " ";
  ASSERT_EQ(box.run({image, "-f"}).status, 0);
  EXPECT_EQ(box.read_file(image).size(), std::size_t(f.image_size));
  shell("fsck.cpm -n" + def + image);
  EXPECT_EQ(shell("cpmls" + def + image), "");
}

INSTANTIATE_TEST_SUITE_P(Formats, Interop, ::testing::ValuesIn(kInteropFormats),
                         [](const auto& info) { return std::string(info.param.extension); });

}  // namespace
}  // namespace xev::test
