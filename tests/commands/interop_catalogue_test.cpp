// Interoperability with Debian's cpmtools, used as a black box: images made
// and filled by mkfs.cpm and cpmcp list the same files in xev's catalogue as
// in cpmls, and images formatted by xev pass fsck.cpm and list empty.
#include <gtest/gtest.h>
#include <sys/wait.h>

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <random>
#include <sstream>
#include <string>
#include <tuple>
#include <vector>

#include "support/formats.h"
#include "support/sandbox.h"

namespace xev::test {
namespace {

struct Listed {
  int user;
  std::string name;
  int records;
  bool operator<(const Listed& o) const {
    return std::tie(user, name, records) < std::tie(o.user, o.name, o.records);
  }
  bool operator==(const Listed& o) const {
    return std::tie(user, name, records) == std::tie(o.user, o.name, o.records);
  }
};

std::ostream& operator<<(std::ostream& out, const Listed& item) {
  return out << item.user << ':' << item.name << ' ' << item.records;
}

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
  return std::system("{ command -v cpmls && command -v cpmcp && command -v mkfs.cpm && "
                     "command -v fsck.cpm; } >/dev/null 2>&1") == 0;
}

std::string upper(std::string text) {
  for (char& c : text) {
    if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
  }
  return text;
}

// `cpmls -l`: a "N:" line opens each user area, then one line per file:
// mode, size in bytes, date (3 words), name.
std::vector<Listed> parse_cpmls(const std::string& text) {
  std::vector<Listed> files;
  std::istringstream lines(text);
  std::string line;
  int user = -1;
  while (std::getline(lines, line)) {
    if (line.empty()) continue;
    if (line.back() == ':') {
      user = std::stoi(line);
    } else if (line[0] == '-' || line[0] == 'd') {
      std::istringstream words(line);
      std::string mode, month, day, year, name;
      long long size = 0;
      words >> mode >> size >> month >> day >> year >> name;
      files.push_back({user, upper(name), static_cast<int>((size + 127) / 128)});
    }
  }
  std::sort(files.begin(), files.end());
  return files;
}

// xev's one-column catalogue: the lines between the dash line and the
// empty line.
std::vector<Listed> parse_catalogue(const std::string& text) {
  std::vector<Listed> files;
  const std::string rule = "-------------------------------\n";
  const std::size_t start = text.find(rule);
  if (start == std::string::npos) return files;
  std::istringstream lines(text.substr(start + rule.size()));
  std::string line;
  while (std::getline(lines, line) && !line.empty()) {
    std::string name = line.substr(3, 12);
    name.erase(name.find_last_not_of(' ') + 1);
    std::istringstream rest(line.substr(15));
    int records = -1;
    rest >> records;
    files.push_back({std::stoi(line.substr(0, 2)), name, records});
  }
  std::sort(files.begin(), files.end());
  return files;
}

struct HostFile {
  int user;
  std::string name;
  std::size_t size;
};

// The same files for every format, scaled to its capacity: edge sizes around
// a record and an extent, equal names in several user areas, and a few
// seeded random sizes up to a few hundred KiB.
std::vector<HostFile> plan_files(const InteropFormat& format) {
  const std::size_t capacity = static_cast<std::size_t>(format.image_size - format.system_size);
  std::vector<HostFile> files = {
      {0, "EMPTY", 0},          {0, "ONE.REC", 128},     {0, "ODD.TXT", 1000},
      {1, "ODD.TXT", 129},      {5, "EXTENT.BIN", 16385}, {15, "A.B", 1},
      {31, "LAST.COM", 4095},   {2, "BIG.DAT", std::min<std::size_t>(capacity / 4, 300 * 1024)},
  };
  std::mt19937 random(20260401);
  const std::size_t most = std::min<std::size_t>(capacity / 24, 200 * 1024);
  for (int i = 0; i < 6; ++i) {
    const int user = static_cast<int>(random() % 16);
    const std::size_t size = random() % most;
    files.push_back({user, "R" + std::to_string(10 + i) + ".DAT", size});
  }
  return files;
}

void write_host_files(const Sandbox& box, const std::vector<HostFile>& files) {
  std::mt19937 random(7);
  for (std::size_t i = 0; i < files.size(); ++i) {
    std::string bytes(files[i].size, '\0');
    for (char& c : bytes) c = static_cast<char>(random());
    box.write_file("host" + std::to_string(i), bytes);
  }
}

class InteropCatalogueTest : public ::testing::TestWithParam<InteropFormat> {
 protected:
  void SetUp() override {
    if (!have_cpmtools()) GTEST_SKIP() << "cpmtools not installed";
  }
  Sandbox box;
};

TEST_P(InteropCatalogueTest, CatalogueMatchesCpmls) {
  const InteropFormat& format = GetParam();
  const std::string image = std::string("img.") + format.extension;
  const std::string def = format.diskdef;

  Shell made = shell(box, "mkfs.cpm -f " + def + " " + image + " && truncate -s " +
                              std::to_string(format.image_size) + " " + image);
  ASSERT_EQ(made.status, 0) << made.out;
  const std::vector<HostFile> files = plan_files(format);
  write_host_files(box, files);
  for (std::size_t i = 0; i < files.size(); ++i) {
    const Shell copied = shell(box, "cpmcp -f " + def + " " + image + " host" +
                                        std::to_string(i) + " " +
                                        std::to_string(files[i].user) + ":" + files[i].name);
    ASSERT_EQ(copied.status, 0) << files[i].name << ": " << copied.out;
  }

  // mkfs.cpm gives CP/M 3 formats a directory label (user byte 0x20) at
  // index 0, which xev takes for a corrupt entry; free it once cpmtools is
  // done writing.
  std::string bytes = box.read_file(image);
  const std::size_t first_entry = static_cast<std::size_t>(format.system_size);
  if (!format.skewed && static_cast<std::uint8_t>(bytes[first_entry]) == 0x20) {
    bytes.replace(first_entry, 32, "\xE5" + std::string(11, ' ') + std::string(20, '\0'));
    box.write_file(image, bytes);
  }

  const Shell listed = shell(box, "cpmls -f " + def + " -l " + image);
  ASSERT_EQ(listed.status, 0) << listed.out;
  const std::vector<Listed> expected = parse_cpmls(listed.out);
  ASSERT_EQ(expected.size(), files.size()) << listed.out;

  const CliResult catalogue = box.run({image, "-c1", "-cu", "-c"});
  EXPECT_EQ(catalogue.err, "");
  EXPECT_EQ(catalogue.status, 0);
  EXPECT_EQ(parse_catalogue(catalogue.out), expected) << catalogue.out;
  EXPECT_NE(catalogue.out.find(" in " + std::to_string(files.size()) + " file(s), "),
            std::string::npos);
}

TEST_P(InteropCatalogueTest, FormattedImagePassesFsckAndListsEmpty) {
  const InteropFormat& format = GetParam();
  const std::string image = std::string("new.") + format.extension;
  const CliResult formatted = box.run({image, "-f"});
  ASSERT_EQ(formatted.status, 0) << formatted.err;
  EXPECT_EQ(box.read_file(image).size(), static_cast<std::size_t>(format.image_size));

  const Shell fsck = shell(box, std::string("fsck.cpm -n -f ") + format.diskdef + " " + image);
  EXPECT_EQ(fsck.status, 0) << fsck.out;
  const Shell listed = shell(box, std::string("cpmls -f ") + format.diskdef + " " + image);
  EXPECT_EQ(listed.status, 0);
  EXPECT_EQ(listed.out, "");
}

INSTANTIATE_TEST_SUITE_P(ShippedFormats, InteropCatalogueTest,
                         ::testing::ValuesIn(kInteropFormats),
                         [](const ::testing::TestParamInfo<InteropFormat>& info) {
                           return std::string(info.param.extension);
                         });

}  // namespace
}  // namespace xev::test
