// The -iti report and the definition failures as a user sees them.
#include <gtest/gtest.h>

#include <set>
#include <sstream>
#include <string>

#include "support/formats.h"
#include "support/sandbox.h"

namespace xev::test {
namespace {

const std::string kEightInchReport =
    "Definition parameters for `dsk`\n"
    "  SPT=26\n"
    "  XLT=1,7,13,19,25,5,11,17,23,3,9,15,21,2,8,14,20,26,6,12,18,24,4,10,16,22\n"
    "  BLS=1 (BSH=3, BLM=7)\n"
    "  EXM=0\n"
    "  DSM=242\n"
    "  DRM=63\n"
    "  OFF=2\n"
    "\n"
    "Other info:\n"
    "  Sectors Per Track: 26\n"
    "  Allocation Unit Size: 1024 Bytes\n"
    "  Extents Per Dir Entry: 1\n"
    "  Allocation Units: 243\n"
    "  Directory Entries: 64\n"
    "  System Size: 6656 Bytes\n"
    "  Track Size: 3328 Bytes\n"
    "  Total Disk Size: 256256 Bytes (250.25 kB)\n";

// The report line that starts with `prefix`, or "" when there is none.
std::string report_line(const std::string& out, const std::string& prefix) {
  std::istringstream lines(out);
  std::string line;
  while (std::getline(lines, line)) {
    if (line.compare(0, prefix.size(), prefix) == 0) return line;
  }
  return "";
}

void expect_failure(const CliResult& result, int status, const std::string& message) {
  EXPECT_EQ(result.status, status);
  EXPECT_EQ(result.out, std::string(kBanner) + "\n");
  EXPECT_EQ(result.err, message);
}

TEST(TypeInfoCli, EightInchReport) {
  Sandbox box;
  box.write_ini(std::string("[dsk]\n") + kEightInchDefinition);
  const CliResult result = box.run({"dummy.dsk", "-iti"});
  EXPECT_EQ(result.status, 0);
  EXPECT_EQ(result.err, "");
  EXPECT_EQ(result.out, kBanner + kEightInchReport);
  EXPECT_FALSE(box.exists("dummy.dsk"));
}

TEST(TypeInfoCli, ReportWithOffxAndIdentitySkew) {
  Sandbox box;
  box.write_ini(
      "[DSK]\r\nSPT=26\r\nXLT=0\r\nBLS=2\r\nEXM=1\r\nDSM=120\r\nDRM=63\r\n"
      "OFFX=3\r\nOFF=2\r\n");
  const CliResult result = box.run({"A.DSK", "-iti"});
  EXPECT_EQ(result.status, 0);
  EXPECT_EQ(result.err, "");
  EXPECT_EQ(result.out, std::string(kBanner) +
                            "Definition parameters for `DSK`\n"
                            "  SPT=26\n"
                            "  XLT=0\n"
                            "  BLS=2 (BSH=4, BLM=15)\n"
                            "  EXM=1\n"
                            "  DSM=120\n"
                            "  DRM=63\n"
                            "  OFF=2\n"
                            "  OFFX=3\n"
                            "\n"
                            "Other info:\n"
                            "  Sectors Per Track: 26\n"
                            "  Allocation Unit Size: 2048 Bytes\n"
                            "  Extents Per Dir Entry: 2\n"
                            "  Allocation Units: 121\n"
                            "  Directory Entries: 64\n"
                            "  System Size: 384 Bytes\n"
                            "  Track Size: 3328 Bytes\n"
                            "  Total Disk Size: 249984 Bytes (244.125 kB)\n");
}

TEST(TypeInfoCli, ReportShowsValuesAsRead) {
  // Lines rejected after a complete definition show their own numbers while
  // the geometry keeps the earlier values.
  Sandbox box;
  box.write_ini(std::string("[dsk]\n") + kEightInchDefinition + "XLT=0 x\n");
  CliResult result = box.run({"dummy.dsk", "-iti"});
  EXPECT_EQ(result.status, 0);
  EXPECT_EQ(report_line(result.out, "  XLT="), "  XLT=0");

  box.write_ini(std::string("[dsk]\n") + kEightInchDefinition + "BLS=3\n");
  result = box.run({"dummy.dsk", "-iti"});
  EXPECT_EQ(result.status, 0);
  EXPECT_EQ(report_line(result.out, "  BLS="), "  BLS=3 (BSH=0, BLM=0)");
  EXPECT_EQ(report_line(result.out, "  Allocation Unit Size:"),
            "  Allocation Unit Size: 1024 Bytes");

  box.write_ini(std::string("[dsk]\n") + kEightInchDefinition + "XLT=2,1\n");
  result = box.run({"dummy.dsk", "-iti"});
  EXPECT_EQ(result.status, 0);
  EXPECT_EQ(result.out, kBanner + kEightInchReport);
}

TEST(TypeInfoCli, NoExtensionBeforeTheDefinitionFile) {
  Sandbox box;
  box.remove_ini();
  expect_failure(box.run({"noext", "-iti"}), 16,
                 "Extension of the Image name `noext` missing !!!\n");
}

TEST(TypeInfoCli, MissingDefinitionFile) {
  Sandbox box;
  box.remove_ini();
  expect_failure(box.run({"dummy.dsk", "-iti"}), 17,
                 "Config file `xev.ini` missing !!!\n");
}

TEST(TypeInfoCli, MissingSection) {
  Sandbox box;
  box.write_ini(std::string("[dsk]\n") + kEightInchDefinition);
  expect_failure(box.run({"dummy.xyz", "-iti"}), 18,
                 "Definition for Image type `xyz` missing !!!\n");
}

TEST(TypeInfoCli, BadDefinitions) {
  const std::string eight = kEightInchDefinition;
  const struct {
    const char* name;
    std::string ini;
  } cases[] = {
      {"XLT before SPT", "[dsk]\nXLT=0\nSPT=26\nBLS=1\nEXM=0\nDSM=242\nDRM=63\nOFF=2\n"},
      {"lower-case key", "[dsk]\nspt=26\nXLT=0\nBLS=1\nEXM=0\nDSM=242\nDRM=63\nOFF=2\n"},
      {"rejected line before completion",
       "[dsk]\nSPT=26\nXLT=1,2\nBLS=1\nEXM=0\nDSM=242\nDRM=63\nOFF=2\n"},
      {"line without =", "[dsk]\n" + eight + "BLS 1\n"},
      {"empty value", "[dsk]\n" + eight + "DSM=\n"},
      {"OFF=0 with comment",
       "[dsk]\nSPT=26\nXLT=0\nBLS=1\nEXM=0\nDSM=242\nDRM=63\nOFF=0 ; none\n"},
      {"SPT changed after XLT", "[dsk]\n" + eight + "SPT=13\n"},
      {"over 1 GiB",
       "[dsk]\nSPT=128\nXLT=0\nBLS=16\nEXM=15\nDSM=65535\nDRM=511\nOFF=1\n"},
      {"blanks inside brackets", "[ dsk ]\n" + eight + "[dsk]\n"},
      {"comment after header", "[dsk] ; 8 inch\n" + eight + "[dsk]\n"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    Sandbox box;
    box.write_ini(c.ini);
    expect_failure(box.run({"dummy.dsk", "-iti"}), 19,
                   "Error in definition for Image type `dsk` !!!\n");
  }
}

TEST(TypeInfoCli, AcceptedVariants) {
  const struct {
    const char* name;
    std::string ini;
  } cases[] = {
      {"capital header", std::string("[DSK]\n") + kEightInchDefinition},
      {"rejected line after completion",
       std::string("[dsk]\n") + kEightInchDefinition + "XLT=2,1\nnot even a key\n"},
      {"comment after a number",
       "[dsk]\nSPT=26 ; "
       "sectors\nXLT=1,7,13,19,25,5,11,17,23,3,9,15,21,2,8,14,20,26,6,12,18,"
       "24,4,10,16,22\nBLS=1\nEXM=0\nDSM=242\nDRM=63\nOFF=2\n"},
      {"other sections and comments",
       std::string("; types\n[cpm]\nSPT\n[dsk]\n; 8 inch\n\n") + kEightInchDefinition +
           "[x]\nbad\n"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    Sandbox box;
    box.write_ini(c.ini);
    const CliResult result = box.run({"dummy.dsk", "-iti"});
    EXPECT_EQ(result.status, 0);
    EXPECT_EQ(result.err, "");
    EXPECT_EQ(result.out, kBanner + kEightInchReport);
  }
}

TEST(TypeInfoCli, CrLfDefinitionFile) {
  std::string ini = "[dsk]\r\n";
  for (const char* p = kEightInchDefinition; *p != '\0'; ++p) {
    if (*p == '\n') ini += '\r';
    ini += *p;
  }
  Sandbox box;
  box.write_ini(ini);
  const CliResult result = box.run({"dummy.dsk", "-iti"});
  EXPECT_EQ(result.status, 0);
  EXPECT_EQ(result.out, kBanner + kEightInchReport);
}

// Every section of the shipped definition file loads, and the types that
// cpmtools knows as well have the image size cpmtools gives them.
TEST(TypeInfoCli, ShippedDefinitionFile) {
  Sandbox box;  // holds a copy of the repository's xev.ini
  std::set<std::string> sections;
  std::istringstream lines(box.read_file("xev.ini"));
  std::string line;
  while (std::getline(lines, line)) {
    if (!line.empty() && line.front() == '[')
      sections.insert(line.substr(1, line.find(']') - 1));
  }
  EXPECT_GE(sections.size(), 11u);
  for (const std::string& type : sections) {
    SCOPED_TRACE(type);
    const CliResult result = box.run({"dummy." + type, "-iti"});
    EXPECT_EQ(result.status, 0);
    EXPECT_EQ(result.err, "");
  }
  for (const InteropFormat& format : kInteropFormats) {
    SCOPED_TRACE(format.extension);
    EXPECT_EQ(sections.count(format.extension), 1u);
    const CliResult result = box.run({std::string("dummy.") + format.extension, "-iti"});
    const std::string size = std::to_string(format.image_size);
    EXPECT_EQ(
        report_line(result.out, "  Total Disk Size:").substr(0, 19 + size.size() + 6),
        "  Total Disk Size: " + size + " Bytes");
    EXPECT_EQ(report_line(result.out, "  System Size:"),
              "  System Size: " + std::to_string(format.system_size) + " Bytes");
    EXPECT_EQ(report_line(result.out, "  XLT=") != "  XLT=0", format.skewed);
    const std::string dsm = report_line(result.out, "  DSM=");
    EXPECT_EQ(std::stoi(dsm.substr(6)) > 255, format.wide_pointers);
  }
}

}  // namespace
}  // namespace xev::test
