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

std::string totals(int k, int files, int free_entries = 54) {
  return "\n" + std::to_string(k) + "K in " + std::to_string(files) + " file(s), 230K free\n" +
         std::to_string(free_entries) + " directory entries free\n\n";
}
std::string high(std::string entry, std::initializer_list<int> bytes) {
  for (int at : bytes) entry[static_cast<std::size_t>(at)] |= '\x80';
  return entry;
}

TEST(Catalogue, ListsExactly) {
  // Names out of order, attribute bits on name characters too; F has two
  // extents, W is past 32 extents and needs five digits.
  const std::vector<std::string> files = {
      dir_entry(0, "ZED", "TXT", 0, 0, 3, {2}), dir_entry(0, "A", "COM", 0, 0, 1, {3}),
      dir_entry(0, "A", "", 0, 0, 0, {}),       dir_entry(0, "AB", "COM", 0, 0, 9, {4, 5}),
      high(dir_entry(3, "XS", "TXT", 0, 0, 16, {11, 12}), {10}),
      high(dir_entry(3, "XR", "TXT", 0, 0, 1, {13}), {2, 9}),
      dir_entry(0, "F", "", 0, 0, 128, {15}),   dir_entry(0, "F", "", 1, 0, 5, {16}),
      dir_entry(0, "W", "", 0, 0, 128, {17}),   dir_entry(0, "W", "", 14, 2, 128, {18})};
  const std::string label = dir_entry(0xE5, "MYDISK", "", 0, 0, 0xFF, {});
  const std::string map = dir_entry(0xE5, "", "", 0, 0, 0xFE, {});
  const std::string a = " 0 A                0    0K  --", ab = " 0 AB.COM           9    2K  --",
                    a_com = " 0 A.COM            1    1K  --";
  const std::string one = "Catalogue of 't.dsk', mask: '";
  const struct {
    std::vector<std::string> args;
    std::string out;
    std::vector<std::pair<int, std::string>> tns = {};
  } cases[] = {
      {{"-c", "A*.*"},
       one + "A*.*'\n" + kHead2 + a + "\t" + a_com + "\n" + ab + "\t\n" + totals(3, 3)},
      {{"-cu", "-c1", "-c", "*.TXT"},
       one + "*.TXT'\n" + kHead1 + " 0 ZED.TXT          3    1K  --\n" +
           " 3 XS.TXT          16    2K  -S\n 3 XR.TXT           1    1K  R-\n" + totals(4, 3)},
      {{"-c1", "-c", "?"},
       one + "?'\n" + kHead1 + a + "\n 0 F              133   17K  --\n" +
           " 0 W             10112 1264K  --\n" + totals(1281, 3)},
      {{"-c", "*.BAS"}, one + "*.BAS'\n" + kHead2 + totals(0, 0)},
      {{"-cp", "2", "-c", "A*.*"},  // stdin is no terminal here
       one + "A*.*'\n" + kHead2 + a + "\t" + a_com + "\nPress Enter to continue...\r" + ab +
           "\t\n" + totals(3, 3)},
      {{"-c", "A<B"}, ""},
      {{"-tns", "-c1", "-c", "A"},
       one + "A'\nTNS-DOS disk label: MYDISK\n" + kHead1 + a + "\n" + totals(0, 1, 52),
       {{21, label}, {20, map}}},
      {{"-c1", "-c", "A"},
       one + "A'\n" + kHead1 + a + "\n" + totals(0, 1) +
           "This is likely a TNS-DOS disk.\nUse the `-tns` " +
           "switch together with the `-c`, `-f`, `-q`, `-a`, or `-e` switches.\n\n",
       {{20, label}, {21, map}}},
  };
  Sandbox box;
  box.write_ini(ini_section("dsk", 26, 1, 0, 242, 63, 2));
  std::string disk = formatted(box, "t.dsk");
  for (std::size_t i = 0; i < files.size(); ++i) put_entry(disk, int(i), files[i]);
  for (const auto& c : cases) {
    SCOPED_TRACE(::testing::PrintToString(c.args));
    std::string image = disk;
    for (const auto& [index, entry] : c.tns) put_entry(image, index, entry);
    box.write_file("t.dsk", image);
    std::vector<std::string> args{"t.dsk"};
    args.insert(args.end(), c.args.begin(), c.args.end());
    const CliResult result = box.run(args);
    EXPECT_EQ(result.out, kBanner + c.out);
    EXPECT_EQ(result.err,
              c.out.empty() ? "Name of this file `A<B` has incorrect format !!!\n" : "");
    EXPECT_EQ(result.status, 0);
  }
}

}  // namespace
}  // namespace xev::test
