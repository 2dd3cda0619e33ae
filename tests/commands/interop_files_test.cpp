// Interoperability of adding, extracting and erasing with Debian's cpmtools,
// used as a black box: files added by xev are listed by cpmls, copied out
// unchanged by cpmcp and pass fsck.cpm, also after an erase; files written by
// cpmcp into an image made by mkfs.cpm are extracted unchanged by xev.
#include <gtest/gtest.h>
#include <sys/wait.h>

#include <cstdio>
#include <random>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include "support/formats.h"
#include "support/sandbox.h"

namespace xev::test {
namespace {

struct Shell {
  std::string out;
  int status = -1;
};

// Runs `command` in the sandbox folder; standard error joins the output.
Shell shell(const Sandbox& box, const std::string& command) {
  const std::string full = "cd '" + box.dir() + "' && " + command + " 2>&1";
  Shell result;
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
  return std::system("{ command -v cpmls && command -v cpmcp && command -v mkfs.cpm && "
                     "command -v fsck.cpm; } >/dev/null 2>&1") == 0;
}

struct TestFile {
  int user;
  std::string name;  // upper case 8.3, as the host file is called
  std::string data;
};

std::string lower(std::string text) {
  for (char& c : text) {
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
  }
  return text;
}

// A few files with random names, user areas 0 to 2 and sizes that leave room
// on the disk; the same seed gives the same files.
std::vector<TestFile> make_files(unsigned seed, int count, std::size_t max_size) {
  std::mt19937 random(seed);
  const std::string letters = "ABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789-_$";
  auto pick = [&](int low, int high) {
    return std::uniform_int_distribution<int>(low, high)(random);
  };
  std::set<std::string> taken;
  std::vector<TestFile> files;
  while (static_cast<int>(files.size()) < count) {
    std::string name;
    for (int i = pick(1, 8); i > 0; --i) name += letters[pick(0, 25)];  // a letter first
    const int type_length = pick(0, 3);
    if (type_length > 0) name += ".";
    for (int i = 0; i < type_length; ++i) name += letters[pick(0, int(letters.size()) - 1)];
    if (!taken.insert(name).second) continue;
    TestFile file{pick(0, 2), name, ""};
    // Sizes on and off record boundaries, the empty file included.
    std::size_t size = files.empty() ? 0 : std::size_t(pick(1, int(max_size)));
    if (files.size() == 1) size = size / 128 * 128;
    for (std::size_t i = 0; i < size; ++i) file.data += static_cast<char>(pick(0, 255));
    files.push_back(std::move(file));
  }
  return files;
}

// `copy` holds `data` followed by fill up to the next whole record.
::testing::AssertionResult whole_records_of(const std::string& copy, const std::string& data,
                                            bool fill_is_e5) {
  const std::size_t whole = (data.size() + 127) / 128 * 128;
  if (copy.size() != whole) {
    return ::testing::AssertionFailure() << "size " << copy.size() << ", expected " << whole;
  }
  if (copy.compare(0, data.size(), data) != 0) return ::testing::AssertionFailure() << "data differ";
  if (fill_is_e5 && copy.substr(data.size()) != std::string(whole - data.size(), '\xE5')) {
    return ::testing::AssertionFailure() << "fill is not 0xE5";
  }
  return ::testing::AssertionSuccess();
}

// cpmls output as "user:name" lines, in its order.
std::set<std::string> listed(const std::string& output) {
  std::set<std::string> names;
  std::istringstream lines(output);
  std::string line;
  std::string user = "0";
  while (std::getline(lines, line)) {
    if (line.empty()) continue;
    if (line.back() == ':') {
      user = line.substr(0, line.size() - 1);
    } else {
      names.insert(user + ":" + line);
    }
  }
  return names;
}

class InteropFiles : public ::testing::TestWithParam<InteropFormat> {
 protected:
  void SetUp() override {
    if (!have_cpmtools()) GTEST_SKIP() << "cpmtools are not installed";
  }
};

TEST_P(InteropFiles, CpmtoolsReadWhatXevWrites) {
  const InteropFormat& format = GetParam();
  Sandbox box;
  const std::string image = std::string("x.") + format.extension;
  const std::string tool = std::string(" -f ") + format.diskdef + " ";
  const std::size_t room = std::size_t(format.image_size - format.system_size);
  const std::vector<TestFile> files =
      make_files(unsigned(format.image_size), 4, std::min<std::size_t>(600 * 1024, room / 6));

  for (int user = 0; user <= 2; ++user) {
    const std::string dir = "u" + std::to_string(user);
    box.make_dir(dir);
    for (const TestFile& file : files) {
      if (file.user == user) box.write_file(dir + "/" + file.name, file.data);
    }
    const CliResult added = box.run({image, "-a", dir + "/*", "-u", std::to_string(user)});
    ASSERT_EQ(added.status, 0) << added.err;
  }

  std::set<std::string> expected;
  for (const TestFile& file : files) expected.insert(std::to_string(file.user) + ":" + lower(file.name));
  const Shell ls = shell(box, "cpmls" + tool + image);
  ASSERT_EQ(ls.status, 0) << ls.out;
  EXPECT_EQ(listed(ls.out), expected);

  for (const TestFile& file : files) {
    const Shell copy = shell(box, "cpmcp" + tool + image + " '" + std::to_string(file.user) +
                                      ":" + file.name + "' copy.bin");
    ASSERT_EQ(copy.status, 0) << copy.out;
    EXPECT_TRUE(whole_records_of(box.read_file("copy.bin"), file.data, true)) << file.name;
  }

  Shell check = shell(box, "fsck.cpm -n" + tool + image);
  EXPECT_EQ(check.status, 0) << check.out;

  const TestFile& gone = files.back();
  const CliResult erased = box.run({image, "-e", gone.name, "-u", std::to_string(gone.user)});
  EXPECT_EQ(erased.err, "");
  check = shell(box, "fsck.cpm -n" + tool + image);
  EXPECT_EQ(check.status, 0) << check.out;
  expected.erase(std::to_string(gone.user) + ":" + lower(gone.name));
  EXPECT_EQ(listed(shell(box, "cpmls" + tool + image).out), expected);
}

TEST_P(InteropFiles, XevReadsWhatCpmtoolsWrite) {
  const InteropFormat& format = GetParam();
  Sandbox box;
  const std::string image = std::string("m.") + format.extension;
  const std::string tool = std::string(" -f ") + format.diskdef + " ";
  const std::size_t room = std::size_t(format.image_size - format.system_size);
  const std::vector<TestFile> files =
      make_files(unsigned(format.image_size) + 1, 3, std::min<std::size_t>(600 * 1024, room / 5));

  Shell made = shell(box, "mkfs.cpm" + tool + image + " && truncate -s " +
                              std::to_string(format.image_size) + " " + image);
  ASSERT_EQ(made.status, 0) << made.out;
  for (const TestFile& file : files) {
    box.write_file("in.bin", file.data);
    const Shell copy = shell(box, "cpmcp" + tool + image + " in.bin '" +
                                      std::to_string(file.user) + ":" + file.name + "'");
    ASSERT_EQ(copy.status, 0) << copy.out;
  }

  box.make_dir("out");
  for (const TestFile& file : files) {
    // -iide: mkfs.cpm may leave a directory label, which is no file entry.
    const CliResult got = box.run({image, "-x", "out/" + file.name, "-u",
                                   std::to_string(file.user), "-iide"});
    EXPECT_NE(got.out.find("File '" + file.name + "' extracted\n"), std::string::npos) << got.err;
    EXPECT_TRUE(whole_records_of(box.read_file("out/" + file.name), file.data, false)) << file.name;
  }
}

INSTANTIATE_TEST_SUITE_P(ShippedFormats, InteropFiles, ::testing::ValuesIn(kInteropFormats),
                         [](const ::testing::TestParamInfo<InteropFormat>& info) {
                           return std::string(info.param.extension);
                         });

}  // namespace
}  // namespace xev::test
