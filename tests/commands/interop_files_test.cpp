// Added, erased and extracted files against Debian's cpmtools as a black box,
// on every format both describe.
#include <gtest/gtest.h>

#include <random>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include "commands/disk_builder.h"
#include "support/formats.h"

namespace xev::test {
namespace {

struct TestFile {
  std::string user, name, data;
  std::string key() const {  // as cpmls shows it
    std::string key = user + ":" + name;
    for (char& c : key) c = char(std::tolower(static_cast<unsigned char>(c)));
    return key;
  }
};

// "user:name" for each file under the "user:" lines of cpmls.
std::set<std::string> listed(const std::string& output) {
  std::set<std::string> names;
  std::istringstream lines(output);
  for (std::string user, line; std::getline(lines, line);) {
    if (line.empty()) continue;
    if (line.back() == ':')
      user = line;
    else
      names.insert(user + line);
  }
  return names;
}

class InteropFiles : public ::testing::TestWithParam<InteropFormat> {
 protected:
  // Files in user areas 0 to 2 of random sizes, the same for a format on every
  // run: an empty one, one of whole records, and two others. The first goes to
  // entry 0, where cpmls of CP/M 3 formats fails on names of 4 or more letters.
  void SetUp() override {
    if (!cpmtools_available()) GTEST_SKIP() << "cpmtools are not installed";
    const InteropFormat& format = GetParam();
    image = std::string("x.") + format.extension;
    tool = std::string(" -f ") + format.diskdef + " " + image;
    std::mt19937 random(unsigned(format.image_size));
    const unsigned most =
        unsigned(std::min(600 * 1024, (format.image_size - format.system_size) / 6));
    files = {
        {"0", "E", ""}, {"1", "WHOLE.REC", ""}, {"2", "A-$_0.Z", ""}, {"0", "L.TXT", ""}};
    for (TestFile& file : files) {
      const std::size_t size = &file == &files[0] ? 0 : 1 + random() % most;
      file.data.resize(&file == &files[1] ? size / 128 * 128 : size);
      for (char& c : file.data) c = char(random());
    }
  }
  // Runs a command of cpmtools: it must succeed; its output.
  std::string shell(const std::string& command) {
    const auto [status, out] = run_shell(box, command);
    EXPECT_EQ(status, 0) << command << ": " << out;
    return out;
  }
  Sandbox box;
  std::string image, tool;
  std::vector<TestFile> files;
};

TEST_P(InteropFiles, CpmtoolsReadWhatXevWritesAndErases) {
  std::set<std::string> expected;
  for (const TestFile& file : files) {
    box.make_dir(file.user);
    box.write_file(file.user + "/" + file.name, file.data);
    EXPECT_EQ(box.run({image, "-a", file.user + "/" + file.name, "-u", file.user}).err,
              "");
    expected.insert(file.key());
  }
  EXPECT_EQ(listed(shell("cpmls" + tool)), expected);
  for (const TestFile& file : files) {
    shell("cpmcp" + tool + " '" + file.user + ":" + file.name + "' c");
    const std::size_t fill = (128 - file.data.size() % 128) % 128;
    EXPECT_EQ(box.read_file("c"), file.data + std::string(fill, '\xE5')) << file.name;
  }
  shell("fsck.cpm -n" + tool);
  EXPECT_EQ(box.run({image, "-e", files[2].name, "-u", files[2].user}).err, "");
  shell("fsck.cpm -n" + tool);
  expected.erase(files[2].key());
  EXPECT_EQ(listed(shell("cpmls" + tool)), expected);
}

TEST_P(InteropFiles, XevReadsWhatCpmtoolsWrites) {
  shell("mkfs.cpm" + tool + " && truncate -s " + std::to_string(GetParam().image_size) +
        " " + image);
  box.make_dir("out");
  for (const TestFile& file : files) {
    box.write_file("in", file.data);
    shell("cpmcp" + tool + " in '" + file.user + ":" + file.name + "'");
  }
  for (const TestFile& file : files) {
    // -iide: mkfs.cpm may write a directory label, which is no file entry.
    const CliResult got =
        box.run({image, "-x", "out/" + file.name, "-u", file.user, "-iide"});
    EXPECT_NE(got.out.find("File '" + file.name + "' extracted\n"), std::string::npos);
    const std::string copy = box.read_file("out/" + file.name);
    EXPECT_EQ(copy.size(), (file.data.size() + 127) / 128 * 128) << file.name;
    EXPECT_EQ(copy.substr(0, file.data.size()), file.data) << file.name;
  }
}

INSTANTIATE_TEST_SUITE_P(ShippedFormats, InteropFiles,
                         ::testing::ValuesIn(kInteropFormats), [](const auto& info) {
                           return std::string(info.param.extension);
                         });

}  // namespace
}  // namespace xev::test
