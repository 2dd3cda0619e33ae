#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "commands/add_helpers.h"
#include "support/sandbox.h"

namespace xev::test::files {
namespace {

std::string heading(const std::string& path, const std::string& mask) {
  return "Extracting file(s) from 'x.t1'\n  path: '" + path + "', mask: '" + mask + "'\n\n";
}

std::string done(int count) {
  return "\nDone. " + std::to_string(count) + " file(s) extracted.\n\n";
}

// Data area unit `au` of a [t1] image (1 KiB units, no system area).
std::string unit_of(const std::string& image, int au) { return image.substr(au * 1024u, 1024); }

class ExtractTest : public ::testing::Test {
 protected:
  void SetUp() override {
    use_test_ini(box);
    format_image_file(box, "x.t1");
  }

  // Writes `bytes` into data unit `au` of the image.
  void put_unit(int au, const std::string& bytes) const {
    std::string image = box.read_file("x.t1");
    image.replace(au * 1024u, bytes.size(), bytes);
    box.write_file("x.t1", image);
  }

  Sandbox box;
};

TEST_F(ExtractTest, RoundTripsFilesOfEverySizeInWholeRecords) {
  box.make_dir("in");
  box.make_dir("out");
  const std::vector<std::size_t> sizes = {0, 1, 127, 128, 200, 1024, 16384, 16385, 40000};
  for (std::size_t i = 0; i < sizes.size(); ++i) {
    box.write_file("in/F" + std::to_string(i) + ".DAT", data_bytes(sizes[i], unsigned(i)));
  }
  ASSERT_EQ(box.run({"x.t1", "-a", "in/*.DAT"}).err, "");
  const CliResult result = box.run({"x.t1", "-x", "out/*.DAT"});
  std::string lines;
  for (std::size_t i = 0; i < sizes.size(); ++i) lines += "File 'F" + std::to_string(i) + ".DAT' extracted\n";
  EXPECT_EQ(result.out, stdout_of(heading("out/", "*.DAT") + lines + done(int(sizes.size()))));
  EXPECT_EQ(result.err, "");
  for (std::size_t i = 0; i < sizes.size(); ++i) {
    const std::size_t whole = (sizes[i] + 127) / 128 * 128;
    EXPECT_EQ(box.read_file("out/F" + std::to_string(i) + ".DAT"),
              data_bytes(sizes[i], unsigned(i)) + std::string(whole - sizes[i], '\xE5'))
        << sizes[i];
  }
}

TEST_F(ExtractTest, SameNameInTwoUserAreasEndsAsTheLaterFile) {
  box.write_file("A.COM", "first");
  ASSERT_EQ(box.run({"x.t1", "-a", "A.COM", "-u", "1"}).err, "");
  box.write_file("A.COM", "second");
  ASSERT_EQ(box.run({"x.t1", "-a", "A.COM", "-u", "0"}).err, "");
  box.make_dir("out");
  box.write_file("out/A.COM", std::string(5000, 'x'));  // larger: replaced

  CliResult result = box.run({"x.t1", "-x", "out/A.COM"});
  EXPECT_EQ(result.out, stdout_of(heading("out/", "A.COM") + "File 'A.COM' extracted\n"
                                  "File 'A.COM' extracted\n" + done(2)));
  EXPECT_EQ(box.read_file("out/A.COM"), "second" + std::string(122, '\xE5'));

  result = box.run({"x.t1", "-x", "out/A.COM", "-u", "1"});
  EXPECT_EQ(result.out, stdout_of(heading("out/", "A.COM") + "File 'A.COM' extracted\n" + done(1)));
  EXPECT_EQ(box.read_file("out/A.COM"), "first" + std::string(123, '\xE5'));
}

TEST_F(ExtractTest, FollowsEntriesInDirectoryOrderUpToTheirFirstZeroPointer) {
  // Entry 0: units 2, (0), 3 - unit 3 is never read; entry 1: units 4, 5 of
  // extent 1 with 16 records; the file claims 144 records, 24 are stored.
  put_entry(box, "x.t1", 0, file_entry(0, "Z       DAT", 0, 0, 0x80, {2, 0, 3}));
  put_entry(box, "x.t1", 1, file_entry(0, "Z       DAT", 1, 0, 16, {4, 5}));
  for (int au = 2; au <= 5; ++au) put_unit(au, data_bytes(1024, unsigned(au)));
  const CliResult result = box.run({"x.t1", "-x", "Z.DAT"});
  EXPECT_EQ(result.out, stdout_of(heading("", "Z.DAT") + "File 'Z.DAT' extracted\n" + done(1)));
  const std::string image = box.read_file("x.t1");
  EXPECT_EQ(box.read_file("Z.DAT"), unit_of(image, 2) + unit_of(image, 4) + unit_of(image, 5));
}

TEST_F(ExtractTest, StopsAtTheRecordCountOfTheLastEntry) {
  put_entry(box, "x.t1", 0, file_entry(0, "R       DAT", 0, 0, 3, {2, 3}));
  put_unit(2, data_bytes(1024));
  EXPECT_EQ(box.run({"x.t1", "-x", "R.DAT"}).err, "");
  EXPECT_EQ(box.read_file("R.DAT"), data_bytes(1024).substr(0, 384));
}

TEST_F(ExtractTest, WidePointersAreReadLowByteFirst) {
  format_image_file(box, "x.big");  // 4 KiB units, 16-bit pointers
  put_entry(box, "x.big", 0, file_entry(0, "W       DAT", 0, 0, 64, {300, 258}, true));
  std::string image = box.read_file("x.big");
  image.replace(300 * 4096u, 4096, data_bytes(4096, 1));
  image.replace(258 * 4096u, 4096, data_bytes(4096, 2));
  box.write_file("x.big", image);
  const CliResult result = box.run({"x.big", "-x", "W.DAT"});
  EXPECT_EQ(result.err, "");
  EXPECT_EQ(box.read_file("W.DAT"), data_bytes(4096, 1) + data_bytes(4096, 2));
}

TEST_F(ExtractTest, HostNamesReplacePathAndQuoteCharacters) {
  put_entry(box, "x.t1", 0, file_entry(0, "A/B        ", 0, 0, 1, {2}));
  put_entry(box, "x.t1", 1, file_entry(0, "C|D     T\"T", 0, 0, 1, {3}));
  put_entry(box, "x.t1", 2, file_entry(0, "E\\F     TXT", 0, 0, 0, {}));
  put_entry(box, "x.t1", 3, file_entry(0, "PLAIN   TXT", 0, 0, 0, {}));
  const CliResult result = box.run({"x.t1", "-x", "*.*"});
  EXPECT_EQ(result.out, stdout_of(heading("", "*.*") + "File 'A/B' extracted as A_B\n"
                                  "File 'C|D.T\"T' extracted as C_D.T_T\n"
                                  "File 'E\\F.TXT' extracted as E_F.TXT\n"
                                  "File 'PLAIN.TXT' extracted\n" + done(4)));
  EXPECT_EQ(result.err, "");
  EXPECT_EQ(box.read_file("A_B").size(), 128u);
  EXPECT_TRUE(box.exists("C_D.T_T"));
  EXPECT_TRUE(box.exists("E_F.TXT"));
}

TEST_F(ExtractTest, NothingFoundAndFailedCreation) {
  box.write_file("A.COM", "a");
  ASSERT_EQ(box.run({"x.t1", "-a", "A.COM"}).err, "");
  struct Case { const char* arg; const char* path; const char* mask; const char* out_tail; const char* err; };
  const Case cases[] = {
      {"*.TXT", "", "*.TXT", "\nDone. 0 file(s) extracted.\n\n", ""},
      {"B.COM", "", "B.COM", "", "File `B.COM` not found !!!\n"},
      {"missing/A.COM", "missing/", "A.COM", "", "File `A.COM` already exist !!!\n"},
  };
  for (const Case& c : cases) {
    const CliResult result = box.run({"x.t1", "-x", c.arg});
    EXPECT_EQ(result.out, stdout_of(heading(c.path, c.mask) + c.out_tail)) << c.arg;
    EXPECT_EQ(result.err, c.err) << c.arg;
    EXPECT_EQ(result.status, 0);
  }
  const CliResult result = box.run({"x.t1", "-x", "A:B.COM"});
  EXPECT_EQ(result.out, stdout_of(""));
  EXPECT_EQ(result.err, "Name of this file `A:B.COM` has incorrect format !!!\n");
}

}  // namespace
}  // namespace xev::test::files
