// The definition reader: section search, line rules, key checks and order,
// the skew table, the derived geometry and its limits.
#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdlib>
#include <fstream>
#include <memory>
#include <stdexcept>
#include <string>
#include <vector>

#include "imagetype/image_type.h"
#include "support/sandbox.h"
#include "support/test_state.h"

namespace xev {
namespace {

using test::kEightInchDefinition;

// A definition file in a temporary folder, loaded for an image of `type`.
struct Loaded {
  ErrorCode code = ERR_FATAL;
  std::string err;
  std::unique_ptr<RunState> state = std::make_unique<RunState>();
};

Loaded load_file(const std::string& ini_text, const std::string& type = "dsk") {
  const char* base = std::getenv("TMPDIR");
  std::string dir = std::string(base != nullptr ? base : "/tmp") + "/xev-def-XXXXXX";
  if (mkdtemp(dir.data()) == nullptr) throw std::runtime_error("mkdtemp failed");
  const std::string ini = dir + "/xev.ini";
  {
    std::ofstream out(ini, std::ios::binary);
    out << ini_text;
  }
  Loaded loaded;
  loaded.state->exe_dir = dir + "/";
  loaded.state->exe_name = "xev";
  loaded.state->image_name = "image." + type;
  loaded.state->image_type_name = type;
  testing::internal::CaptureStderr();
  loaded.code = load_image_type(*loaded.state);
  loaded.err = testing::internal::GetCapturedStderr();
  ::unlink(ini.c_str());
  ::rmdir(dir.c_str());
  return loaded;
}

Loaded load(const std::string& body) {
  return load_file("[dsk]\n" + body);
}

const char* const kBadDefinition = "Error in definition for Image type `dsk` !!!\n";

// SPT=4 with everything but XLT, so the XLT line decides.
std::string four_sector_definition(const std::string& xlt) {
  return "SPT=4\nXLT=" + xlt + "\nBLS=1\nEXM=0\nDSM=31\nDRM=31\nOFF=1\n";
}

TEST(Definition, EightInchGeometry) {
  const auto state = test::make_state(kEightInchDefinition);
  EXPECT_EQ(state->sectors_per_track, 26);
  EXPECT_EQ(state->track_size, 3328);
  EXPECT_EQ(state->au_size, 1024);
  EXPECT_EQ(state->au_count, 243);
  EXPECT_EQ(state->map_bytes, 31);
  EXPECT_EQ(state->records_per_au, 8);
  EXPECT_EQ(state->pointers_per_entry, 16);
  EXPECT_EQ(state->extents_per_entry, 1);
  EXPECT_EQ(state->dir_entry_count, 64);
  EXPECT_EQ(state->reserved_tracks, 2);
  EXPECT_EQ(state->system_size, 6656);
  EXPECT_EQ(state->image_size, 256256);
  EXPECT_EQ(state->skew_table,
            (std::vector<int>{1, 7, 13, 19, 25, 5, 11, 17, 23, 3, 9,  15, 21,
                              2, 8, 14, 20, 26, 6, 12, 18, 24, 4, 10, 16, 22}));
  EXPECT_EQ(state->directory, std::vector<std::uint8_t>(64 * 32, 0));
  EXPECT_EQ(state->alloc_map, std::vector<std::uint8_t>(31, 0));
}

TEST(Definition, WidePointersAndLargerUnits) {
  const auto state =
      test::make_state("SPT=72\nXLT=0\nBLS=2\nEXM=0\nDSM=710\nDRM=255\nOFF=2\n");
  EXPECT_EQ(state->pointers_per_entry, 8);
  EXPECT_EQ(state->records_per_au, 16);
  EXPECT_EQ(state->map_bytes, 89);
  EXPECT_EQ(state->image_size, 1474560);
  EXPECT_EQ(state->directory.size(), 256u * 32);
}

struct XltCase {
  const char* value;
  std::vector<int> table;  // empty: the line is rejected
};

TEST(Definition, XltRule) {
  const XltCase cases[] = {
      {"0", {1, 2, 3, 4}},
      {"00", {1, 2, 3, 4}},
      {"4,3,2,1", {4, 3, 2, 1}},
      {"2, 4,\t1,  3", {2, 4, 1, 3}},
      {"1,2,2,4", {}},    // duplicate
      {"1,2,3", {}},      // too few
      {"1,2,3,4,5", {}},  // too many
      {"1,2,3,4,", {}},   // trailing comma
      {"1 ,2,3,4", {}},   // blank before a comma
      {"1,2,3,5", {}},    // above SPT
      {"0,1,2,3", {}},    // 0 followed by text
      {"-1,2,3,4", {}},
      {"1;2;3;4", {}},
      {"abc", {}},
  };
  for (const XltCase& c : cases) {
    SCOPED_TRACE(c.value);
    const Loaded loaded = load(four_sector_definition(c.value));
    if (c.table.empty()) {
      EXPECT_EQ(loaded.code, ERR_BAD_DEFINITION);
      EXPECT_EQ(loaded.err, kBadDefinition);
    } else {
      ASSERT_EQ(loaded.code, ERR_OK) << loaded.err;
      EXPECT_EQ(loaded.state->skew_table, c.table);
    }
  }
}

TEST(Definition, RejectedXltAfterCompleteDefinitionKeepsEarlierTable) {
  const Loaded loaded = load(four_sector_definition("4,3,2,1") + "XLT=1,1,1,1\n");
  ASSERT_EQ(loaded.code, ERR_OK) << loaded.err;
  EXPECT_EQ(loaded.state->skew_table, (std::vector<int>{4, 3, 2, 1}));
  EXPECT_EQ(loaded.err, "");
}

struct DefinitionCase {
  const char* name;
  const char* body;
  ErrorCode code;
};

TEST(Definition, KeysOrderAndValues) {
  const DefinitionCase cases[] = {
      {"other order", "DRM=63\nBLS=1\nDSM=242\nOFF=2\nEXM=0\nSPT=26\nXLT=0\n",
       ERR_BAD_DEFINITION},
      {"shuffled but ordered", "BLS=1\nDRM=63\nSPT=26\nOFF=2\nDSM=242\nXLT=0\nEXM=0\n",
       ERR_OK},
      {"XLT before SPT", "XLT=0\nSPT=26\nBLS=1\nEXM=0\nDSM=242\nDRM=63\nOFF=2\n",
       ERR_BAD_DEFINITION},
      {"OFF before SPT", "OFF=2\nSPT=26\nXLT=0\nBLS=1\nEXM=0\nDSM=242\nDRM=63\n",
       ERR_BAD_DEFINITION},
      {"OFF before SPT after OFFX",
       "OFFX=3\nOFF=2\nSPT=26\nXLT=0\nBLS=1\nEXM=0\nDSM=242\nDRM=63\n", ERR_OK},
      {"lower-case key", "spt=26\nXLT=0\nBLS=1\nEXM=0\nDSM=242\nDRM=63\nOFF=2\n",
       ERR_BAD_DEFINITION},
      {"unknown key ignored",
       "SPT=26\nXLT=0\nFOO=x\nBLS=1\nEXM=0\nDSM=242\nDRM=63\nOFF=2\n", ERR_OK},
      {"missing DSM", "SPT=26\nXLT=0\nBLS=1\nEXM=0\nDRM=63\nOFF=2\n", ERR_BAD_DEFINITION},
      {"key with blanks around =",
       "SPT =  26\nXLT\t=0\nBLS=1\nEXM=0\nDSM=242\nDRM=63\nOFF=2\n", ERR_OK},
      {"comment after a number",
       "SPT=26 ; comment\nXLT=0\nBLS=1\nEXM=0\nDSM=242\nDRM=63\nOFF=2\n", ERR_OK},
      {"comment after 0",
       "SPT=26\nXLT=0\nBLS=1\nEXM=0\nDSM=242\nDRM=63\nOFF=0 ; comment\n",
       ERR_BAD_DEFINITION},
      {"BLS=3", "SPT=26\nXLT=0\nBLS=3\nEXM=0\nDSM=242\nDRM=63\nOFF=2\n",
       ERR_BAD_DEFINITION},
      {"EXM=2", "SPT=26\nXLT=0\nBLS=1\nEXM=2\nDSM=242\nDRM=63\nOFF=2\n",
       ERR_BAD_DEFINITION},
      {"DSM=0", "SPT=26\nXLT=0\nBLS=1\nEXM=0\nDSM=0\nDRM=63\nOFF=2\n",
       ERR_BAD_DEFINITION},
      {"DSM=65536", "SPT=26\nXLT=0\nBLS=1\nEXM=0\nDSM=65536\nDRM=63\nOFF=2\n",
       ERR_BAD_DEFINITION},
      {"DRM=62", "SPT=26\nXLT=0\nBLS=1\nEXM=0\nDSM=242\nDRM=62\nOFF=2\n",
       ERR_BAD_DEFINITION},
      {"DRM=65536", "SPT=26\nXLT=0\nBLS=16\nEXM=0\nDSM=242\nDRM=65536\nOFF=2\n",
       ERR_BAD_DEFINITION},
      {"SPT=0", "SPT=0\nXLT=0\nBLS=1\nEXM=0\nDSM=242\nDRM=63\nOFF=2\n",
       ERR_BAD_DEFINITION},
      {"OFFX=0", "SPT=26\nXLT=0\nBLS=1\nEXM=0\nDSM=242\nDRM=63\nOFF=2\nOFFX=0\n", ERR_OK},
      {"line without =", "SPT=26\nXLT=0\nBLS 1\nEXM=0\nDSM=242\nDRM=63\nOFF=2\n",
       ERR_BAD_DEFINITION},
      {"empty value", "SPT=26\nXLT=0\nBLS=1\nEXM=0\nDSM=242\nDRM=63\nOFF=2\nFOO=\n",
       ERR_BAD_DEFINITION},
      {"line without = after a rejected line",
       "SPT=26\nXLT=0\nBLS=1\nEXM=0\nDSM=242\nDRM=63\nOFF=2\nBLS=3\nnonsense\n", ERR_OK},
      {"rejected line after complete definition",
       "SPT=26\nXLT=0\nBLS=1\nEXM=0\nDSM=242\nDRM=63\nOFF=2\nDSM=0\n", ERR_OK},
      {"directory larger than the disk",
       "SPT=26\nXLT=0\nBLS=1\nEXM=0\nDSM=1\nDRM=127\nOFF=2\n", ERR_OK},
      {"section ends at the next header",
       "SPT=26\nXLT=0\nBLS=1\nEXM=0\n[other]\nDSM=242\nDRM=63\nOFF=2\n",
       ERR_BAD_DEFINITION},
      {"comments and blank lines",
       "; note\n\nSPT=26\n  ; "
       "indented\nXLT=0\n\t\nBLS=1\nEXM=0\nDSM=242\nDRM=63\nOFF=2\n",
       ERR_OK},
      // A key repeated after the keys that were checked against it.
      {"SPT changed after XLT",
       "SPT=26\nXLT=0\nBLS=1\nEXM=0\nDSM=242\nDRM=63\nOFF=2\nSPT=13\n",
       ERR_BAD_DEFINITION},
      {"SPT repeated unchanged",
       "SPT=26\nXLT=0\nBLS=1\nEXM=0\nDSM=242\nDRM=63\nOFF=2\nSPT=26\n", ERR_OK},
      {"SPT changed after OFF",
       "SPT=26\nOFF=2\nSPT=13\nXLT=0\nBLS=1\nEXM=0\nDSM=242\nDRM=63\n",
       ERR_BAD_DEFINITION},
      {"SPT changed after OFF with OFFX",
       "SPT=26\nOFFX=3\nOFF=2\nSPT=13\nXLT=0\nBLS=1\nEXM=0\nDSM=242\nDRM=63\n", ERR_OK},
      {"BLS changed after DRM",
       "SPT=26\nXLT=0\nBLS=1\nEXM=0\nDSM=242\nDRM=31\nOFF=2\nBLS=2\n",
       ERR_BAD_DEFINITION},
      {"BLS changed after DRM, still whole units",
       "SPT=26\nXLT=0\nBLS=1\nEXM=0\nDSM=242\nDRM=63\nOFF=2\nBLS=2\n", ERR_OK},
      // Sizes beyond any int field.
      {"huge SPT", "SPT=99999999\nXLT=0\nBLS=1\nEXM=0\nDSM=242\nDRM=63\nOFF=2\n",
       ERR_BAD_DEFINITION},
      {"SPT at the number limit",
       "SPT=9223372036854775807\nXLT=0\nBLS=1\nEXM=0\nDSM=242\nDRM=63\nOFF=0\n",
       ERR_BAD_DEFINITION},
      {"huge OFF", "SPT=26\nXLT=0\nBLS=1\nEXM=0\nDSM=242\nDRM=63\nOFF=99999999999999\n",
       ERR_BAD_DEFINITION},
      {"huge OFF with OFFX",
       "SPT=26\nXLT=0\nBLS=1\nEXM=0\nDSM=242\nDRM=63\nOFFX=3\nOFF=4294967296\n",
       ERR_BAD_DEFINITION},
      {"huge OFFX", "SPT=26\nXLT=0\nBLS=1\nEXM=0\nDSM=242\nDRM=63\nOFF=2\nOFFX=8388609\n",
       ERR_BAD_DEFINITION},
  };
  for (const DefinitionCase& c : cases) {
    SCOPED_TRACE(c.name);
    const Loaded loaded = load(c.body);
    EXPECT_EQ(loaded.code, c.code) << loaded.err;
    EXPECT_EQ(loaded.err, c.code == ERR_OK ? "" : kBadDefinition);
  }
}

TEST(Definition, RejectedLineAfterCompleteDefinitionKeepsValues) {
  const Loaded loaded = load(std::string(kEightInchDefinition) + "SPT=0\nDSM=9\n");
  ASSERT_EQ(loaded.code, ERR_OK) << loaded.err;
  EXPECT_EQ(loaded.state->sectors_per_track, 26);
  EXPECT_EQ(loaded.state->au_count, 243);  // DSM=9 was never read
}

TEST(Definition, LaterLinesReplaceEarlierValues) {
  const Loaded loaded = load(std::string(kEightInchDefinition) + "DSM=99\nEXM=1\n");
  ASSERT_EQ(loaded.code, ERR_OK) << loaded.err;
  EXPECT_EQ(loaded.state->au_count, 100);
  EXPECT_EQ(loaded.state->extents_per_entry, 2);
}

TEST(Definition, OffxOverridesOffInEitherOrder) {
  for (const char* tail : {"OFF=2\nOFFX=3\n", "OFFX=3\nOFF=2\n"}) {
    SCOPED_TRACE(tail);
    const auto state = test::make_state(
        std::string("SPT=26\nXLT=0\nBLS=1\nEXM=0\nDSM=242\nDRM=63\n") + tail);
    EXPECT_EQ(state->system_size, 384);
    EXPECT_EQ(state->reserved_tracks, 2);
    EXPECT_EQ(state->image_size, 75 * 3328 + 384);
  }
}

TEST(Definition, ImageSizeLimitIsOneGibibyte) {
  const std::string disk = "XLT=0\nBLS=16\nEXM=15\nDSM=65535\nDRM=511\n";
  const Loaded exact = load("SPT=128\n" + disk + "OFF=0\n");
  ASSERT_EQ(exact.code, ERR_OK) << exact.err;
  EXPECT_EQ(exact.state->image_size, 0x40000000);
  EXPECT_EQ(exact.state->map_bytes, 8192);

  EXPECT_EQ(load("SPT=128\n" + disk + "OFF=1\n").code, ERR_BAD_DEFINITION);
  EXPECT_EQ(load("SPT=128\n" + disk + "OFF=0\nOFFX=1\n").code, ERR_BAD_DEFINITION);
  EXPECT_EQ(load("SPT=3\n" + disk + "OFF=0\n").code, ERR_BAD_DEFINITION);  // rounding
}

TEST(Definition, SectionHeaders) {
  const std::string body = kEightInchDefinition;
  const DefinitionCase cases[] = {
      {"plain", "[dsk]\n", ERR_OK},
      {"capitals", "[DSK]\n", ERR_OK},
      {"blanks around the header", "  [dsk]\t\n", ERR_OK},
      {"blanks inside", "[ dsk ]\n", ERR_NO_DEFINITION},
      {"comment after", "[dsk] ; 8 inch\n", ERR_NO_DEFINITION},
      {"second bracket", "[dsk]]\n", ERR_NO_DEFINITION},
      {"longer name", "[dsk2]\n", ERR_NO_DEFINITION},
  };
  for (const DefinitionCase& c : cases) {
    SCOPED_TRACE(c.name);
    const Loaded loaded = load_file(c.body + body);
    EXPECT_EQ(loaded.code, c.code) << loaded.err;
    if (c.code == ERR_NO_DEFINITION) {
      EXPECT_EQ(loaded.err, "Definition for Image type `dsk` missing !!!\n");
    }
  }
}

TEST(Definition, OnlyTheWantedSectionIsRead) {
  // Other sections may hold anything; the first section of the type wins.
  const Loaded loaded =
      load_file("garbage before any section\n[cpm]\nnot a definition\n[DSK]\n" +
                std::string(kEightInchDefinition) + "[dsk]\nSPT=1\n");
  ASSERT_EQ(loaded.code, ERR_OK) << loaded.err;
  EXPECT_EQ(loaded.state->sectors_per_track, 26);
}

TEST(Definition, LongLinesAreReadInPieces) {
  // 1022 characters fit one piece; one more starts a line of its own, which
  // here is a text without "=".
  const std::string fits = ";" + std::string(1021, 'x') + "\n";
  const std::string over = ";" + std::string(1022, 'x') + "\n";
  EXPECT_EQ(load(fits + kEightInchDefinition).code, ERR_OK);
  EXPECT_EQ(load(over + kEightInchDefinition).code, ERR_BAD_DEFINITION);
}

TEST(Definition, ImageNameWithoutExtension) {
  RunState state;
  state.exe_dir = "/nonexistent/";
  state.exe_name = "xev";
  state.image_name = "image";
  testing::internal::CaptureStderr();
  EXPECT_EQ(load_image_type(state), ERR_NO_EXTENSION);
  EXPECT_EQ(testing::internal::GetCapturedStderr(),
            "Extension of the Image name `image` missing !!!\n");
}

TEST(Definition, MissingOrUnreachableDefinitionFile) {
  RunState state;
  state.exe_name = "xev";
  state.image_name = "image.dsk";
  state.image_type_name = "dsk";
  for (const std::string& dir :
       {std::string("/nonexistent/"), "/tmp/" + std::string(260, 'd') + "/"}) {
    state.exe_dir = dir;
    testing::internal::CaptureStderr();
    EXPECT_EQ(load_image_type(state), ERR_NO_CONFIG);
    EXPECT_EQ(testing::internal::GetCapturedStderr(),
              "Config file `xev.ini` missing !!!\n");
  }
}

TEST(Trim, RemovesWhiteSpaceAtTheEnds) {
  struct Case {
    const char* text;
    const char* left;
    const char* right;
    const char* both;
  };
  const Case cases[] = {
      {"", "", "", ""},
      {" \t\r\n\v\f", "", "", ""},
      {"abc", "abc", "abc", "abc"},
      {"  a b \r\n", "a b \r\n", "  a b", "a b"},
      {"\tx=\t1 ", "x=\t1 ", "\tx=\t1", "x=\t1"},
  };
  for (const Case& c : cases) {
    std::string left = c.text;
    std::string right = c.text;
    std::string both = c.text;
    EXPECT_EQ(&trim_left(left), &left);
    EXPECT_EQ(left, c.left);
    EXPECT_EQ(&trim_right(right), &right);
    EXPECT_EQ(right, c.right);
    EXPECT_EQ(&trim(both), &both);
    EXPECT_EQ(both, c.both);
  }
}

}  // namespace
}  // namespace xev
