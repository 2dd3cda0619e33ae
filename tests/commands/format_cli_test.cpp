// Formatting and opening images: the bytes of a format through the skew of the
// 8-inch type, TNS-DOS entries, images that cannot be opened and corrupt entries.
#include <gtest/gtest.h>

#include <string>
#include <tuple>
#include <vector>

#include "commands/disk_builder.h"

namespace xev::test {
namespace {

constexpr int kSize = 256256;
constexpr int kSkew[26] = {1, 7, 13, 19, 25, 5, 11, 17, 23, 3, 9,  15, 21,
                           2, 8, 14, 20, 26, 6, 12, 18, 24, 4, 10, 16, 22};
// Entry i lies in record i / 4 of the directory: logical sector i / 4 of track 2.
std::size_t at(int i) {
  return 6656 + (kSkew[i / 4] - 1) * 128 + i % 4 * 32;
}

std::string with_directory(std::string image, const std::vector<std::string>& entries = {}) {
  for (int i = 0; i < 64; ++i)
    image.replace(at(i), 32,
                  i < int(entries.size()) ? entries[i] : dir_entry(0xE5, "", "", 0, 0, 0, {}));
  return image;
}

TEST(FormatCli, WritesAndRefusesImagesExactly) {
  Sandbox box;
  box.write_ini(std::string("[dsk]\n") + kEightInchDefinition);
  // A new image is formatted in full.
  std::string full = with_directory(std::string(kSize, '\xE5'));
  std::string signature = "XEV CP/M Disk Image Manager v2.4 (c) 2026 The xev Authors";
  full.replace(0, 1, "\xC9").replace(kSize - 128, 128, signature.append(71, '\0'));
  const std::string made = "Image 't.dsk' was created.\nImage 't.dsk' was formated.\n";
  const std::string cleaned = "Directory of image 't.dsk' was cleaned.\n";
  EXPECT_EQ(box.run({"t.dsk", "-f"}).out, kBanner + made);
  EXPECT_TRUE(box.read_file("t.dsk") == full);
  // A quick format of an existing image changes only the directory records.
  std::string old(kSize, '\0');
  for (std::size_t i = 0; i < old.size(); ++i) old[i] = static_cast<char>(i * 7 + 1);
  box.write_file("t.dsk", old);
  EXPECT_EQ(box.run({"t.dsk", "-q"}).out, kBanner + cleaned);
  EXPECT_TRUE(box.read_file("t.dsk") == with_directory(old));
  // TNS-DOS: the label, then the map of units 0 and 1 (the directory) in use,
  // bits reversed, the five bits past unit 242 set.
  const std::string map1 = "\xE5\x03" + std::string(13, '\0') + "\xFE" + std::string(16, '\0');
  const std::string map2 = "\xE5\xF8" + std::string(13, '\xFF') + "\xFE" + std::string(16, '\xFF');
  for (const auto& [lbl, label] : {std::pair{"mydisk", "MYDISK     "}, {"", "TNS-DOS/XEV"}}) {
    std::vector<std::string> args{"t.dsk", "-f", "-tns"};
    if (*lbl) args.insert(args.end(), {"-lbl", lbl});
    EXPECT_EQ(box.run(args).status, 0);
    const std::string image = box.read_file("t.dsk");
    const std::string entry =
        "\xE5" + std::string(label) + std::string(3, '\0') + "\xFF" + std::string(16, '\0');
    EXPECT_TRUE(image == with_directory(image, {entry, map1, map2})) << label;
  }
  // Wrong sizes and corrupt entries stop the command, the image untouched; with
  // -iide the entry is reported and the listing counts the good pointer after the bad
  // one.
  std::string bad_user = full, bad_unit = full;
  bad_user.replace(at(5), 32, dir_entry(32, "BAD", "TXT", 0, 0, 1, {9}));
  bad_unit.replace(at(5), 32, dir_entry(0, "BAD", "TXT", 0, 0, 1, {243, 7}));
  const std::string bad = "Corrupted directory entry `BAD.TXT` (";
  const std::string listing =
      "Catalogue of 't.dsk', mask: '*.*'\n\n U Name          RECS  SIZE  RS\n"
      "-------------------------------\n 0 BAD.TXT          1    1K  --\n\n1K in 1 "
      "file(s), 240K "
      "free\n63 directory entries free\n\n";
  using Case = std::tuple<std::string, std::vector<std::string>, std::string, std::string, int>;
  for (const auto& [image, args, out, err, status] : std::vector<Case>{
           {std::string(kSize - 1, 'w'),
            {"t.dsk", "-q"},
            "",
            "Image `t.dsk` has bad size !!!\n",
            3},
           {bad_user, {"t.dsk", "-c"}, "", bad + "invalid user number: 32) !!!\n", 15},
           {bad_unit,
            {"t.dsk", "-iide", "-c1", "-c"},
            listing,
            bad + "invalid AU number: 243) !!!\n",
            0}}) {
    box.write_file("t.dsk", image);
    const CliResult result = box.run(args);
    EXPECT_EQ(result.out + result.err + std::to_string(result.status),
              kBanner + ("\n" + out) + err + std::to_string(status));
    EXPECT_TRUE(box.read_file("t.dsk") == image);
  }
}

}  // namespace
}  // namespace xev::test
