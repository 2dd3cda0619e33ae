// The catalogue, byte for byte, of images whose directory is laid out here.
#include <gtest/gtest.h>

#include <string>
#include <utility>
#include <vector>

#include "commands/disk_builder.h"

namespace xev::test {
namespace {

const std::string kHead1 = "\n U Name          RECS  SIZE  RS\n-------------------------------\n";
const std::string kHead2 =
    "\n U Name          RECS  SIZE  RS\t U Name          RECS  SIZE  RS\n"
    "-------------------------------\t-------------------------------\n";
const std::string kPrompt = "Press Enter to continue...\r";  // stdin is no terminal here

std::string heading(const std::string& mask, const std::string& image = "t.dsk") {
  return "Catalogue of '" + image + "', mask: '" + mask + "'\n";
}
std::string totals(int k, int files, int free_k = 224, int free_entries = 50) {
  return "\n" + std::to_string(k) + "K in " + std::to_string(files) + " file(s), " +
         std::to_string(free_k) + "K free\n" + std::to_string(free_entries) +
         " directory entries free\n\n";
}
std::string high(std::string entry, std::initializer_list<int> bytes) {
  for (int at : bytes) entry[static_cast<std::size_t>(at)] |= '\x80';
  return entry;
}
// Names out of order, one name in two user areas, attribute bits on name
// characters too; F has two extents (the last gives the record count), W is
// past 32 extents and needs five digits.
const std::vector<std::string> kFiles = {
    dir_entry(0, "ZED", "TXT", 0, 0, 3, {2}),
    dir_entry(0, "A", "COM", 0, 0, 1, {3}),
    dir_entry(0, "A", "", 0, 0, 0, {}),
    dir_entry(0, "AB", "COM", 0, 0, 9, {4, 5}),
    dir_entry(5, "GAME", "COM", 0, 0, 17, {6, 7, 8}),
    dir_entry(1, "GAME", "COM", 0, 0, 1, {9}),
    high(dir_entry(3, "XRAY", "COM", 0, 0, 1, {10}), {1, 4, 9, 10, 11}),
    high(dir_entry(3, "XS", "TXT", 0, 0, 16, {11, 12}), {10}),
    high(dir_entry(3, "XR", "TXT", 0, 0, 1, {13}), {2, 9}),
    high(dir_entry(3, "XT", "TXT", 0, 0, 1, {14}), {11}),
    dir_entry(0, "F", "", 0, 0, 128, {15}),
    dir_entry(0, "F", "", 1, 0, 5, {16}),
    dir_entry(0, "W", "", 0, 0, 128, {17}),
    dir_entry(0, "W", "", 14, 2, 128, {18})};

TEST(Catalogue, ListsExactly) {
  const std::string label = dir_entry(0xE5, "MYDISK", "", 0, 0, 0xFF, {});
  const std::string map = dir_entry(0xE5, "", "", 0, 0, 0xFE, {});
  const std::string a = " 0 A                0    0K  --",
                    a_com = " 0 A.COM            1    1K  --",
                    ab = " 0 AB.COM           9    2K  --", zed = " 0 ZED.TXT          3    1K  --",
                    xr = " 3 XR.TXT           1    1K  R-", xs = " 3 XS.TXT          16    2K  -S",
                    xt = " 3 XT.TXT           1    1K  --";
  const struct {
    std::vector<std::string> args;
    std::string out;
    std::vector<std::pair<int, std::string>> tns = {};
  } cases[] = {
      {{"t.dsk", "-c", "A*.*"},
       heading("A*.*") + kHead2 + a + "\t" + a_com + "\n" + ab + "\t\n" +
           "\n3K in 3 file(s), 224K free\n50 directory entries free\n\n"},
      {{"t.dsk", "-c", "*.TXT"},
       heading("*.TXT") + kHead2 + xr + "\t" + xs + "\n" + xt + "\t" + zed + "\n" + totals(5, 4)},
      {{"t.dsk", "-cu", "-c1", "-c", "*.TXT"},
       heading("*.TXT") + kHead1 + zed + "\n" + xs + "\n" + xr + "\n" + xt + "\n" + totals(5, 4)},
      {{"t.dsk", "-c1", "-c", "game.com"},
       heading("game.com") + kHead1 + " 5 GAME.COM        17    3K  --\n" +
           " 1 GAME.COM         1    1K  --\n" + totals(4, 2)},
      {{"t.dsk", "-u", "3", "-c1", "-c", "*.COM"},
       heading("*.COM") + kHead1 + " 3 XRAY.COM         1    1K  RS\n" + totals(1, 1)},
      {{"t.dsk", "-c1", "-c", "?"},
       heading("?") + kHead1 + a + "\n 0 F              133   17K  --\n" +
           " 0 W             10112 1264K  --\n" + totals(1281, 3)},
      {{"t.ds2", "-c1", "-c"},
       heading("*.*", "t.ds2") + kHead1 + " 0 F1              17    4K  --\n" +
           " 0 F2              16    2K  --\n 0 F3               0    0K  --\n" +
           totals(6, 3, 478, 61)},
      {{"t.dsk", "-c", "*.BAS"}, heading("*.BAS") + kHead2 + totals(0, 0)},
      {{"t.dsk", "-cp", "2", "-c", "A*.*"},
       heading("A*.*") + kHead2 + a + "\t" + a_com + "\n" + kPrompt + ab + "\t\n" + totals(3, 3)},
      {{"t.dsk", "-cp", "2", "-c1", "-c", "*.TXT"},
       heading("*.TXT") + kHead1 + xr + "\n" + xs + "\n" + kPrompt + xt + "\n" + zed + "\n" +
           kPrompt + totals(5, 4)},
      {{"t.dsk", "-c", "A<B"}, ""},
      {{"t.dsk", "-tns", "-c1", "-c", "A"},
       heading("A") + "TNS-DOS disk label: MYDISK\n" + kHead1 + a + "\n" + totals(0, 1, 224, 48),
       {{21, label}, {20, map}}},
      {{"t.dsk", "-tns", "-c1", "-c", "A"},
       heading("A") + kHead1 + a + "\n" + totals(0, 1, 224, 49),
       {{20, dir_entry(0xE5, "", "", 0, 0, 0xFF, {})}}},
      {{"t.dsk", "-c1", "-c", "A"},
       heading("A") + kHead1 + a + "\n" + totals(0, 1) +
           "This is likely a TNS-DOS disk.\nUse the `-tns` " +
           "switch together with the `-c`, `-f`, `-q`, `-a`, or `-e` switches.\n\n",
       {{20, label}, {21, map}}},
      {{"t.dsk", "-c1", "-c", "A"}, heading("A") + kHead1 + a + "\n" + totals(0, 1), {{20, label}}},
  };
  Sandbox box;
  box.write_ini(ini_section("dsk", 26, 1, 0, 242, 63, 2) +
                ini_section("ds2", 26, 2, 1, 242, 63, 2));
  std::string disk = formatted(box, "t.dsk"), ds2 = formatted(box, "t.ds2");
  for (std::size_t i = 0; i < kFiles.size(); ++i) put_entry(disk, int(i), kFiles[i]);
  // Units of 2 KiB.
  put_entry(ds2, 0, 0, "F1", "", 0, 0, 17, {1, 2});
  put_entry(ds2, 1, 0, "F2", "", 0, 0, 16, {3});
  put_entry(ds2, 2, 0, "F3", "", 0, 0, 0, {});
  box.write_file("t.ds2", ds2);
  for (const auto& c : cases) {
    SCOPED_TRACE(::testing::PrintToString(c.args));
    std::string image = disk;
    for (const auto& [index, entry] : c.tns) put_entry(image, index, entry);
    box.write_file("t.dsk", image);
    const CliResult result = box.run(c.args);
    EXPECT_EQ(result.out, kBanner + c.out);
    EXPECT_EQ(result.err,
              c.out.empty() ? "Name of this file `A<B` has incorrect format !!!\n" : "");
    EXPECT_EQ(result.status, 0);
  }
}

}  // namespace
}  // namespace xev::test
