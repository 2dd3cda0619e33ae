// The definition reader: which sections and lines it accepts, and the disk
// it derives from them.
#include <gtest/gtest.h>

#include <cstdio>

#include "cpm/definition.h"
#include "support/harness.h"

namespace xev::test {
namespace {

// The definition `text` for type "t": its failure code, or the image size.
struct Case {
  std::string text;
  ErrorCode code;
  int image_size = 0;
  int system_size = 0;
};

ImageType read(const std::string& text, const std::string& type, Error& error) {
  std::FILE* file = fmemopen(const_cast<char*>(text.data()), text.size(), "r");
  const std::vector<std::string> lines = read_definition_lines(file);
  std::fclose(file);
  ImageType result;
  error = find_image_type(lines, type, result);
  return result;
}

const std::string kBody = "BLS=1\nEXM=0\nDSM=242\nDRM=63\n";

TEST(Definition, AcceptsCompleteConsistentSectionsOnly) {
  const Case cases[] = {
      {"[t]\nSPT=26\nXLT=0\nOFF=2\n" + kBody, ERR_OK, 256256, 6656},
      {"[T]\r\n ; note\r\n\r\nSPT=26 tracks\r\nXLT = 0\r\nOFF=2\r\nX=1\r\n" + kBody, ERR_OK, 256256,
       6656},
      {"[u]\nSPT=1\n[t]\nSPT=26\nXLT=0\nOFF=2\n" + kBody + "[t]\nSPT=5\n", ERR_OK, 256256, 6656},
      {"[t]\nSPT=4\nXLT=4,3, 2,1\nOFF=0\n" + kBody, ERR_OK, 248832, 0},
      {"[t]\nSPT=26\nXLT=0\nOFFX=3\nOFF=2\n" + kBody, ERR_OK, 249984, 384},
      {"[t]\nOFFX=3\nOFF=2\nSPT=26\nXLT=0\n" + kBody, ERR_OK, 249984, 384},
      {"[t]\nSPT=26\nXLT=0\nOFF=2\n" + kBody + "BLS=3\nnot a key line", ERR_OK, 256256, 6656},
      {"[t]\nSPT=128\nXLT=0\nBLS=16\nEXM=15\nDSM=65535\nDRM=511\nOFF=0\n", ERR_OK, 0x40000000},
      {"[t]\nSPT=26\nXLT=0\nOFF=2\nBLS=1\nEXM=0\nDSM=1\nDRM=63\n", ERR_OK, 9984, 6656},
      {"[t]\nSPT=26\nXLT=0\nOFF=2\nBLS=1\nEXM=0\nDSM=1\nDRM=95\n", ERR_BAD_DEFINITION},
      {"[ t ]\nSPT=26\nXLT=0\nOFF=2\n" + kBody, ERR_NO_DEFINITION},
      {"[t] ; x\nSPT=26\nXLT=0\nOFF=2\n" + kBody, ERR_NO_DEFINITION},
      {"[t]\nSPT=128\nXLT=0\nBLS=16\nEXM=15\nDSM=65535\nDRM=511\nOFF=1\n", ERR_BAD_DEFINITION},
      {"[t]\nXLT=0\nSPT=26\nOFF=2\n" + kBody, ERR_BAD_DEFINITION},
      {"[t]\nspt=26\nXLT=0\nOFF=2\n" + kBody, ERR_BAD_DEFINITION},
      {"[t]\nSPT=26\nXLT=0\nOFF=0 tracks\n" + kBody, ERR_BAD_DEFINITION},
      {"[t]\nSPT=26\nXLT=0\nOFF=2\nBLS=1\nEXM=0\nDSM=242\nDRM=62\n", ERR_BAD_DEFINITION},
      {"[t]\nSPT=26\nXLT=0\nOFF=2\nDRM=63\nBLS=1\nEXM=0\nDSM=242\n", ERR_BAD_DEFINITION},
      {"[t]\nSPT=26\nXLT=0\nOFF=2\n" + kBody + "SPT=27\n", ERR_BAD_DEFINITION},
      {"[t]\nSPT=26\nXLT=0\nOFF=2\nEXM=2\n" + kBody, ERR_BAD_DEFINITION},
      {"[t]\nSPT=26\nXLT=0\nOFF=2\nDSM=0\n" + kBody, ERR_BAD_DEFINITION},
      {"[t]\nSPT=26\nXLT=0\nOFF=2\nDSM=65536\n" + kBody, ERR_BAD_DEFINITION},
      {"[t]\nSPT=0\nXLT=0\nOFF=2\n" + kBody, ERR_BAD_DEFINITION},
      {"[t]\nSPT=26\nXLT=0\nOFFX=0\nOFF=2\n" + kBody, ERR_BAD_DEFINITION},
      {"[t]\nSPT=26\nXLT=0\nOFF=2\nBLS\n" + kBody, ERR_BAD_DEFINITION},
      {"[t]\nSPT=26\nXLT=0\nOFF=2\nBLS=\n" + kBody, ERR_BAD_DEFINITION},
      {"[t]\nSPT=26\nXLT=0 x\nOFF=2\n" + kBody, ERR_BAD_DEFINITION},
      {"[t]\nSPT=4\nXLT=1,2,2,4\nOFF=0\n" + kBody, ERR_BAD_DEFINITION},
      {"[t]\nSPT=4\nXLT=1,2,3\nOFF=0\n" + kBody, ERR_BAD_DEFINITION},
      {"[t]\nSPT=4\nXLT=1,2,3,4,5\nOFF=0\n" + kBody, ERR_BAD_DEFINITION},
      {"[t]\nSPT=4\nXLT=1 ,2,3,4\nOFF=0\n" + kBody, ERR_BAD_DEFINITION},
      {"[t]\nSPT=4\nXLT=0,2,3,5\nOFF=0\n" + kBody, ERR_BAD_DEFINITION},
      {"[t]\nSPT=99999999\nXLT=0\nOFF=0\n" + kBody, ERR_BAD_DEFINITION},
      {"[t]\nSPT=26\nXLT=0\nOFFX=1\nOFF=99999999\n" + kBody, ERR_BAD_DEFINITION},
  };
  for (const Case& c : cases) {
    Error error;
    const ImageType type = read(c.text, "t", error);
    EXPECT_EQ(error.code, c.code) << c.text;
    if (c.code != ERR_OK) {
      EXPECT_EQ(error.subject, "t");
      continue;
    }
    EXPECT_EQ(type.geometry.image_size, c.image_size) << c.text;
    EXPECT_EQ(type.geometry.system_size, c.system_size) << c.text;
  }
}

TEST(Definition, DerivesTheGeometryOfTheEightInchDisk) {
  Error error;
  const Geometry g = read(kEightInch, "DSK", error).geometry;
  ASSERT_FALSE(error);
  EXPECT_EQ(g.track_size, 3328);
  EXPECT_EQ(g.au_size, 1024);
  EXPECT_EQ(g.au_count, 243);
  EXPECT_EQ(g.records_per_au, 8);
  EXPECT_EQ(g.pointers_per_entry, 16);
  EXPECT_EQ(g.extents_per_entry, 1);
  EXPECT_EQ(g.dir_entry_count, 64);
  EXPECT_EQ(g.reserved_tracks, 2);
  // Unit 0, record 1 is logical record 1 of track 2: the seventh of the track.
  EXPECT_EQ(g.locate(0, 1), 6656 + 6 * 128);
  EXPECT_EQ(g.locate(242, 7), 6656 + 74 * 3328 + 11 * 128);
  EXPECT_EQ(g.locate(243, 0), -1);
  EXPECT_EQ(g.locate(0, 8), -1);
  EXPECT_EQ(g.directory_units(), 2);
}

// The report shows each key as read, the last line of it counting, also
// when that line was rejected after the definition was complete.
TEST(Definition, ReportShowsTheValuesAsRead) {
  Folder folder;
  folder.write("xev.ini", kEightInch + "OFFX=40\nEXM=9\n[wide]\nSPT=64\nXLT=0\nBLS=16\nEXM=3\n"
                                       "DSM=300\nDRM=1023\nOFF=0\n");
  Result run = xev(folder, {"any.dsk", "-iti"});
  EXPECT_EQ(run.out,
            "Definition parameters for `dsk`\n  SPT=26\n"
            "  XLT=1,7,13,19,25,5,11,17,23,3,9,15,21,2,8,14,20,26,6,12,18,24,4,10,16,22\n"
            "  BLS=1 (BSH=3, BLM=7)\n  EXM=9\n  DSM=242\n  DRM=63\n  OFF=2\n  OFFX=40\n\n"
            "Other info:\n  Sectors Per Track: 26\n  Allocation Unit Size: 1024 Bytes\n"
            "  Extents Per Dir Entry: 1\n  Allocation Units: 243\n  Directory Entries: 64\n"
            "  System Size: 5120 Bytes\n  Track Size: 3328 Bytes\n"
            "  Total Disk Size: 254720 Bytes (248.75 kB)\n"
            "  Definition File: " + folder.path("xev.ini") + "\n");
  EXPECT_EQ(run.status, 0);
  EXPECT_FALSE(folder.exists("any.dsk"));
  run = xev(folder, {"x.WIDE", "-iti"});
  EXPECT_NE(run.out.find("  XLT=0\n  BLS=16 (BSH=7, BLM=127)\n"), std::string::npos);
  EXPECT_NE(run.out.find("Extents Per Dir Entry: 4\n"), std::string::npos);
}

TEST(Definition, FailuresBeforeTheFileIsReadAndWithoutIt) {
  Folder folder;
  struct Row {
    std::string image;
    int status;
    std::string err;
  };
  const Row rows[] = {
      {"noext", 16, "Extension of the Image name `noext` missing"},
      {"a.dsk", 17, "Config file `xev.ini` missing"},
  };
  for (const Row& row : rows) {
    const Result run = xev(folder, {row.image, "-iti"});
    EXPECT_EQ(run.err, row.err + " !!!\n");
    EXPECT_EQ(run.out, "\n");
    EXPECT_EQ(run.status, row.status);
  }
  folder.write("xev.ini", kEightInch);
  const Result run = xev(folder, {"a.zz", "-c"});
  EXPECT_EQ(run.err, "Definition for Image type `zz` missing !!!\n");
  EXPECT_EQ(run.status, 18);
}

}  // namespace
}  // namespace xev::test
