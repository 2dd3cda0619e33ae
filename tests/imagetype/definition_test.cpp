// The definition reader: line and key rules, the skew table, the geometry
// and its limits, the shipped definition file, and the -iti report and the
// definition failures as a user sees them.
#include <gtest/gtest.h>

#include <algorithm>
#include <fstream>
#include <memory>
#include <tuple>

#include "imagetype/image_type.h"
#include "support/formats.h"
#include "support/sandbox.h"
#include "support/test_state.h"

namespace xev::test {
namespace {

struct Loaded {
  std::string err;
  std::unique_ptr<RunState> state = std::make_unique<RunState>();
};

// Loads image type `type` from the definition file in `dir`, or from `ini`
// written to a folder of its own.
Loaded load(const std::string& ini, std::string dir = "",
            const std::string& type = "dsk") {
  Sandbox box;
  if (dir.empty()) box.write_ini(ini);
  Loaded loaded;
  RunState& s = *loaded.state;
  std::tie(s.exe_dir, s.exe_name, s.image_name, s.image_type_name) =
      std::tuple((dir.empty() ? box.dir() : dir) + "/", "xev", "image." + type, type);
  testing::internal::CaptureStderr();
  load_image_type(*loaded.state);
  loaded.err = testing::internal::GetCapturedStderr();
  return loaded;
}

const std::string kBad = "Error in definition for Image type `dsk` !!!\n";
const std::string kPlain = "SPT=26\nXLT=0\nBLS=1\nEXM=0\nDSM=242\nDRM=63\nOFF=2\n";

// kPlain with the first `from` replaced by `to`.
std::string with(const std::string& from, const std::string& to) {
  std::string body = kPlain;
  return body.replace(body.find(from), from.size(), to);
}

// Keys in an order that lets each be checked, values in range (XLT: 0 or SPT
// distinct numbers, blanks only after a comma), a key repeated after those
// checked against it still fitting them, and an image of 1 GiB at most
// (exactly, not one system record more). The header names the type in any
// case, alone on its line.
TEST(Definition, LinesKeysValuesAndSize) {
  const std::string gib = "SPT=128\nXLT=0\nBLS=16\nEXM=15\nDSM=65535\nDRM=511\nOFF=0\n";
  const std::string x4 = "SPT=26\nXLT=0";
  const std::string missing = "Definition for Image type `dsk` missing !!!\n";
  const std::pair<std::string, std::string> cases[] = {
      {"[dsk]\n" + with(x4, "SPT=4\nXLT=2, 4,\t1,  3"), ""},
      {"[dsk]\n" + with(x4, "SPT=4\nXLT=1 ,2,3,4"), kBad},
      {"[dsk]\n" + with(x4, "XLT=0\nSPT=26"), kBad},
      {"[dsk]\n; note\n\n" + with("SPT=26\nXLT=0", "SPT =  26 ; c\nFOO=x\nXLT\t=0"), ""},
      {"[dsk]\n" + with("BLS=1", "BLS 1"), kBad},
      {"[dsk]\n" + kPlain + "BLS=3\nnonsense\n", ""},  // BLS=3 ends the reading
      {"[dsk]\n" + with("DSM=242", "DSM=65536"), kBad},
      {"[dsk]\n" + with("DRM=63", "DRM=62"), kBad},
      {"[dsk]\n" + with("OFF=2", "OFFX=3\nOFF=2") + "SPT=13\n", kBad},  // XLT for 26
      {"[dsk]\n" + gib, ""},
      {"[dsk]\n" + gib + "OFFX=1\n", kBad},
      {"  [DSK]\t\n" + kPlain, ""},
      {"[dsk] ; 8 inch\n" + kPlain, missing},
  };
  for (const auto& [ini, err] : cases) EXPECT_EQ(load(ini).err, err) << ini;
}

// The first section of the type counts; later lines replace earlier values,
// and a rejected line (XLT=2,1) ends the reading with the table kept.
TEST(Definition, GeometryAndLaterLines) {
  const Loaded loaded =
      load("[cpm]\nnot a definition\n[dsk]\n" + std::string(kEightInchDefinition) +
           "DSM=99\nEXM=1\nXLT=2,1\nSPT=0\n[dsk]\nSPT=1\n");
  const RunState& s = *loaded.state;
  EXPECT_EQ(std::vector<int>({s.sectors_per_track, s.au_count, s.extents_per_entry,
                              s.map_bytes, s.records_per_au, s.pointers_per_entry,
                              s.reserved_tracks, s.skew_table.at(1)}),
            std::vector<int>({26, 100, 2, 13, 8, 16, 2, 7}));
  EXPECT_EQ(s.directory.size() + s.alloc_map.size(), 2048u + 13);
}

// Every section of the shipped file loads, with the sizes cpmtools gives the
// same types.
TEST(Definition, ShippedSections) {
  std::ifstream in(std::string(XEV_SOURCE_DIR) + "/xev.ini");
  int sections = 0;
  for (std::string line; std::getline(in, line);) sections += line.rfind('[', 0) == 0;
  EXPECT_EQ(sections, static_cast<int>(std::size(kInteropFormats)));
  for (const InteropFormat& format : kInteropFormats) {
    const Loaded loaded = load("", XEV_SOURCE_DIR, format.extension);
    const RunState& s = *loaded.state;
    EXPECT_EQ(
        loaded.err + std::to_string(s.image_size) + "/" + std::to_string(s.system_size) +
            "/" + std::to_string(s.pointers_per_entry) + "/" +
            std::to_string(std::is_sorted(s.skew_table.begin(), s.skew_table.end())),
        std::to_string(format.image_size) + "/" + std::to_string(format.system_size) +
            "/" + (format.wide_pointers ? "8/" : "16/") + (format.skewed ? "0" : "1"))
        << format.extension;
  }
}

// A definition file with CR LF line ends reads as one with LF; OFFX sets the
// system size whether OFF comes before or after it.
TEST(TypeInfoCli, EightInchReport) {
  std::string ini = "[dsk]\r\n";
  for (const char* p = kEightInchDefinition; *p != '\0'; ++p) {
    ini += *p == '\n' ? std::string("\r\n") : std::string(1, *p);
  }
  Sandbox box;
  box.write_ini(ini + "OFFX=3\r\nOFF=2\r\n");
  const CliResult result = box.run({"dummy.dsk", "-iti"});
  EXPECT_EQ(result.err + std::to_string(result.status), "0");
  EXPECT_EQ(result.out, std::string(kBanner) +
                            "Definition parameters for `dsk`\n"
                            "  SPT=26\n"
                            "  XLT=1,7,13,19,25,5,11,17,23,3,9,15,21,2,8,14,20,26,6,12,"
                            "18,24,4,10,16,22\n"
                            "  BLS=1 (BSH=3, BLM=7)\n"
                            "  EXM=0\n"
                            "  DSM=242\n"
                            "  DRM=63\n"
                            "  OFF=2\n"
                            "  OFFX=3\n"
                            "\n"
                            "Other info:\n"
                            "  Sectors Per Track: 26\n"
                            "  Allocation Unit Size: 1024 Bytes\n"
                            "  Extents Per Dir Entry: 1\n"
                            "  Allocation Units: 243\n"
                            "  Directory Entries: 64\n"
                            "  System Size: 384 Bytes\n"
                            "  Track Size: 3328 Bytes\n"
                            "  Total Disk Size: 249984 Bytes (244.125 kB)\n");
  EXPECT_FALSE(box.exists("dummy.dsk"));
}

// The extension is looked at before the definition file, the file before
// the section.
TEST(TypeInfoCli, DefinitionFailures) {
  const struct {
    const char* image;
    int status;
    const char* err;
  } cases[] = {{"noext", 16, "Extension of the Image name `noext` missing !!!\n"},
               {"dummy.dsk", 17, "Config file `xev.ini` missing !!!\n"},
               {"x.xyz", 18, "Definition for Image type `xyz` missing !!!\n"}};
  Sandbox box;
  box.remove_ini();
  for (const auto& c : cases) {
    if (c.status == 18) box.write_ini("[dsk]\nSPT=26\n");
    const CliResult result = box.run({c.image, "-iti"});
    EXPECT_EQ(result.out + result.err, std::string(kBanner) + "\n" + c.err);
    EXPECT_EQ(result.status, c.status);
  }
  EXPECT_EQ(box.run({"dummy.dsk", "-iti"}).status, 19);
}

}  // namespace
}  // namespace xev::test
