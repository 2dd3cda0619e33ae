// CP/M 3 directories: the label, date stamps and passwords are data that
// every command keeps, and cpmtools agrees with what xev writes and shows.
#include <gtest/gtest.h>
#include <sys/wait.h>

#include <cstdio>

#include "cpm/stamps.h"
#include "support/harness.h"

namespace xev::test {
namespace {

// The output and exit status of a shell command run in `folder`.
std::pair<int, std::string> shell(const Folder& folder, const std::string& command) {
  std::FILE* pipe = ::popen(("cd " + folder.path() + " && " + command + " 2>&1").c_str(), "r");
  std::string out;
  char chunk[4096];
  for (std::size_t got; pipe != nullptr && (got = std::fread(chunk, 1, sizeof chunk, pipe)) > 0;) {
    out.append(chunk, got);
  }
  const int status = pipe == nullptr ? -1 : ::pclose(pipe);
  return {WIFEXITED(status) ? WEXITSTATUS(status) : -1, out};
}

TEST(Stamps, DaysCountFromTheFirstOfJanuary1978) {
  const struct {
    int year, month, day, count;
    const char* text;
  } rows[] = {{1978, 1, 1, 1, "1978-01-01 00:00"}, {1978, 12, 31, 365, "1978-12-31 00:00"},
              {2000, 3, 1, 8096, "2000-03-01 00:00"}, {2026, 12, 7, 17873, "2026-12-07 00:00"}};
  for (const auto& row : rows) {
    EXPECT_EQ(stamp_of(row.year, row.month, row.day, 0, 0).day, row.count);
    EXPECT_EQ(format_stamp({row.count, 0, 0}), row.text);
  }
  const std::uint8_t bytes[] = {0xD1, 0x45, 0x23, 0x59};
  EXPECT_EQ(format_stamp(read_stamp(bytes)), "2026-12-07 23:59");
}

// A label that asks for passwords makes user areas 16 to 31 the password
// entries of the files of areas 0 to 15; they go and move with their file.
TEST(Cpm3, LabelStampAndPasswordEntriesAreNoFiles) {
  Folder folder;
  folder.write("xev.ini", section("t", 32, 1, 0, 99, 31));
  ASSERT_EQ(xev(folder, {"p.t", "-f"}).status, 0);
  const std::string stamps = "\x21" + std::string(10, '\x11') + std::string(21, '\x22');
  patch(folder, "p.t", 0,
        entry(0x20, "DISK", "LBL", 0x81, 0, 0) + entry(1, "A", "COM", 0, 0, 8, {1}) +
            entry(17, "A", "COM", 0, 0, 0, {'p', 'w'}) + stamps + entry(17, "B", "", 0, 0, 0));
  Result run = xev(folder, {"p.t", "-c1", "-c"});
  EXPECT_EQ(run.err, "");
  EXPECT_NE(run.out.find("CP/M 3 disk label: DISK.LBL\n"), std::string::npos);
  EXPECT_NE(run.out.find(" 1 A.COM            8    1K  --\n\n1K in 1 file(s), 98K free\n"
                         "27 directory entries free\n"), std::string::npos) << run.out;
  EXPECT_EQ(xev(folder, {"p.t", "-su", "A.COM", "2"}).status, 0);
  std::string image = folder.read("p.t");
  EXPECT_EQ(image.substr(32, 1) + image.substr(64, 1), "\x02\x12");
  EXPECT_EQ(image.substr(96, 32), stamps);
  EXPECT_EQ(xev(folder, {"p.t", "-e", "*.*"}).status, 0);
  image = folder.read("p.t");
  EXPECT_EQ(image.substr(0, 1) + image.substr(32, 1) + image.substr(64, 1) + image.substr(128, 1),
            "\x20\xE5\xE5\x11");
  EXPECT_EQ(image.substr(96, 32), stamps);
  // Without passwords, area 17 holds a file like any other.
  patch(folder, "p.t", 12, "\x01");
  EXPECT_NE(xev(folder, {"p.t", "-c"}).out.find("17 B"), std::string::npos);
}

// cpmtools makes a CP/M 3 disk with stamps and adds a file; xev shows what
// cpmls shows and changes the disk so that fsck.cpm finds it clean.
TEST(Cpm3, CpmtoolsAgreesWithEveryChange) {
  Folder folder;
  if (shell(folder, "command -v mkfs.cpm && command -v cpmcp && command -v fsck.cpm").first != 0) {
    GTEST_SKIP() << "cpmtools missing";
  }
  folder.write("xev.ini", kEightInch);
  folder.write("diskdefs", "diskdef c3\n seclen 128\n tracks 77\n sectrk 26\n blocksize 1024\n"
                           " maxdir 64\n skew 6\n boottrk 2\n os 3\nend\n");
  folder.write("OLD.TXT", "old\n");
  folder.write("NEW.TXT", std::string(3000, 'n'));
  ASSERT_EQ(shell(folder, "mkfs.cpm -f c3 -L stamped -t d.dsk && truncate -s 256256 d.dsk").first, 0);
  patch(folder, "d.dsk", 6656 + 12, "\x31");  // create and update stamps
  ASSERT_EQ(shell(folder, "cpmcp -f c3 d.dsk OLD.TXT 0:OLD.TXT").first, 0);

  const std::string listed = xev(folder, {"d.dsk", "-cd", "-c"}).out;
  EXPECT_NE(listed.find("CP/M 3 disk label: STAMPED\n"), std::string::npos) << listed;
  const std::string cpmls = shell(folder, "cpmls -f c3 -D d.dsk").second;
  // cpmls: "07-Dec-2026 10:36"; xev: "2026-12-07 10:36".
  const std::size_t at = cpmls.find("OLD     .TXT");
  ASSERT_NE(at, std::string::npos) << cpmls;
  const std::string when = cpmls.substr(cpmls.find('-', at) - 2, 17);
  const char* months[] = {"Jan", "Feb", "Mar", "Apr", "May", "Jun",
                          "Jul", "Aug", "Sep", "Oct", "Nov", "Dec"};
  int month = 1;
  while (when.compare(3, 3, months[month - 1]) != 0) ++month;
  char ours[20];
  std::snprintf(ours, sizeof ours, "%s-%02d-%s %s", when.substr(7, 4).c_str(), month,
                when.substr(0, 2).c_str(), when.substr(12, 5).c_str());
  EXPECT_NE(listed.find(std::string("0 OLD.TXT") + "          1    1K  --  " + ours + "  " + ours),
            std::string::npos) << listed;

  const char* changes[][4] = {{"-a", "NEW.TXT"}, {"-sa", "NEW.TXT", "R-"},
                              {"-su", "OLD.TXT", "3"}, {"-e", "OLD.TXT", "-u", "3"}};
  for (const auto& change : changes) {
    std::vector<std::string> args{"d.dsk"};
    for (const char* arg : change) {
      if (arg != nullptr) args.emplace_back(arg);
    }
    EXPECT_EQ(xev(folder, args).status, 0) << change[0];
    const auto [status, report] = shell(folder, "fsck.cpm -f c3 -n d.dsk");
    EXPECT_EQ(status, 0) << change[0];
    EXPECT_EQ(report.find("Warning"), std::string::npos) << change[0] << report;
    EXPECT_EQ(report.find("Error"), std::string::npos) << change[0] << report;
  }
  const std::string after = shell(folder, "cpmls -f c3 -D d.dsk").second;
  const std::string shown = xev(folder, {"d.dsk", "-cd", "-c"}).out;
  const std::size_t line = shown.find("0 NEW.TXT");
  ASSERT_NE(line, std::string::npos) << shown;
  const std::string created = shown.substr(line + 32, 16);
  EXPECT_EQ(shown.substr(line + 50, 16), created);
  EXPECT_NE(after.find("NEW     .TXT     3K     24 R    " + created.substr(8, 2)), std::string::npos)
      << after;
}

}  // namespace
}  // namespace xev::test
