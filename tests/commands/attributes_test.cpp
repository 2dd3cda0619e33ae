// -sa and -su, one command after another on the same image: each changes
// exactly the bits and bytes it names.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "commands/disk_builder.h"

namespace xev::test {
namespace {

std::string report(const std::string& what, const std::string& mask,
                   const std::vector<std::string>& names) {
  const bool sa = what.size() == 2;  // the attributes, or else the user area
  std::string out = (sa ? "Setting file attributes to '" : "Setting user area to '") + what +
                    "', mask: '" + mask + "'\n\n";
  for (const std::string& name : names) {
    out += sa ? "File attributes for '" + name + "' are set.\n"
              : "User area for '" + name + "' set.\n";
  }
  return out + (sa ? "\nDone. Attributes set for " : "\nDone. User area set for ") +
         std::to_string(names.size()) + " file(s).\n\n";
}

TEST(Attributes, ChangeOnlyTheirBitsAndBytes) {
  std::string disk(256256, '\xE5');
  // BIG.DAT: t3 and a name bit set, one extent before the first, another
  // entry between, and an entry that the system bit makes another file.
  const std::vector<std::string> entries = {
      dir_entry(0, "BIG", "DAT", 2, 0, 0, {40}),   dir_entry(0, "BIG", "DAT", 0, 0, 128, {10, 11}),
      dir_entry(0, "OTHER", "TXT", 0, 0, 1, {20}), dir_entry(0, "BIG", "DAT", 1, 0, 128, {12}),
      dir_entry(0, "BIG", "DAT", 2, 0, 3, {13}),   dir_entry(0, "BIG", "DAT", 3, 0, 1, {14}),
      dir_entry(0, "GAME", "DAT", 0, 0, 1, {5}),   dir_entry(2, "GAME", "DAT", 0, 0, 128, {6}),
      dir_entry(2, "GAME", "DAT", 1, 0, 4, {7}),   dir_entry(2, "NOTES", "TXT", 0, 0, 1, {8})};
  for (std::size_t i = 0; i < entries.size(); ++i) put_entry(disk, int(i), entries[i]);
  // Bit 7 of byte `byte` of entry `index`, as offsets into the image.
  const auto bits = [](std::vector<int> indices, std::vector<int> bytes) {
    std::vector<std::size_t> at;
    for (int i : indices)
      for (int b : bytes) at.push_back(6656 + 32 * i + b);
    return at;
  };
  for (std::size_t at : bits({0, 1, 3, 4, 5}, {2, 11})) disk[at] |= '\x80';
  for (std::size_t at : bits({5, 7, 8}, {10})) disk[at] |= '\x80';
  disk[6656 + 32 * 2 + 9] |= '\x80';
  const struct {
    std::vector<std::string> args;
    std::string out;
    std::vector<std::size_t> flipped = {};  // bit 7 of these bytes
    std::vector<int> moved = {};            // to user area 3
  } cases[] = {
      {{"-sa", "BIG.DAT", "RS"}, report("RS", "BIG.DAT", {"BIG.DAT"}), bits({1, 3, 4}, {9, 10})},
      {{"-sa", "*.TXT", "--"}, report("--", "*.TXT", {"OTHER.TXT", "NOTES.TXT"}), bits({2}, {9})},
      {{"-u", "2", "-su", "GAME.DAT", "3"}, report("3", "GAME.DAT", {"GAME.DAT"}), {}, {7, 8}},
      {{"-sa", "Z*.*", "RS"}, report("RS", "Z*.*", {})},
      {{"-sa", "A<B.COM", "RS"}, ""},
  };
  Sandbox box;
  box.write_ini(ini_section("dsk", 26, 1, 0, 242, 63, 2));
  for (const auto& c : cases) {
    SCOPED_TRACE(c.args[1]);
    box.write_file("t.dsk", disk);
    std::vector<std::string> args{"t.dsk"};
    args.insert(args.end(), c.args.begin(), c.args.end());
    const CliResult result = box.run(args);
    EXPECT_EQ(result.out, kBanner + c.out);
    EXPECT_EQ(result.err,
              c.out.empty() ? "Name of this file `A<B.COM` has incorrect format !!!\n" : "");
    std::string expected = disk;
    for (std::size_t at : c.flipped) expected[at] ^= '\x80';
    for (int i : c.moved) expected[6656 + 32 * i] = 3;
    EXPECT_TRUE(box.read_file("t.dsk") == expected);
  }
}

}  // namespace
}  // namespace xev::test
