// Added, erased and extracted files against Debian's cpmtools as a black box,
// on every format both describe.
#include <gtest/gtest.h>

#include <random>
#include <string>
#include <vector>

#include "commands/disk_builder.h"
#include "support/formats.h"

namespace xev::test {
namespace {

struct TestFile {
  std::string user, name, data;
};

class InteropFiles : public ::testing::TestWithParam<InteropFormat> {
 protected:
  // An empty file and one of a random size over several entries; entry 0 gets
  // the short name, as cpmls of CP/M 3 formats fails on longer ones there.
  void SetUp() override {
    if (!cpmtools_available()) GTEST_SKIP() << "cpmtools are not installed";
    image = std::string("x.") + GetParam().extension;
    tool = std::string(" -f ") + GetParam().diskdef + " " + image;
    std::mt19937 random(unsigned(GetParam().image_size));
    files = {{"0", "E", ""}, {"2", "A-$_0.Z", ""}};
    files[1].data.resize(
        1 + random() % unsigned(std::min(600 * 1024, GetParam().image_size / 6)));
    for (char& c : files[1].data) c = char(random());
  }
  std::string shell(const std::string& command) {
    const auto [status, out] = run_shell(box, command);
    EXPECT_EQ(status, 0) << command << ": " << out;
    return out;
  }
  static std::string records(const std::string& data) {
    return data + std::string((128 - data.size() % 128) % 128, '\xE5');
  }
  Sandbox box;
  std::string image, tool;
  std::vector<TestFile> files;
};

TEST_P(InteropFiles, CpmtoolsReadWhatXevWritesAndErases) {
  for (const TestFile& file : files) {
    box.make_dir(file.user);
    box.write_file(file.user + "/" + file.name, file.data);
    EXPECT_EQ(box.run({image, "-a", file.user + "/" + file.name, "-u", file.user}).err,
              "");
    shell("cpmcp" + tool + " '" + file.user + ":" + file.name + "' c");
    EXPECT_TRUE(box.read_file("c") == records(file.data)) << file.name;
  }
  shell("fsck.cpm -n" + tool);
  EXPECT_EQ(box.run({image, "-e", files[1].name, "-u", "2"}).err, "");
  shell("fsck.cpm -n" + tool);
  EXPECT_EQ(shell("cpmls" + tool), "0:\ne\n");
}

TEST_P(InteropFiles, XevReadsWhatCpmtoolsWrites) {
  shell("mkfs.cpm" + tool + " && truncate -s " + std::to_string(GetParam().image_size) +
        " " + image);
  box.make_dir("out");
  for (const TestFile& file : files) {
    box.write_file("in", file.data);
    shell("cpmcp" + tool + " in '" + file.user + ":" + file.name + "'");
    // -iide: mkfs.cpm may write a directory label, which is no file entry.
    EXPECT_NE(box.run({image, "-x", "out/" + file.name, "-u", file.user, "-iide"})
                  .out.find("File '" + file.name + "' extracted\n"),
              std::string::npos);
    // cpmtools fill the last record with bytes of their own.
    const std::string copy = box.read_file("out/" + file.name);
    EXPECT_EQ(copy.size(), records(file.data).size()) << file.name;
    EXPECT_TRUE(copy.substr(0, file.data.size()) == file.data) << file.name;
  }
}

INSTANTIATE_TEST_SUITE_P(ShippedFormats, InteropFiles,
                         ::testing::ValuesIn(kInteropFormats), [](const auto& info) {
                           return std::string(info.param.extension);
                         });

}  // namespace
}  // namespace xev::test
