#include <gtest/gtest.h>

#include <string>

#include "commands/add_helpers.h"
#include "support/sandbox.h"

namespace xev::test::files {
namespace {

std::string heading(const std::string& mask) {
  return "Erasing file(s) from 'x.t1', mask: '" + mask + "'\n\n";
}

std::string done(int count) { return "\nDone. " + std::to_string(count) + " file(s) erased.\n\n"; }

class EraseTest : public ::testing::Test {
 protected:
  void SetUp() override {
    use_test_ini(box);
    format_image_file(box, "x.t1");
  }
  Sandbox box;
};

TEST_F(EraseTest, MultiEntryFileIsCountedOnceAndOnlyByteZeroChanges) {
  box.write_file("BIG.DAT", data_bytes(40 * 1024));
  box.write_file("KEEP.DAT", "keep");
  ASSERT_EQ(box.run({"x.t1", "-a", "BIG.DAT"}).err, "");
  ASSERT_EQ(box.run({"x.t1", "-a", "KEEP.DAT"}).err, "");
  const std::string before = box.read_file("x.t1");

  const CliResult result = box.run({"x.t1", "-e", "big.dat"});
  EXPECT_EQ(result.out, stdout_of(heading("big.dat") + "File 'BIG.DAT' erased\n" + done(1)));
  EXPECT_EQ(result.err, "");
  std::string expected = before;
  for (int index : {0, 1, 2}) expected[index * 32] = '\xE5';
  EXPECT_EQ(box.read_file("x.t1"), expected);

  // The 40 units of BIG.DAT are free again: the next file takes unit 2.
  box.write_file("NEW.DAT", "new");
  ASSERT_EQ(box.run({"x.t1", "-a", "NEW.DAT"}).err, "");
  EXPECT_EQ(entry_of(box.read_file("x.t1"), 0), file_entry(0, "NEW     DAT", 0, 0, 1, {2}));
}

TEST_F(EraseTest, UserAreaLimitsTheMask) {
  box.write_file("A.COM", "a");
  box.write_file("B.COM", "b");
  for (const char* user : {"0", "5"}) {
    ASSERT_EQ(box.run({"x.t1", "-a", "A.COM", "-u", user}).err, "");
  }
  ASSERT_EQ(box.run({"x.t1", "-a", "B.COM", "-u", "5"}).err, "");
  CliResult result = box.run({"x.t1", "-e", "*.*", "-u", "5"});
  EXPECT_EQ(result.out, stdout_of(heading("*.*") + "File 'A.COM' erased\nFile 'B.COM' erased\n" + done(2)));
  const std::string image = box.read_file("x.t1");
  EXPECT_EQ(entry_of(image, 0), file_entry(0, "A       COM", 0, 0, 1, {2}));
  EXPECT_EQ(static_cast<unsigned char>(image[32]), 0xE5);
  EXPECT_EQ(static_cast<unsigned char>(image[64]), 0xE5);

  result = box.run({"x.t1", "-e", "Q.COM"});
  EXPECT_EQ(result.out, stdout_of(heading("Q.COM") + done(0)));
  EXPECT_EQ(result.err, "");
  result = box.run({"x.t1", "-e", "A B.COM"});
  EXPECT_EQ(result.out, stdout_of(""));
  EXPECT_EQ(result.err, "Name of this file `A B.COM` has incorrect format !!!\n");
}

TEST_F(EraseTest, DisplayNamesKeepStoredCaseAndATrailingPoint) {
  put_entry(box, "x.t1", 0, file_entry(0, "NOTYPE     ", 0, 0, 0, {}));
  put_entry(box, "x.t1", 1, file_entry(0, "lower   txt", 0, 0, 0, {}));
  put_entry(box, "x.t1", 2, file_entry(0, "RO      \xC3OM", 0, 0, 0, {}));  // read-only
  const CliResult result = box.run({"x.t1", "-e", "*.*"});
  EXPECT_EQ(result.out, stdout_of(heading("*.*") + "File 'NOTYPE.' erased\nFile 'lower.txt' erased\n"
                                  "File 'RO.COM' erased\n" + done(3)));
}

TEST_F(EraseTest, TnsLabelAndMapEntriesAreNeverErasedAndTheMapIsRefreshed) {
  format_image_file(box, "x.t1", {"-tns"});
  box.write_file("A.COM", data_bytes(3000));
  ASSERT_EQ(box.run({"x.t1", "-a", "A.COM", "-tns"}).err, "");
  std::string image = box.read_file("x.t1");
  ASSERT_EQ(static_cast<unsigned char>(image[33]), 0x1F);  // units 0 to 4

  const CliResult result = box.run({"x.t1", "-e", "*.*", "-tns"});
  EXPECT_EQ(result.out, stdout_of(heading("*.*") + "File 'A.COM' erased\n" + done(1)));
  image = box.read_file("x.t1");
  EXPECT_EQ(static_cast<unsigned char>(image[15]), 0xFF);
  EXPECT_EQ(static_cast<unsigned char>(image[33]), 0x03);
  EXPECT_EQ(static_cast<unsigned char>(image[3 * 32]), 0xE5);

  // Without a match the map entries are still brought up to date and saved.
  image[33] = '\x7F';
  box.write_file("x.t1", image);
  EXPECT_EQ(box.run({"x.t1", "-e", "NONE.COM", "-tns"}).out, stdout_of(heading("NONE.COM") + done(0)));
  EXPECT_EQ(static_cast<unsigned char>(box.read_file("x.t1")[33]), 0x03);
}

TEST_F(EraseTest, OverwriteKeepsUnitsThatAnotherFileStillNames) {
  // A.COM and B.COM both name unit 2 (a damaged but loadable directory).
  box.write_file("B.COM", data_bytes(1024, 7));
  ASSERT_EQ(box.run({"x.t1", "-a", "B.COM"}).err, "");
  put_entry(box, "x.t1", 1, file_entry(0, "A       COM", 0, 0, 8, {2}));
  box.write_file("A.COM", data_bytes(1024, 8));

  const CliResult result = box.run({"x.t1", "-a", "A.COM", "-ow"});
  EXPECT_EQ(result.err, "");
  const std::string image = box.read_file("x.t1");
  EXPECT_EQ(image.substr(2048, 1024), data_bytes(1024, 7));  // B.COM intact
  EXPECT_EQ(entry_of(image, 1), file_entry(0, "A       COM", 0, 0, 8, {3}));
  EXPECT_EQ(image.substr(3072, 1024), data_bytes(1024, 8));
}

}  // namespace
}  // namespace xev::test::files
