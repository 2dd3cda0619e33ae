// The definition reader: which sections and lines it accepts, and the disk
// it derives from them.
#include <gtest/gtest.h>

#include <cstdio>
#include <tuple>

#include "cpm/definition.h"
#include "support/harness.h"

namespace xev::test {
namespace {

// Looks for the section `type` in the definition file `text`.
Error read(const std::string& text, const std::string& type, ImageType& out) {
  std::FILE* file = fmemopen(const_cast<char*>(text.data()), text.size(), "r");
  const std::vector<std::string> lines = read_definition_lines(file);
  std::fclose(file);
  return find_image_type(lines, type, out);
}

const std::string kHead = "[t]\nSPT=26\nXLT=0\nOFF=2\n",
                  kBody = "BLS=1\nEXM=0\nDSM=242\nDRM=63\n";

// Sections for the type "t": those accepted with the image and system sizes
// they give, then those rejected.
TEST(Definition, AcceptsCompleteConsistentSectionsOnly) {
  const auto h = [](const std::string& head) { return "[t]\n" + head + "\n" + kBody; };
  const std::tuple<std::string, int, int> accepted[] = {
      {kHead + kBody, 256256, 6656},
      {"[T]\r\n ; note\r\n\r\nSPT=26 tracks\r\nXLT = 0\r\nOFF=2\r\nX=1\r\n" + kBody,
       256256, 6656},
      {"[u]\nSPT=1\n" + kHead + kBody + "[t]\nSPT=5\n", 256256, 6656},
      {h("SPT=4\nXLT=4,3, 2,1\nOFF=0"), 248832, 0},
      {h("SPT=1\nXLT=0\nOFF=0"), 248832, 0},
      {h("SPT=26\nXLT=0\nOFFX=3\nOFF=2"), 249984, 384},
      {h("OFFX=3\nOFF=2\nSPT=26\nXLT=0"), 249984, 384},
      {kHead + kBody + "BLS=3\nnot a key line", 256256, 6656},
      {"[t]\nSPT=128\nXLT=0\nBLS=16\nEXM=15\nDSM=65535\nDRM=511\nOFF=0\n", 0x40000000, 0},
      {kHead + "BLS=1\nEXM=0\nDSM=1\nDRM=63\n", 9984, 6656},
      {"[t]\nSPT=128\nXLT=0\nBLS=8\nEXM=7\nDSM=199\nDRM=511\nOFF=0\n", 1638400, 0},
  };
  ImageType type;
  for (const auto& [text, image_size, system_size] : accepted) {
    const Error error = read(text, "t", type);
    const Geometry& g = type.geometry;
    EXPECT_EQ(std::make_tuple(error.code, g.image_size, g.system_size),
              std::make_tuple(ERR_OK, image_size, system_size))
        << text;
  }
  for (const char* text : {"[ t ]\n", "[t] ; x\n"}) {
    EXPECT_EQ(read(text, "t", type).code, ERR_NO_DEFINITION) << text;
  }
  // Sections complete but inconsistent, then sections with a line out of
  // place or rejected before they are complete.
  std::vector<std::string> rejected = {
      kHead + "BLS=1\nEXM=0\nDSM=1\nDRM=95\n", kHead + "BLS=1\nEXM=0\nDSM=242\nDRM=62\n",
      kHead + "DRM=63\nBLS=1\nEXM=0\nDSM=242\n", kHead + kBody + "SPT=27\n",
      "[t]\nSPT=128\nXLT=0\nBLS=16\nEXM=15\nDSM=65535\nDRM=511\nOFF=1\n"};
  for (const char* head :
       {"XLT=0\nSPT=26\nOFF=2", "spt=26\nXLT=0\nOFF=2", "SPT=26\nXLT=0\nOFF=0 tracks",
        "SPT=26\nXLT=0\nOFF=2\nEXM=2", "SPT=26\nXLT=0\nOFF=2\nDSM=0",
        "SPT=26\nXLT=0\nOFF=2\nDSM=65536", "SPT=0\nXLT=0\nOFF=2",
        "SPT=26\nXLT=0\nOFFX=0\nOFF=2", "SPT=26\nXLT=0\nOFF=2\nBLS",
        "SPT=26\nXLT=0\nOFF=2\nBLS=", "SPT=26\nXLT=0 x\nOFF=2",
        "SPT=4\nXLT=1,2,2,4\nOFF=0", "SPT=4\nXLT=1,2,3\nOFF=0",
        "SPT=4\nXLT=1,2,3,4,5\nOFF=0", "SPT=4\nXLT=1 ,2,3,4\nOFF=0",
        "SPT=4\nXLT=0,2,3,5\nOFF=0", "SPT=99999999\nXLT=0\nOFF=0",
        "SPT=26\nXLT=0\nOFFX=1\nOFF=99999999", "SPT=26\nOFF=2\nSPT=13\nXLT=0",
        "BLS=1\nDRM=63\nXLT=0\nOFF=2", "SPT=26\nXLT=0\nOFF=2\nDIRAU=17"}) {
    rejected.push_back(h(head));
  }
  for (const std::string& text : rejected) {
    const Error error = read(text, "t", type);
    EXPECT_EQ(error.subject + std::to_string(error.code),
              "t" + std::to_string(ERR_BAD_DEFINITION))
        << text;
  }
}

TEST(Definition, DerivesTheGeometryOfTheEightInchDisk) {
  ImageType type;
  ASSERT_FALSE(read(kEightInch, "DSK", type));
  const Geometry& g = type.geometry;
  // The sizes are in the report below. Unit 0, record 1 is logical record 1
  // of track 2: the seventh of the track.
  const std::vector<std::int64_t> got = {
      g.records_per_au, g.pointers_per_entry, g.reserved_tracks, g.directory_units(),
      g.locate(0, 1),   g.locate(242, 7),     g.locate(243, 0),  g.locate(0, 8)};
  EXPECT_EQ(got, (std::vector<std::int64_t>{8, 16, 2, 2, 6656 + 6 * 128,
                                            6656 + 74 * 3328 + 11 * 128, -1, -1}));
  // 257 units take 16-bit pointers, eight to an entry.
  ASSERT_FALSE(read(kHead + "BLS=2\nEXM=0\nDSM=256\nDRM=63\n", "t", type));
  EXPECT_EQ(type.geometry.pointers_per_entry, 8);
}

// The report shows each key as read, the last line of it counting, also
// when that line was rejected after the definition was complete.
TEST(Definition, ReportShowsTheValuesAsRead) {
  Folder folder;
  folder.write("xev.ini", kEightInch +
                              "OFFX=40\nEXM=9\n[wide]\nSPT=64\nXLT=0\nBLS=16\nEXM=3\n"
                              "DSM=300\nDRM=1023\nOFF=0\n" + section("odd", 8, 1, 0, 63, 31) + "BLS=32\n");
  Result run = xev(folder, {"any.dsk", "-iti"});
  EXPECT_EQ(
      run.out,
      "Definition parameters for `dsk`\n  SPT=26\n"
      "  XLT=1,7,13,19,25,5,11,17,23,3,9,15,21,2,8,14,20,26,6,12,18,24,4,10,16,22\n"
      "  BLS=1 (BSH=3, BLM=7)\n  EXM=9\n  DSM=242\n  DRM=63\n  OFF=2\n  OFFX=40\n\n"
      "Other info:\n  Sectors Per Track: 26\n  Allocation Unit Size: 1024 Bytes\n"
      "  Extents Per Dir Entry: 1\n  Allocation Units: 243\n  Directory Entries: 64\n"
      "  System Size: 5120 Bytes\n  Track Size: 3328 Bytes\n"
      "  Total Disk Size: 254720 Bytes (248.75 kB)\n"
      "  Definition File: " +
          folder.path("xev.ini") + "\n");
  EXPECT_EQ(run.status, 0);
  EXPECT_FALSE(folder.exists("any.dsk"));
  run = xev(folder, {"x.WIDE", "-iti"});
  EXPECT_NE(run.out.find("  XLT=0\n  BLS=16 (BSH=7, BLM=127)\n"), std::string::npos);
  EXPECT_NE(run.out.find("Extents Per Dir Entry: 4\n"), std::string::npos);
  EXPECT_NE(xev(folder, {"x.odd", "-iti"}).out.find("  BLS=32 (BSH=0, BLM=0)\n"), std::string::npos);
}

}  // namespace
}  // namespace xev::test
