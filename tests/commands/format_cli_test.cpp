// Formatting and opening images from the command line: the messages, the
// exact bytes of a full format through a skew table, TNS-DOS entries, images
// of the wrong size and directories that fail to load.
#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

#include "support/sandbox.h"

namespace xev::test {
namespace {

// The 8-inch type: 2 system tracks of 26 records, skewed; 243 units of
// 1 KiB, the first 2 of them the directory of 64 entries.
constexpr std::size_t kImageSize = 256256;
constexpr std::size_t kSystemSize = 6656;
constexpr int kSkew[26] = {1, 7,  13, 19, 25, 5,  11, 17, 23, 3,  9,  15, 21,
                           2, 8,  14, 20, 26, 6,  12, 18, 24, 4,  10, 16, 22};
constexpr const char* kSignature = "XEV CP/M Disk Image Manager v2.4 (c) 2026 The xev Authors";

std::string eight_inch_ini() { return std::string("[dsk]\n") + kEightInchDefinition; }

// Directory entry i: record i / 4 of the directory, which is logical sector
// i / 4 of the first data track.
std::size_t entry_offset(int index) {
  return kSystemSize + static_cast<std::size_t>(kSkew[index / 4] - 1) * 128 +
         static_cast<std::size_t>(index % 4) * 32;
}

std::string entry_at(const std::string& image, int index) {
  return image.substr(entry_offset(index), 32);
}

const std::string kEmptyEntry = "\xE5" + std::string(11, ' ') + std::string(20, '\0');

std::string bytes(std::initializer_list<int> values) {
  std::string out;
  for (int v : values) out.push_back(static_cast<char>(v));
  return out;
}

// What a full format of the 8-inch type leaves in the file.
std::string fully_formatted_image() {
  std::string image(kImageSize, '\xE5');
  image[0] = '\xC9';
  for (int i = 0; i < 64; ++i) image.replace(entry_offset(i), 32, kEmptyEntry);
  std::string signature(kSignature);
  signature.resize(128, '\0');
  image.replace(kImageSize - 128, 128, signature);
  return image;
}

std::string created(const std::string& name) {
  return "Image '" + name + "' was created.\nImage '" + name + "' was formated.\n";
}

std::string cleaned(const std::string& name) {
  return "Directory of image '" + name + "' was cleaned.\n";
}

class FormatCliTest : public ::testing::Test {
 protected:
  void SetUp() override { box.write_ini(eight_inch_ini()); }
  Sandbox box;
};

TEST_F(FormatCliTest, FullFormatOfANewImage) {
  const CliResult result = box.run({"new.dsk", "-f"});
  EXPECT_EQ(result.out, kBanner + created("new.dsk"));
  EXPECT_EQ(result.err, "");
  EXPECT_EQ(result.status, 0);
  EXPECT_TRUE(box.read_file("new.dsk") == fully_formatted_image());
}

TEST_F(FormatCliTest, FullFormatRewritesAnExistingImage) {
  std::string old(kImageSize, 'x');
  box.write_file("old.dsk", old);
  const CliResult result = box.run({"old.dsk", "-f"});
  EXPECT_EQ(result.out, kBanner + created("old.dsk"));
  EXPECT_EQ(result.status, 0);
  EXPECT_TRUE(box.read_file("old.dsk") == fully_formatted_image());
}

TEST_F(FormatCliTest, QuickFormatOfANewImageFormatsFully) {
  const CliResult result = box.run({"new.dsk", "-q"});
  EXPECT_EQ(result.out, kBanner + created("new.dsk") + cleaned("new.dsk"));
  EXPECT_EQ(result.status, 0);
  EXPECT_TRUE(box.read_file("new.dsk") == fully_formatted_image());
}

// Only the directory records change; the system area, the data area and
// the gap after the last unit keep what they held.
TEST_F(FormatCliTest, QuickFormatClearsOnlyTheDirectory) {
  std::string old(kImageSize, '\0');
  for (std::size_t i = 0; i < old.size(); ++i) old[i] = static_cast<char>(i * 7 + 1);
  box.write_file("old.dsk", old);
  const CliResult result = box.run({"old.dsk", "-q"});
  EXPECT_EQ(result.out, kBanner + cleaned("old.dsk"));
  EXPECT_EQ(result.status, 0);

  std::string expected = old;
  for (int i = 0; i < 64; ++i) expected.replace(entry_offset(i), 32, kEmptyEntry);
  EXPECT_TRUE(box.read_file("old.dsk") == expected);

  const CliResult listing = box.run({"old.dsk", "-c"});
  EXPECT_EQ(listing.err, "");
  EXPECT_NE(listing.out.find("0K in 0 file(s), 241K free\n64 directory entries free\n\n"),
            std::string::npos);
}

TEST_F(FormatCliTest, TnsFormatWritesLabelAndMapEntries) {
  struct Case {
    std::vector<std::string> args;
    const char* label;
  };
  const std::vector<Case> cases = {
      {{"t.dsk", "-f", "-tns", "-lbl", "mydisk"}, "MYDISK     "},
      {{"t.dsk", "-lbl", "mydisk", "-tns", "-q"}, "MYDISK     "},
      {{"t.dsk", "-f", "-tns"}, "TNS-DOS/XEV"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.args.back());
    box.run({"t.dsk", "-f"});  // an existing image, so -q only cleans
    const CliResult result = box.run(c.args);
    EXPECT_EQ(result.err, "");
    EXPECT_EQ(result.status, 0);
    const std::string image = box.read_file("t.dsk");

    const std::string label = "\xE5" + std::string(c.label) + bytes({0, 0, 0, 0xFF}) +
                              std::string(16, '\0');
    EXPECT_TRUE(entry_at(image, 0) == label);
    // Units 0 and 1 (the directory) in use; bit order reversed; the five
    // positions past unit 242 are set in the last map byte.
    const std::string map1 =
        bytes({0xE5, 0x03}) + std::string(13, '\0') + bytes({0xFE}) + std::string(16, '\0');
    const std::string map2 =
        bytes({0xE5, 0xF8}) + std::string(13, '\xFF') + bytes({0xFE}) + std::string(16, '\xFF');
    EXPECT_TRUE(entry_at(image, 1) == map1);
    EXPECT_TRUE(entry_at(image, 2) == map2);
    for (int i = 3; i < 64; ++i) EXPECT_TRUE(entry_at(image, i) == kEmptyEntry) << i;
  }

  const CliResult tns = box.run({"t.dsk", "-tns", "-c"});
  EXPECT_NE(tns.out.find("mask: '*.*'\nTNS-DOS disk label: TNS-DOS/XEV\n\n U Name"),
            std::string::npos);
  EXPECT_NE(tns.out.find("0K in 0 file(s), 241K free\n61 directory entries free\n\n"),
            std::string::npos);
  const CliResult plain = box.run({"t.dsk", "-c"});
  EXPECT_EQ(plain.out.find("TNS-DOS disk label"), std::string::npos);
  EXPECT_NE(plain.out.find("64 directory entries free\n\nThis is likely a TNS-DOS disk.\n"),
            std::string::npos);
}

TEST_F(FormatCliTest, QuickFormatOfANewImageThenAdd) {
  box.write_file("X.COM", std::string(200, 'x'));
  const CliResult result = box.run({"new.dsk", "-q", "-a", "X.COM"});
  EXPECT_EQ(result.err, "");
  EXPECT_EQ(result.status, 0);
  EXPECT_EQ(result.out, kBanner + created("new.dsk") + cleaned("new.dsk") +
                            "Adding file(s) to 'new.dsk'\n  path: '', mask: 'X.COM'\n\n"
                            "File 'X.COM' added\n"
                            "\nDone. 1 file(s) added.\n\n");
  const CliResult listing = box.run({"new.dsk", "-c1", "-c"});
  EXPECT_NE(listing.out.find("\n 0 X.COM            2    1K  --\n\n1K in 1 file(s)"),
            std::string::npos);
}

TEST_F(FormatCliTest, ImageOfWrongSizeIsRefused) {
  struct Case {
    std::size_t size;
    std::vector<std::string> args;
  };
  const std::vector<Case> cases = {
      {kImageSize - 128, {"w.dsk", "-c"}},
      {kImageSize + 128, {"w.dsk", "-c"}},
      {0, {"w.dsk", "-c"}},
      {kImageSize - 1, {"w.dsk", "-q"}},
      {kImageSize + 128, {"w.dsk", "-e", "A.TXT"}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.size);
    const std::string old(c.size, 'w');
    box.write_file("w.dsk", old);
    const CliResult result = box.run(c.args);
    EXPECT_EQ(result.out, std::string(kBanner) + "\n");
    EXPECT_EQ(result.err, "Image `w.dsk` has bad size !!!\n");
    EXPECT_EQ(result.status, 3);
    EXPECT_TRUE(box.read_file("w.dsk") == old);
  }

  box.write_file("w.dsk", std::string(kImageSize - 128, 'w'));
  const CliResult full = box.run({"w.dsk", "-f"});
  EXPECT_EQ(full.status, 0);
  EXPECT_TRUE(box.read_file("w.dsk") == fully_formatted_image());
}

// An existing empty file is a new image to the commands that may create one.
TEST_F(FormatCliTest, EmptyFileIsANewImageForQuickFormat) {
  box.write_file("e.dsk", "");
  const CliResult result = box.run({"e.dsk", "-q"});
  EXPECT_EQ(result.out, kBanner + created("e.dsk") + cleaned("e.dsk"));
  EXPECT_TRUE(box.read_file("e.dsk") == fully_formatted_image());
}

TEST_F(FormatCliTest, CatalogueOfAMissingImage) {
  const CliResult result = box.run({"none.dsk", "-c"});
  EXPECT_EQ(result.out, std::string(kBanner) + "\n");
  EXPECT_EQ(result.err, "Can't open image `none.dsk` !!!\n");
  EXPECT_EQ(result.status, 2);
  EXPECT_FALSE(box.exists("none.dsk"));
}

TEST_F(FormatCliTest, CorruptEntryStopsTheCatalogueUnlessIgnored) {
  box.run({"c.dsk", "-f"});
  std::string image = box.read_file("c.dsk");
  const std::string bad_user = bytes({0x20}) + "BAD     TXT" + bytes({0, 0, 0, 1, 9}) +
                               std::string(15, '\0');
  image.replace(entry_offset(5), 32, bad_user);
  box.write_file("c.dsk", image);

  const CliResult stopped = box.run({"c.dsk", "-c"});
  EXPECT_EQ(stopped.out, std::string(kBanner) + "\n");
  EXPECT_EQ(stopped.err, "Corrupted directory entry `BAD.TXT` (invalid user number: 32) !!!\n");
  EXPECT_EQ(stopped.status, 15);

  // A unit number past the disk: reported, the later pointer still counts,
  // and the listing follows an empty line.
  const std::string bad_unit = bytes({0}) + "BAD     TXT" + bytes({0, 0, 0, 1, 243, 7}) +
                               std::string(14, '\0');
  image.replace(entry_offset(5), 32, bad_unit);
  box.write_file("c.dsk", image);
  const CliResult ignored = box.run({"c.dsk", "-iide", "-c1", "-c"});
  EXPECT_EQ(ignored.err, "Corrupted directory entry `BAD.TXT` (invalid AU number: 243) !!!\n");
  EXPECT_EQ(ignored.status, 0);
  EXPECT_EQ(ignored.out, std::string(kBanner) + "\n" +
                             "Catalogue of 'c.dsk', mask: '*.*'\n"
                             "\n U Name          RECS  SIZE  RS\n"
                             "-------------------------------\n"
                             " 0 BAD.TXT          1    1K  --\n"
                             "\n"
                             "1K in 1 file(s), 240K free\n"
                             "63 directory entries free\n\n");
}

}  // namespace
}  // namespace xev::test
