#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "commands/add_helpers.h"
#include "support/sandbox.h"

namespace xev::test::files {
namespace {

std::string heading(const std::string& image, const std::string& path, const std::string& mask,
                    const std::string& afn = "") {
  return "Adding file(s) to '" + image + "'\n  path: '" + path + "', mask: '" + mask + "'\n" +
         (afn.empty() ? "" : "  as '" + afn + "'\n") + "\n";
}

std::string done(int count) { return "\nDone. " + std::to_string(count) + " file(s) added.\n\n"; }

class AddTest : public ::testing::Test {
 protected:
  void SetUp() override { use_test_ini(box); }

  // Formats `image`, then runs xev on it with `args`.
  CliResult add_to_new(const std::string& image, const std::vector<std::string>& args) {
    format_image_file(box, image);
    std::vector<std::string> line{image};
    line.insert(line.end(), args.begin(), args.end());
    return box.run(line);
  }

  Sandbox box;
};

TEST_F(AddTest, EmptyAndShortFilesGetExactEntriesAndFill) {
  box.make_dir("h");
  box.write_file("h/E.TXT", "");
  const std::string data = data_bytes(200);
  box.write_file("h/B.BIN", data);
  const CliResult result = add_to_new("x.t1", {"-a", "h/*.*"});
  EXPECT_EQ(result.out, stdout_of(heading("x.t1", "h/", "*.*") + "File 'B.BIN' added\n"
                                  "File 'E.TXT' added\n" + done(2)));
  EXPECT_EQ(result.err, "");
  EXPECT_EQ(result.status, 0);

  const std::string image = box.read_file("x.t1");
  EXPECT_EQ(entry_of(image, 0), file_entry(0, "B       BIN", 0, 0, 2, {2}));
  EXPECT_EQ(entry_of(image, 1), file_entry(0, "E       TXT", 0, 0, 0, {}));
  // Unit 2: the 200 bytes, then fill to the end of the unit.
  EXPECT_EQ(image.substr(2048, 1024), data + std::string(824, '\xE5'));
}

TEST_F(AddTest, FortyKiBFileFillsOneEntryAndStartsAnother) {
  const std::string data = data_bytes(40 * 1024);
  box.write_file("F40.DAT", data);
  const CliResult result = add_to_new("x.t2", {"-a", "F40.DAT"});
  EXPECT_EQ(result.out, stdout_of(heading("x.t2", "", "F40.DAT") + "File 'F40.DAT' added\n" + done(1)));
  const std::string image = box.read_file("x.t2");
  EXPECT_EQ(entry_of(image, 0), run_of_units(0, "F40     DAT", 1, 0, 0x80, 1, 16));
  EXPECT_EQ(entry_of(image, 1), run_of_units(0, "F40     DAT", 2, 0, 64, 17, 4));
  EXPECT_EQ(image.substr(2048, data.size()), data);
}

TEST_F(AddTest, FilesOverHalfAMegabyteCountExtentsInS2) {
  // 600 KiB in 4 KiB units, 16 units (4 logical extents) per entry.
  box.write_file("BIG.DAT", data_bytes(600 * 1024));
  const CliResult result = add_to_new("x.t4", {"-a", "BIG.DAT"});
  ASSERT_EQ(result.err, "");
  const std::string image = box.read_file("x.t4");
  struct Expected { int index, ex, s2, rc, first_unit, units; };
  const Expected entries[] = {
      {0, 3, 0, 0x80, 1, 16},   {6, 27, 0, 0x80, 97, 16},  {7, 31, 0, 0x80, 113, 16},
      {8, 3, 1, 0x80, 129, 16}, {9, 5, 1, 64, 145, 6},
  };
  for (const Expected& e : entries) {
    EXPECT_EQ(entry_of(image, e.index),
              run_of_units(0, "BIG     DAT", e.ex, 0, e.rc, e.first_unit, e.units)
                  .replace(14, 1, 1, static_cast<char>(e.s2)))
        << "entry " << e.index;
  }
  EXPECT_EQ(static_cast<unsigned char>(image[10 * 32]), 0xE5);
}

TEST_F(AddTest, EightMebibytesIsTheLimit) {
  const std::string data = data_bytes(8388608);
  box.write_file("MAX.DAT", data);
  box.write_file("OVER.DAT", data + "x");
  const CliResult result = add_to_new("x.big", {"-a", "*.DAT"});
  EXPECT_EQ(result.out, stdout_of(heading("x.big", "", "*.DAT") + "File 'MAX.DAT' added\n" + done(1)));
  EXPECT_EQ(result.err, "File `OVER.DAT` is too long (8388609 bytes). Max length is 8MB. !!!\n");

  const std::string image = box.read_file("x.big");
  // 2048 units after the 8 directory units, 8 two-byte pointers per entry.
  EXPECT_EQ(entry_of(image, 0), file_entry(0, "MAX     DAT", 1, 0, 0x80, {8, 9, 10, 11, 12, 13, 14, 15}, true));
  EXPECT_EQ(entry_of(image, 36).substr(16, 16),
            file_entry(0, "           ", 0, 0, 0, {296, 297, 298, 299, 300, 301, 302, 303}, true).substr(16));
  EXPECT_EQ(image.substr(36 * 32 + 24, 2), "\x2C\x01");  // unit 300
  EXPECT_EQ(entry_of(image, 255), file_entry(0, "MAX     DAT", 31, 15, 0x80,
                                             {2048, 2049, 2050, 2051, 2052, 2053, 2054, 2055}, true));
  EXPECT_EQ(static_cast<unsigned char>(image[256 * 32]), 0xE5);
  EXPECT_EQ(image.substr(8 * 4096, data.size()), data);
}

TEST_F(AddTest, EntriesBelowThePointerAreaHoldOnlyTheirExtents) {
  box.write_file("F24.DAT", data_bytes(24 * 1024));
  const CliResult result = add_to_new("x.sub", {"-a", "F24.DAT"});
  ASSERT_EQ(result.err, "");
  const std::string image = box.read_file("x.sub");
  EXPECT_EQ(entry_of(image, 0), run_of_units(0, "F24     DAT", 0, 0, 0x80, 1, 8));
  EXPECT_EQ(entry_of(image, 1), run_of_units(0, "F24     DAT", 1, 0, 64, 9, 4));
}

TEST_F(AddTest, ExtentMaskBeyondThePointerAreaIsRefused) {
  format_image_file(box, "x.wide");
  const std::string before = box.read_file("x.wide");
  box.write_file("A.COM", "data");
  const CliResult result = box.run({"x.wide", "-a", "A.COM"});
  EXPECT_EQ(result.out, stdout_of(heading("x.wide", "", "A.COM")));
  EXPECT_EQ(result.err, "Error in definition for Image type `wide` !!!\n");
  EXPECT_EQ(result.status, 0);
  EXPECT_EQ(box.read_file("x.wide"), before);
}

TEST_F(AddTest, ExistingNamesAreCheckedInTheRequestedUserArea) {
  box.write_file("A.COM", "one");
  ASSERT_EQ(add_to_new("x.t1", {"-a", "A.COM", "-u", "3"}).err, "");

  CliResult result = box.run({"x.t1", "-a", "A.COM"});  // any user area counts
  EXPECT_EQ(result.out, stdout_of(heading("x.t1", "", "A.COM") + done(0)));
  EXPECT_EQ(result.err, "File `A.COM` already exist !!!\n");
  result = box.run({"x.t1", "-a", "A.COM", "-u", "3"});
  EXPECT_EQ(result.err, "File `A.COM` already exist !!!\n");
  result = box.run({"x.t1", "-a", "A.COM", "-u", "5"});
  EXPECT_EQ(result.err, "");
  EXPECT_EQ(result.out, stdout_of(heading("x.t1", "", "A.COM") + "File 'A.COM' added\n" + done(1)));

  const std::string image = box.read_file("x.t1");
  EXPECT_EQ(entry_of(image, 0), file_entry(3, "A       COM", 0, 0, 1, {2}));
  EXPECT_EQ(entry_of(image, 1), file_entry(5, "A       COM", 0, 0, 1, {3}));
}

TEST_F(AddTest, OverwriteReplacesTheFileInEveryUserArea) {
  box.write_file("A.COM", data_bytes(3000, 1));
  ASSERT_EQ(add_to_new("x.t1", {"-a", "A.COM", "-u", "3"}).err, "");
  ASSERT_EQ(box.run({"x.t1", "-a", "A.COM", "-u", "7"}).err, "");
  const std::string data = data_bytes(1500, 2);
  box.write_file("A.COM", data);

  const CliResult result = box.run({"x.t1", "-a", "A.COM", "-ow"});
  EXPECT_EQ(result.out, stdout_of(heading("x.t1", "", "A.COM") + "File 'A.COM' added\n" + done(1)));
  EXPECT_EQ(result.err, "");
  const std::string image = box.read_file("x.t1");
  // Both old files are erased (byte 0 only); the new one takes the lowest
  // free entry and the units given back.
  EXPECT_EQ(entry_of(image, 0), file_entry(0, "A       COM", 0, 0, 12, {2, 3}));
  EXPECT_EQ(entry_of(image, 1), "\xE5" + file_entry(7, "A       COM", 0, 0, 24, {5, 6, 7}).substr(1));
  EXPECT_EQ(static_cast<unsigned char>(image[2 * 32]), 0xE5);
  EXPECT_EQ(image.substr(2048, data.size()), data);
}

TEST_F(AddTest, OverwriteErasesOldFilesEvenWhenTheirReplacementIsRefused) {
  box.write_file("A.COM", "old a");
  box.write_file("Z.COM", "old z");
  ASSERT_EQ(add_to_new("x.t1", {"-a", "*.COM"}).err, "");
  box.write_file("A.COM", "new a");
  std::filesystem::resize_file(box.path("Z.COM"), 8388609);

  const CliResult result = box.run({"x.t1", "-a", "*.COM", "-ow"});
  EXPECT_EQ(result.out, stdout_of(heading("x.t1", "", "*.COM") + "File 'A.COM' added\n" + done(1)));
  EXPECT_EQ(result.err, "File `Z.COM` is too long (8388609 bytes). Max length is 8MB. !!!\n");
  const std::string image = box.read_file("x.t1");
  EXPECT_EQ(entry_of(image, 0), file_entry(0, "A       COM", 0, 0, 1, {2}));
  EXPECT_EQ(static_cast<unsigned char>(image[32]), 0xE5);  // old Z.COM is gone
  EXPECT_EQ(image.substr(2048, 5), "new a");
}

TEST_F(AddTest, TargetNameGivesALongHostNameACpmName) {
  box.write_file("a-long-host-name.data", "payload");
  format_image_file(box, "x.t1");
  CliResult result = box.run({"x.t1", "-a", "a-long-host-name.data"});
  EXPECT_EQ(result.out, stdout_of(heading("x.t1", "", "a-long-host-name.data") + done(0)));
  EXPECT_EQ(result.err, "Name of this file `a-long-host-name.data` has incorrect format !!!\n");

  result = box.run({"x.t1", "-a", "a-long-host-name.data", "-afn", "short.dat"});
  EXPECT_EQ(result.out, stdout_of(heading("x.t1", "", "a-long-host-name.data", "short.dat") +
                                  "File 'short.dat' added\n" + done(1)));
  EXPECT_EQ(result.err, "");
  EXPECT_EQ(entry_of(box.read_file("x.t1"), 0), file_entry(0, "SHORT   DAT", 0, 0, 1, {2}));

  // With -ow the file of the target name is replaced.
  box.write_file("a-long-host-name.data", "newer payload");
  result = box.run({"x.t1", "-a", "a-long-host-name.data", "-afn", "SHORT.DAT", "-ow"});
  EXPECT_EQ(result.err, "");
  EXPECT_EQ(result.out, stdout_of(heading("x.t1", "", "a-long-host-name.data", "SHORT.DAT") +
                                  "File 'SHORT.DAT' added\n" + done(1)));
  EXPECT_EQ(entry_of(box.read_file("x.t1"), 0), file_entry(0, "SHORT   DAT", 0, 0, 1, {2}));
  EXPECT_EQ(box.read_file("x.t1").substr(2048, 13), "newer payload");

  struct Refused { const char* afn; const char* err; };
  const Refused refusals[] = {
      {"TOOLONGNAME.DAT", "Name of this file `TOOLONGNAME.DAT` has incorrect format !!!\n"},
      {"A?.DAT", "File name `A?.DAT` must be unambiguous! !!!\n"},
  };
  for (const Refused& r : refusals) {
    result = box.run({"x.t1", "-a", "a-long-host-name.data", "-afn", r.afn});
    EXPECT_EQ(result.err, r.err);
    EXPECT_EQ(result.out, stdout_of(heading("x.t1", "", "a-long-host-name.data", r.afn)));
  }
}

TEST_F(AddTest, InvalidHostNamesAreSkippedAndTheOthersAdded) {
  box.make_dir("h");
  for (const std::string name : {"GOOD.COM", "bad name.com", "TOOLONGNAME.COM", "X.C;M"}) {
    box.write_file("h/" + name, name);
  }
  const CliResult result = add_to_new("x.t1", {"-a", "h/*.*"});
  EXPECT_EQ(result.out, stdout_of(heading("x.t1", "h/", "*.*") + "File 'GOOD.COM' added\n" + done(1)));
  EXPECT_EQ(result.err,
            "Name of this file `TOOLONGNAME.COM` has incorrect format !!!\n"
            "Name of this file `X.C;M` has incorrect format !!!\n"
            "Name of this file `bad name.com` has incorrect format !!!\n");
}

TEST_F(AddTest, ManyHostFilesAreAddedInSortedOrder) {
  box.make_dir("src");
  std::string lines;
  for (int i = 39; i >= 0; --i) box.write_file("src/F" + std::to_string(100 + i) + ".DAT", "");
  for (int i = 0; i < 40; ++i) lines += "File 'F" + std::to_string(100 + i) + ".DAT' added\n";
  const CliResult result = add_to_new("x.t1", {"-a", "src/*.DAT"});
  EXPECT_EQ(result.out, stdout_of(heading("x.t1", "src/", "*.DAT") + lines + done(40)));
  EXPECT_EQ(entry_of(box.read_file("x.t1"), 39), file_entry(0, "F139    DAT", 0, 0, 0, {}));
}

TEST_F(AddTest, NoMatchAndBadPathAreToldApart) {
  format_image_file(box, "x.t1");
  const std::string before = box.read_file("x.t1");
  box.make_dir("empty");
  box.make_dir("skipped");
  box.make_dir("skipped/DIR.COM");
  box.write_file("skipped/.HIDDEN.COM", "");
  struct Case { const char* arg; const char* path; const char* mask; const char* err; };
  const Case cases[] = {
      {"empty/*.COM", "empty/", "*.COM", "No matching files found for mask `empty/*.COM` !!!\n"},
      {"missing/*.COM", "missing/", "*.COM", "Path or file/mask `missing/*.COM` is invalid!!! !!!\n"},
      {"skipped/*.COM", "skipped/", "*.COM", "Path or file/mask `skipped/*.COM` is invalid!!! !!!\n"},
  };
  const std::string long_dir(200, 'd');
  const std::string long_mask = std::string(60, 'm') + ".*";
  const std::string long_err = "Path or file/mask `" + long_dir + "/" + long_mask + "` is invalid!!! !!!\n";
  const CliResult too_long = box.run({"x.t1", "-a", long_dir + "/" + long_mask});
  EXPECT_EQ(too_long.out, stdout_of(heading("x.t1", long_dir + "/", long_mask)));
  EXPECT_EQ(too_long.err, long_err);
  for (const Case& c : cases) {
    const CliResult result = box.run({"x.t1", "-a", c.arg});
    EXPECT_EQ(result.out, stdout_of(heading("x.t1", c.path, c.mask))) << c.arg;
    EXPECT_EQ(result.err, c.err);
    EXPECT_EQ(result.status, 0);
  }
  EXPECT_EQ(box.read_file("x.t1"), before);
}

TEST_F(AddTest, FullDirectoryOrDiskStopsTheRunAndSavesWhatWasAdded) {
  // [tiny]: 9 free units of 1 KiB, 32 entries.
  box.make_dir("disk");
  box.write_file("disk/A.DAT", data_bytes(4096));
  box.write_file("disk/B.DAT", data_bytes(4000));
  box.write_file("disk/C.DAT", data_bytes(1025));  // two units, one is left
  box.write_file("disk/D.DAT", "");
  CliResult result = add_to_new("x.tiny", {"-a", "disk/*.*"});
  EXPECT_EQ(result.out, stdout_of(heading("x.tiny", "disk/", "*.*") + "File 'A.DAT' added\n"
                                  "File 'B.DAT' added\n" + done(2)));
  EXPECT_EQ(result.err, "Disk full !!!\n");
  std::string image = box.read_file("x.tiny");
  EXPECT_EQ(entry_of(image, 1), file_entry(0, "B       DAT", 0, 0, 32, {5, 6, 7, 8}));
  EXPECT_EQ(static_cast<unsigned char>(image[2 * 32]), 0xE5);

  box.make_dir("dir");
  std::string lines;
  for (int i = 0; i < 31; ++i) {
    box.write_file("dir/E" + std::to_string(10 + i), "");
    if (i < 30) lines += "File 'E" + std::to_string(10 + i) + "' added\n";
  }
  result = box.run({"x.tiny", "-a", "dir/*"});
  EXPECT_EQ(result.out, stdout_of(heading("x.tiny", "dir/", "*") + lines + done(30)));
  EXPECT_EQ(result.err, "Directory full !!!\n");
  image = box.read_file("x.tiny");
  EXPECT_EQ(entry_of(image, 31), file_entry(0, "E39        ", 0, 0, 0, {}));
}

TEST_F(AddTest, MissingImageIsCreatedAndFormatted) {
  box.write_file("A.COM", "abc");
  const CliResult result = box.run({"new.t1", "-a", "A.COM"});
  EXPECT_EQ(result.err, "");
  EXPECT_EQ(result.status, 0);
  EXPECT_NE(result.out.find("Image 'new.t1' was created.\n"), std::string::npos);
  EXPECT_NE(result.out.find(heading("new.t1", "", "A.COM") + "File 'A.COM' added\n" + done(1)),
            std::string::npos);
  const std::string image = box.read_file("new.t1");
  EXPECT_EQ(image.size(), 249600u);
  EXPECT_EQ(entry_of(image, 0), file_entry(0, "A       COM", 0, 0, 1, {2}));
  EXPECT_EQ(entry_of(image, 1), std::string("\xE5") + std::string(11, ' ') + std::string(20, '\0'));
}

TEST_F(AddTest, TnsDiskKeepsItsLabelAndMapEntries) {
  format_image_file(box, "x.t1", {"-tns"});
  const std::string before = box.read_file("x.t1");
  ASSERT_EQ(static_cast<unsigned char>(before[15]), 0xFF);       // label
  ASSERT_EQ(static_cast<unsigned char>(before[32 + 15]), 0xFE);  // map entries
  ASSERT_EQ(static_cast<unsigned char>(before[64 + 15]), 0xFE);
  ASSERT_EQ(static_cast<unsigned char>(before[33]), 0x03);       // units 0 and 1

  box.write_file("A.COM", data_bytes(2048));
  const CliResult result = box.run({"x.t1", "-a", "A.COM", "-tns"});
  EXPECT_EQ(result.err, "");
  const std::string image = box.read_file("x.t1");
  EXPECT_EQ(entry_of(image, 0), entry_of(before, 0));
  EXPECT_EQ(entry_of(image, 3), file_entry(0, "A       COM", 0, 0, 16, {2, 3}));
  EXPECT_EQ(static_cast<unsigned char>(image[33]), 0x0F);  // units 0 to 3
  EXPECT_EQ(entry_of(image, 1).substr(2), entry_of(before, 1).substr(2));
  EXPECT_EQ(entry_of(image, 2), entry_of(before, 2));
}

}  // namespace
}  // namespace xev::test::files
