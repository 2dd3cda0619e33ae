// CP/M 3 directories: the label, date stamps and passwords are data that
// every command keeps, and cpmtools agrees with what xev writes and shows.
#include <gtest/gtest.h>
#include <sys/wait.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <filesystem>
#include <iterator>
#include <sstream>

#include "cpm/stamps.h"
#include "support/harness.h"

namespace xev::test {
namespace {

// The exit status and output of a shell command run in `folder`.
std::pair<int, std::string> shell(const Folder& folder, const std::string& command) {
  int s = std::system(("cd " + folder.path() + "&&(" + command + ")>log 2>&1").c_str());
  return {WIFEXITED(s) ? WEXITSTATUS(s) : -1, folder.read("log")};
}

// Days count from the first of January 1978.
TEST(Stamps, DaysCountFromTheFirstOfJanuary1978) {
  for (const char* row : {"1978-01-01 1", "1978-12-31 365", "2000-03-01 8096"}) {
    int year = 0, month = 0, day = 0, count = 0;
    std::sscanf(row, "%d-%d-%d %d", &year, &month, &day, &count);
    EXPECT_EQ(stamp_of(year, month, day, 0, 0).day, count);
    EXPECT_EQ(format_stamp({count, 0, 0}), std::string(row, 10) + " 00:00");
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
            entry(17, "A", "COM", 0, 0, 0, {'p', 'w'}) + stamps +
            entry(17, "B", "", 0, 0, 0));
  const Result run = xev(folder, {"p.t", "-c1", "-c"});
  EXPECT_EQ(run.err, "");
  EXPECT_NE(run.out.find("CP/M 3 disk label: DISK.LBL\n"), std::string::npos);
  // One file, in one unit; the other entries are in use.
  EXPECT_NE(run.out.find("1 file(s), 98K free\n27 directory entries"), std::string::npos);
  // The first bytes of the label, A.COM, its password, B's password; the stamps.
  const auto entries = [&] {
    const std::string image = folder.read("p.t");
    return std::string{image[0], image[32], image[64], image[128]} + image.substr(96, 32);
  };
  EXPECT_EQ(xev(folder, {"p.t", "-su", "A.COM", "2"}).status, 0);
  EXPECT_EQ(entries(), "\x20\x02\x12\x11" + stamps);
  EXPECT_EQ(xev(folder, {"p.t", "-e", "*.*"}).status, 0);
  EXPECT_EQ(entries(), "\x20\xE5\xE5\x11" + stamps);
  // Without passwords, area 17 holds a file like any other.
  patch(folder, "p.t", 12, "\x01");
  EXPECT_NE(xev(folder, {"p.t", "-c"}).out.find("17 B"), std::string::npos);
}

// cpmtools makes a CP/M 3 disk with stamps and adds a file; xev shows what
// cpmls shows and changes the disk so that fsck.cpm finds it clean.
TEST(Cpm3, CpmtoolsAgreesWithEveryChange) {
  Folder folder;
  folder.write("xev.ini", kEightInch);
  folder.write("diskdefs",
               "diskdef c\nseclen 128\ntracks 77\nsectrk 26\nblocksize 1024\n"
               "maxdir 64\nskew 6\nboottrk 2\nos 3\nend\n");
  folder.write("NEW.TXT", std::string(3000, 'n'));
  ASSERT_EQ(shell(folder, "mkfs.cpm -f c -L stamped -t d.dsk").first, 0);
  std::filesystem::resize_file(folder.path("d.dsk"), 256256);
  patch(folder, "d.dsk", 6656 + 12, "\x31");  // create and update stamps
  ASSERT_EQ(shell(folder, "cpmcp -f c d.dsk xev.ini 0:OLD.TXT").first, 0);
  // xev's line of a file, both stamps the same, and cpmls's line of it, where
  // "2026-12-07 10:36" is "07-Dec-2026 10:36".
  const auto agree = [&](const std::string& ours, const std::string& theirs) {
    const std::string shown = xev(folder, {"d.dsk", "-cd", "-c"}).out;
    const std::string stamp = shown.substr(shown.find(ours) + ours.size(), 16);
    std::tm when{};
    strptime(stamp.c_str(), "%Y-%m-%d %H:%M", &when);
    char date[20];
    std::strftime(date, sizeof date, "%d-%b-%Y %H:%M", &when);
    EXPECT_NE(shown.find(ours + stamp + "  " + stamp), std::string::npos) << shown;
    const std::string cpmls = shell(folder, "cpmls -f c -D d.dsk").second;
    EXPECT_NE(cpmls.find(theirs + date + "  " + date), std::string::npos) << cpmls;
  };
  agree("0 OLD.TXT          1    1K  --  ", "OLD     .TXT     1K      0      ");
  for (const char* change :
       {"-a NEW.TXT", "-sa NEW.TXT R-", "-su OLD.TXT 3", "-e OLD.TXT -u 3"}) {
    std::istringstream words(std::string("d.dsk ") + change);
    const std::vector<std::string> args(std::istream_iterator<std::string>(words), {});
    EXPECT_EQ(xev(folder, args).status, 0) << change;
    const auto [status, report] = shell(folder, "fsck.cpm -f c -n d.dsk");
    EXPECT_TRUE(status == 0 && report.find("Warning") == std::string::npos) << report;
  }
  agree("0 NEW.TXT         24    3K  R-  ", "NEW     .TXT     3K     24 R    ");
}

}  // namespace
}  // namespace xev::test
