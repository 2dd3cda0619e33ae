// -sa and -su on images whose directory is laid out byte by byte here.
#include <gtest/gtest.h>

#include <cstdint>
#include <initializer_list>
#include <string>
#include <vector>

#include "support/sandbox.h"

namespace xev::test {
namespace {

// Identity skew, 1 KiB units, 64 entries: entry i lies at kSystemSize + 32 i.
const char* const kIni =
    "[dsk]\nSPT=26\nXLT=0\nBLS=1\nEXM=0\nDSM=242\nDRM=63\nOFF=2\n";
constexpr int kSystemSize = 6656;
constexpr int kImageSize = 256256;

struct Entry {
  std::uint8_t user;
  const char* name;  // 11 characters; attribute bits are added separately
  std::uint8_t ex;
  std::uint8_t rc;
  std::vector<int> units;
};

class Disk {
 public:
  Disk() : bytes_(kImageSize, '\xE5') {}

  Disk& put(int index, const Entry& e) {
    std::string raw(32, '\0');
    raw[0] = static_cast<char>(e.user);
    raw.replace(1, 11, e.name);
    raw[12] = static_cast<char>(e.ex);
    raw[15] = static_cast<char>(e.rc);
    for (std::size_t i = 0; i < e.units.size(); ++i) {
      raw[16 + i] = static_cast<char>(e.units[i]);
    }
    bytes_.replace(offset(index), 32, raw);
    return *this;
  }
  // Sets bit 7 of byte `byte` of entry `index`.
  Disk& high(int index, int byte) {
    bytes_[offset(index) + byte] = static_cast<char>(bytes_[offset(index) + byte] | 0x80);
    return *this;
  }
  Disk& set(int index, int byte, std::uint8_t value) {
    bytes_[offset(index) + byte] = static_cast<char>(value);
    return *this;
  }
  const std::string& bytes() const { return bytes_; }

 private:
  static std::size_t offset(int index) {
    return static_cast<std::size_t>(kSystemSize + 32 * index);
  }
  std::string bytes_;
};

class AttributesTest : public ::testing::Test {
 protected:
  void SetUp() override { box.write_ini(kIni); }
  CliResult run(const Disk& disk, const std::vector<std::string>& args) {
    box.write_file("t.dsk", disk.bytes());
    std::vector<std::string> full{"t.dsk"};
    full.insert(full.end(), args.begin(), args.end());
    return box.run(full);
  }
  std::string image() const { return box.read_file("t.dsk"); }
  Sandbox box;
};

// A file of three entries with a foreign entry of the same name before it and
// one whose key differs in an attribute bit after it; bit 7 of byte 11 and of
// a name byte are set on the file's entries.
Disk three_entry_file() {
  Disk disk;
  disk.put(0, {0, "BIG     DAT", 2, 0, {40}})  // further entry lying before the first
      .put(1, {0, "BIG     DAT", 0, 128, {10, 11}})
      .put(2, {0, "OTHER   TXT", 0, 1, {20}})
      .put(3, {0, "BIG     DAT", 1, 128, {12}})
      .put(4, {0, "BIG     DAT", 2, 3, {13}})
      .put(5, {0, "BIG     DAT", 3, 1, {14}})
      .high(5, 10);  // same name, but the system bit makes another key
  for (int i : {0, 1, 3, 4, 5}) disk.high(i, 11).high(i, 2);
  return disk;
}

TEST_F(AttributesTest, SetsBothBitsOnEveryEntryOfTheFileOnly) {
  const Disk before = three_entry_file();
  const CliResult result = run(before, {"-sa", "BIG.DAT", "RS"});
  EXPECT_EQ(result.err, "");
  EXPECT_EQ(result.status, 0);
  EXPECT_EQ(result.out, std::string(kBanner) +
                            "Setting file attributes to 'RS', mask: 'BIG.DAT'\n\n"
                            "File attributes for 'BIG.DAT' are set.\n"
                            "\nDone. Attributes set for 1 file(s).\n\n");
  Disk after = before;
  for (int i : {1, 3, 4}) after.high(i, 9).high(i, 10);
  EXPECT_EQ(image(), after.bytes());
}

TEST_F(AttributesTest, EachAttributeTextWritesBothBits) {
  struct Case {
    const char* attrs;
    bool read_only_before, system_before;
    std::uint8_t byte9, byte10;  // expected, with bit 7 of the stored 'D' and 'A'
  };
  const Case cases[] = {
      {"--", true, true, 'D', 'A'},
      {"R-", false, true, 'D' | 0x80, 'A'},
      {"-S", true, false, 'D', 'A' | 0x80},
      {"RS", false, false, 'D' | 0x80, 'A' | 0x80},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.attrs);
    Disk disk;
    disk.put(0, {0, "FILE    DAT", 0, 1, {5}}).put(1, {0, "FILE    DAT", 1, 1, {6}});
    for (int i : {0, 1}) {
      if (c.read_only_before) disk.high(i, 9);
      if (c.system_before) disk.high(i, 10);
      disk.high(i, 11);
    }
    const CliResult result = run(disk, {"-sa", "FILE.DAT", c.attrs});
    EXPECT_EQ(result.out, std::string(kBanner) + "Setting file attributes to '" + c.attrs +
                              "', mask: 'FILE.DAT'\n\nFile attributes for 'FILE.DAT' are "
                              "set.\n\nDone. Attributes set for 1 file(s).\n\n");
    Disk after = disk;
    for (int i : {0, 1}) after.set(i, 9, c.byte9).set(i, 10, c.byte10);
    EXPECT_EQ(image(), after.bytes());
  }
}

TEST_F(AttributesTest, FilesThatAlreadyHaveTheChangeAreStillCounted) {
  Disk disk;
  disk.put(0, {0, "A       COM", 0, 1, {5}})
      .put(1, {0, "A       COM", 1, 1, {6}})
      .high(0, 9)
      .high(1, 9)
      .put(2, {3, "B       COM", 0, 1, {7}});
  CliResult result = run(disk, {"-sa", "*.COM", "R-"});
  EXPECT_EQ(result.out, std::string(kBanner) +
                            "Setting file attributes to 'R-', mask: '*.COM'\n\n"
                            "File attributes for 'A.COM' are set.\n"
                            "File attributes for 'B.COM' are set.\n"
                            "\nDone. Attributes set for 2 file(s).\n\n");
  Disk after = disk;
  after.high(2, 9);
  EXPECT_EQ(image(), after.bytes());

  result = run(disk, {"-su", "*.COM", "3", "-u", "3"});
  EXPECT_EQ(result.out, std::string(kBanner) +
                            "Setting user area to '3', mask: '*.COM'\n\n"
                            "User area for 'B.COM' set.\n"
                            "\nDone. User area set for 1 file(s).\n\n");
  EXPECT_EQ(image(), disk.bytes());
}

TEST_F(AttributesTest, MovesOnlyTheFilesOfTheFilteredUserArea) {
  Disk disk;
  disk.put(0, {0, "GAME    DAT", 0, 1, {5}})
      .put(1, {2, "GAME    DAT", 0, 128, {6}})
      .put(2, {2, "GAME    DAT", 1, 4, {7}})
      .put(3, {2, "NOTES   TXT", 0, 1, {8}})
      .high(1, 10)
      .high(2, 10);
  const CliResult result = run(disk, {"-u", "2", "-su", "GAME.DAT", "3"});
  EXPECT_EQ(result.err, "");
  EXPECT_EQ(result.out, std::string(kBanner) +
                            "Setting user area to '3', mask: 'GAME.DAT'\n\n"
                            "User area for 'GAME.DAT' set.\n"
                            "\nDone. User area set for 1 file(s).\n\n");
  Disk after = disk;
  after.set(1, 0, 3).set(2, 0, 3);
  EXPECT_EQ(image(), after.bytes());
}

TEST_F(AttributesTest, WithoutFilterEveryUserAreaIsMovedAndHeadingShowsTheTarget) {
  Disk disk;
  disk.put(0, {0, "X       DAT", 0, 1, {5}}).put(1, {9, "X       DAT", 0, 1, {6}});
  const CliResult result = run(disk, {"-su", "X.DAT", "7"});
  EXPECT_EQ(result.out, std::string(kBanner) +
                            "Setting user area to '7', mask: 'X.DAT'\n\n"
                            "User area for 'X.DAT' set.\n"
                            "User area for 'X.DAT' set.\n"
                            "\nDone. User area set for 2 file(s).\n\n");
  Disk after = disk;
  after.set(0, 0, 7).set(1, 0, 7);
  EXPECT_EQ(image(), after.bytes());
}

TEST_F(AttributesTest, DisplayNamesKeepCaseAndTheTrailingPoint) {
  Disk disk;
  disk.put(0, {4, "README     ", 0, 1, {5}})
      .put(1, {4, "notes   txt", 0, 1, {6}})
      .put(2, {4, "AB      C  ", 0, 1, {7}})
      .high(1, 1);  // the high bit of a name byte is not part of the name
  const CliResult result = run(disk, {"-u", "4", "-sa", "*.*", "-S"});
  EXPECT_EQ(result.out, std::string(kBanner) +
                            "Setting file attributes to '-S', mask: '*.*'\n\n"
                            "File attributes for 'README.' are set.\n"
                            "File attributes for 'notes.txt' are set.\n"
                            "File attributes for 'AB.C' are set.\n"
                            "\nDone. Attributes set for 3 file(s).\n\n");
}

TEST_F(AttributesTest, NoMatchPrintsHeadingAndZeroCount) {
  Disk disk;
  disk.put(0, {0, "A       COM", 0, 1, {5}});
  CliResult result = run(disk, {"-sa", "Z*.*", "RS"});
  EXPECT_EQ(result.err, "");
  EXPECT_EQ(result.out, std::string(kBanner) +
                            "Setting file attributes to 'RS', mask: 'Z*.*'\n\n"
                            "\nDone. Attributes set for 0 file(s).\n\n");
  result = run(disk, {"-su", "A.COM", "1", "-u", "5"});
  EXPECT_EQ(result.out, std::string(kBanner) +
                            "Setting user area to '1', mask: 'A.COM'\n\n"
                            "\nDone. User area set for 0 file(s).\n\n");
  EXPECT_EQ(image(), disk.bytes());
}

TEST_F(AttributesTest, RefusedMaskPrintsOnlyTheError) {
  Disk disk;
  disk.put(0, {0, "A       COM", 0, 1, {5}});
  for (const std::vector<std::string>& args :
       {std::vector<std::string>{"-sa", "A<B.COM", "RS"},
        std::vector<std::string>{"-su", "A<B.COM", "2"}}) {
    const CliResult result = run(disk, args);
    EXPECT_EQ(result.out, kBanner);
    EXPECT_EQ(result.err, "Name of this file `A<B.COM` has incorrect format !!!\n");
    EXPECT_EQ(result.status, 0);
    EXPECT_EQ(image(), disk.bytes());
  }
}

}  // namespace
}  // namespace xev::test
