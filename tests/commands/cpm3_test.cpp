// CP/M 3 directories: the label, date stamps and passwords are data that
// every command keeps. (scripts/interop-matrix.py holds them against cpmtools.)
#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>
#include <ctime>

#include "cpm/stamps.h"
#include "support/harness.h"

namespace xev::test {
namespace {

// Days count from the first of January 1978.
TEST(Stamps, DaysCountFromTheFirstOfJanuary1978) {
  for (const char* row : {"1978-01-01 1", "1978-12-31 365", "2000-03-01 8096", "2001-01-01 8402"}) {
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
        entry(0x20, "DISK", "LBL", 0x81, 0, 0) + entry(15, "A", "COM", 0, 0, 8, {1}) +
            entry(31, "A", "COM", 0, 0, 0, {'p', 'w'}) + stamps +
            entry(31, "B", "COM", 0, 0, 0) + entry(31, "A", "CON", 0, 0, 0));
  const Result run = xev(folder, {"p.t", "-c1", "-c"});
  EXPECT_EQ(run.err, "");
  EXPECT_NE(run.out.find("CP/M 3 disk label: DISK.LBL\n"), std::string::npos);
  // One file, in one unit; the other entries are in use.
  EXPECT_NE(run.out.find("1 file(s), 98K free\n26 directory entries"), std::string::npos);
  // The first bytes of the label, A.COM, its password, those of B.COM and
  // A.CON; the stamps.
  const auto entries = [&] {
    const std::string image = folder.read("p.t");
    return std::string{image[0], image[32], image[64], image[128], image[160]} +
           image.substr(96, 32);
  };
  EXPECT_EQ(xev(folder, {"p.t", "-su", "A.COM", "2"}).status, 0);
  EXPECT_EQ(entries(), "\x20\x02\x12\x1F\x1F" + stamps);
  EXPECT_EQ(xev(folder, {"p.t", "-e", "*.*"}).status, 0);
  EXPECT_EQ(entries(), "\x20\xE5\xE5\x1F\x1F" + stamps);
  // Without passwords, area 31 holds a file like any other.
  patch(folder, "p.t", 12, "\x01");
  EXPECT_NE(xev(folder, {"p.t", "-c"}).out.find("31 B.COM"), std::string::npos);
  // A new file (entry 1) gets the stamps the label asks for, in local time.
  folder.write("N.TXT", "n");
  const auto clock = [] {
    char text[32];
    const std::time_t now = std::time(nullptr);
    std::strftime(text, sizeof text, "%Y-%m-%d %H:%M", std::localtime(&now));
    return std::string(text);
  };
  for (const char* flags : {"\x10", "\x20"}) {
    patch(folder, "p.t", 12, flags);
    const std::string before = clock();
    EXPECT_EQ(xev(folder, {"p.t", "-ow", "-a", "N.TXT"}).status, 0);
    const std::string after = clock();
    const std::string slot = folder.read("p.t").substr(107, 8);
    const bool create = flags[0] == 0x10;
    const std::string stamp = format_stamp(read_stamp(reinterpret_cast<const std::uint8_t*>(
        slot.data() + (create ? 0 : 4))));
    EXPECT_TRUE(stamp == before || stamp == after) << stamp;
    EXPECT_EQ(slot.substr(create ? 4 : 0, 4), std::string(4, '\0'));
  }
}

}  // namespace
}  // namespace xev::test
