// The definition reader: line and key rules, the skew table, the geometry
// and its limits, the shipped definition file, and the -iti report and the
// definition failures as a user sees them.
#include <gtest/gtest.h>

#include <algorithm>
#include <fstream>
#include <memory>

#include "imagetype/image_type.h"
#include "support/formats.h"
#include "support/sandbox.h"
#include "support/test_state.h"

namespace xev::test {
namespace {

struct Loaded {
  ErrorCode code = ERR_FATAL;
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
  loaded.state->exe_dir = (dir.empty() ? box.dir() : dir) + "/";
  loaded.state->exe_name = "xev";
  loaded.state->image_name = "image." + type;
  loaded.state->image_type_name = type;
  testing::internal::CaptureStderr();
  loaded.code = load_image_type(*loaded.state);
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

// The geometry the -iti report does not show; later lines replace earlier
// values, and after a complete definition a rejected line (XLT=2,1) ends the
// reading and leaves the skew table as it was.
TEST(Definition, GeometryAndLaterLines) {
  const Loaded loaded = load("[dsk]\n" + std::string(kEightInchDefinition) +
                             "DSM=99\nEXM=1\nXLT=2,1\nSPT=0\nDSM=9\n");
  const RunState& s = *loaded.state;
  EXPECT_EQ(std::vector<int>({s.sectors_per_track, s.au_count, s.extents_per_entry,
                              s.map_bytes, s.records_per_au, s.pointers_per_entry,
                              s.reserved_tracks}),
            std::vector<int>({26, 100, 2, 13, 8, 16, 2}));
  EXPECT_EQ(s.directory.size() + s.alloc_map.size(), 2048u + 13);
  EXPECT_EQ(s.skew_table.at(1), 7);
}

// 0 for the identity, or SPT distinct numbers 1..SPT; blanks may follow a
// comma, not precede it.
TEST(Definition, XltRule) {
  const std::pair<const char*, std::vector<int>> cases[] = {
      {"0", {1, 2, 3, 4}},      {"00", {1, 2, 3, 4}}, {"4,3,2,1", {4, 3, 2, 1}},
      {"2, 4,\t1,  3", {2, 4, 1, 3}}, {"1,2,2,4", {}}, {"1,2,3", {}},
      {"1,2,3,4,5", {}},        {"1,2,3,4,", {}},     {"1 ,2,3,4", {}},
      {"1,2,3,5", {}},          {"0,1,2,3", {}},      {"-1,2,3,4", {}},
      {"1;2;3;4", {}},          {"abc", {}}};
  for (const auto& [xlt, table] : cases) {
    const Loaded loaded =
        load("[dsk]\n" + with("SPT=26\nXLT=0", "SPT=4\nXLT=" + std::string(xlt)));
    EXPECT_EQ(loaded.err, table.empty() ? kBad : "") << xlt;
    if (!table.empty()) { EXPECT_EQ(loaded.state->skew_table, table) << xlt; }
  }
}

// Keys in an order that lets each be checked, values in range, a key
// repeated after those checked against it still fitting them, and an image
// of 1 GiB at most (exactly, not one track, system record or rounding more).
TEST(Definition, KeysOrderValuesAndSize) {
  const std::string piece = ";" + std::string(1021, 'x') + "\n";  // one fgets piece
  const std::string tail = "XLT=0\nBLS=1\nEXM=0\nDSM=242\nDRM=63\n";
  const std::string gib = "XLT=0\nBLS=16\nEXM=15\nDSM=65535\nDRM=511\nOFF=0\n";
  const std::pair<std::string, bool> cases[] = {
      {with("SPT=26\nXLT=0", "XLT=0\nSPT=26"), false},
      {with("BLS=1\nEXM=0\nDSM=242\nDRM=63", "DRM=63\nBLS=1\nEXM=0\nDSM=242"), false},
      {"BLS=1\nDRM=63\nSPT=26\nOFF=2\nDSM=242\nXLT=0\nEXM=0\n", true},
      {"OFF=2\n" + with("OFF=2\n", ""), false},
      {"OFFX=3\nOFF=2\n" + with("OFF=2\n", ""), true},
      {with("SPT", "spt"), false},
      {with("BLS", "FOO=x\nBLS"), true},
      {with("DSM=242\n", ""), false},
      {with("SPT=26\nXLT=0", "SPT =  26\nXLT\t=0"), true},
      {with("SPT=26", "SPT=26 ; comment"), true},
      {with("OFF=2", "OFF=0 ; comment"), false},
      {with("BLS=1", "BLS 1"), false},
      {kPlain + "FOO=\n", false},
      {kPlain + "BLS=3\nnonsense\n", true},  // the rejected BLS=3 ends the reading
      {with("DSM", "[other]\nDSM"), false},
      {"; note\n\n  ; indented\n\t\n" + kPlain, true},
      {piece + kPlain, true},
      {";x" + piece + kPlain, false},  // its last piece is a line without "="
      {with("BLS=1", "BLS=3"), false},
      {with("EXM=0", "EXM=2"), false},
      {with("DSM=242", "DSM=0"), false},
      {with("DSM=242", "DSM=65536"), false},
      {with("DRM=63", "DRM=62"), false},
      {with("SPT=26", "SPT=0"), false},
      {kPlain + "SPT=13\n", false},
      {with("OFF=2", "OFFX=3\nOFF=2") + "SPT=13\n", false},  // XLT still for 26
      {kPlain + "SPT=26\n", true},
      {"SPT=26\nOFF=2\nSPT=13\n" + tail, false},
      {"SPT=26\nOFFX=3\nOFF=2\nSPT=13\n" + tail, true},
      {with("DRM=63", "DRM=31") + "BLS=2\n", false},
      {kPlain + "BLS=2\n", true},
      {with("SPT=26", "SPT=99999999"), false},
      {with("OFF=2", "OFF=99999999999999"), false},
      {with("OFF=2", "OFFX=3\nOFF=4294967296"), false},
      {kPlain + "OFFX=8388609\n", false},
      {"SPT=128\n" + gib, true},
      {"SPT=128\n" + gib + "OFF=1\n", false},
      {"SPT=128\n" + gib + "OFFX=1\n", false},
      {"SPT=3\n" + gib, false},
  };
  for (const auto& [body, accepted] : cases) {
    EXPECT_EQ(load("[dsk]\n" + body).err, accepted ? "" : kBad) << body;
  }
}

// The header names the type in any case, alone on its line; the first
// section of the type counts, other sections may hold anything.
TEST(Definition, SectionHeaders) {
  const std::pair<const char*, bool> cases[] = {
      {"[dsk]", true},    {"[DSK]", true},           {"  [dsk]\t", true},
      {"[ dsk ]", false}, {"[dsk] ; 8 inch", false}, {"[dsk]]", false},
      {"[dsk2]", false}};
  for (const auto& [header, found] : cases) {
    EXPECT_EQ(load(header + ("\n" + kPlain)).err,
              found ? "" : "Definition for Image type `dsk` missing !!!\n") << header;
  }
  const Loaded loaded =
      load("garbage\n[cpm]\nnot a definition\n[DSK]\n" + kPlain + "[dsk]\nSPT=1\n");
  EXPECT_EQ(loaded.state->sectors_per_track, 26);
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
    EXPECT_EQ(loaded.err, "") << format.extension;
    EXPECT_EQ(s.image_size, format.image_size) << format.extension;
    EXPECT_EQ(s.system_size, format.system_size) << format.extension;
    EXPECT_EQ(s.pointers_per_entry, format.wide_pointers ? 8 : 16) << format.extension;
    EXPECT_EQ(!std::is_sorted(s.skew_table.begin(), s.skew_table.end()), format.skewed);
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
  EXPECT_EQ(result.err, "");
  EXPECT_EQ(result.status, 0);
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
// the section, the section before its keys.
TEST(TypeInfoCli, DefinitionFailures) {
  const struct {
    const char* ini;  // nullptr: no definition file
    const char* image;
    int status;
    const char* err;
  } cases[] = {
      {nullptr, "noext", 16, "Extension of the Image name `noext` missing !!!\n"},
      {nullptr, "dummy.dsk", 17, "Config file `xev.ini` missing !!!\n"},
      {"[dsk]\nSPT=26\n", "x.xyz", 18, "Definition for Image type `xyz` missing !!!\n"},
      {"[dsk]\nSPT=26\n", "dummy.dsk", 19,
       "Error in definition for Image type `dsk` !!!\n"},
  };
  for (const auto& c : cases) {
    Sandbox box;
    c.ini == nullptr ? box.remove_ini() : box.write_ini(c.ini);
    const CliResult result = box.run({c.image, "-iti"});
    EXPECT_EQ(result.out, std::string(kBanner) + "\n") << c.image;
    EXPECT_EQ(result.err, c.err);
    EXPECT_EQ(result.status, c.status);
  }
}

}  // namespace
}  // namespace xev::test
