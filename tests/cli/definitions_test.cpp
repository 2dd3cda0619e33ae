// Where an image type comes from: -it, the three definition files in their
// order, and the type found from an existing image itself.
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <optional>
#include <tuple>

#include "support/harness.h"

namespace xev::test {
namespace {

// Sets an environment variable for one scope.
struct ScopedEnv {
  ScopedEnv(const char* name, const std::string& value) : name(name) {
    if (const char* now = std::getenv(name)) old = now;
    ::setenv(name, value.c_str(), 1);
  }
  ~ScopedEnv() { old ? ::setenv(name, old->c_str(), 1) : ::unsetenv(name); }
  const char* name;
  std::optional<std::string> old;
};

// Images of 64 KiB: `a` with its directory in unit 0, `b` one track further
// on, `c` with 2 KiB units; `a2` is `a` under another name. `k` holds four
// units for its directory (DIRAU), more than `over` has at all, as many as
// `all` has. `d8` is an
// 8-inch disk.
TEST(Definitions, ByNameByContentsAndFileOrder) {
  Folder folder;
  const std::string none = folder.path("none"), c = section("c", 8, 2, 1, 31, 63);
  ScopedEnv no_user_file("XDG_CONFIG_HOME", none);
  folder.write("xev.ini", kEightInch + section("a", 8, 1, 0, 63, 31) +
                              section("b", 8, 1, 0, 62, 31, 1) + c +
                              section("k", 8, 1, 0, 95, 31) + "DIRAU=4\n" +
                              section("all", 8, 1, 0, 3, 31) + "DIRAU=4\n");
  // The shipped file's `C` is another disk of that name: the first one counts.
  folder.write("xev-formats.ini", section("a2", 8, 1, 0, 63, 31) + section("C", 8, 1, 0, 63, 63) +
                                      section("over", 8, 1, 0, 3, 31) + "DIRAU=5\n");
  folder.write("s", std::string(6656, 'S'));
  const std::string e5(65536, '\xE5');
  const std::string missing = "Definition for Image type `img` missing !!!\n";
  folder.write("empty.img", e5);
  folder.write("twice.img", entry(0, "F", "", 0, 0, 8, {5}) +
                                entry(0, "G", "", 0, 0, 8, {5}) + e5.substr(64));
  // Tiny files that start like an ImageDisk file but never end its comment:
  // plain images, too short for any type.
  for (auto name : {"tiny", "tiny.img", "tiny.k"}) folder.write(name, "IMD 1.18 ");

  // The text is on success a part of standard output, else standard error.
  const std::tuple<std::vector<std::string>, int, std::string> cases[] = {
      {{"d8", "-it", "DSK", "-f"}, 0, "Image 'd8' was created.\n"},
      {{"d8", "-it", "dsk", "-i", "s"}, 0, "\nDone. System copied.\n"},
      {{"d8", "-i", "s"}, 22, "Image `s` is of different type as main image `d8` !!!\n"},
      {{"x.dsk", "-it", "k", "-iti"}, 0, "  OFF=0\n  DIRAU=4\n\n"},
      {{"x", "-it", "no", "-c"}, 18, "Definition for Image type `no` missing !!!\n"},
      {{"x.dsk", "-it"}, 96, "Missing option value(s) `-it`! !!!\n"},
      {{"x.dsk", "-it", "", "-c"}, 97, "Bad value `` for option `-it` !!!\n"},
      {{"x.over", "-iti"}, 19, "Error in definition for Image type `over` !!!\n"},
      {{"x.all", "-iti"}, 0, "  DIRAU=4\n"},
      {{"d.k", "-a", "s"}, 0, ""},
      {{"d.k", "-c"}, 0, "7K in 1 file(s), 85K free"},
      {{"one", "-it", "a", "-a", "s"}, 0, ""},
      {{"one", "-c"}, 0, "Image type `a` detected\nCatalogue of 'one'"},
      {{"twice.img", "-c"}, 0, "Image type `b` detected\n"},
      {{"empty.img", "-c"},
       18,
       missing + "Image types that fit: `a`, `b`, `c` (choose one with -it TYPE)\n"},
      {{"tiny.img", "-c"}, 18, missing},
      {{"nothing.img", "-c"}, 18, missing},
      {{"tiny", "-c"}, 16, "Extension of the Image name `tiny` missing !!!\n"},
      {{"tiny.k", "-c"}, 3, "Image `tiny.k` has bad size !!!\n"},
  };
  for (const auto& [args, status, text] : cases) {
    const Result r = xev(folder, args);
    EXPECT_EQ(std::to_string(r.status) + r.err,
              std::to_string(status) + (status ? text : ""))
        << args[0] << " " << args.back();
    EXPECT_NE(r.out.find(status == 0 ? text : ""), std::string::npos) << r.out;
  }
  EXPECT_EQ(folder.read("d8").substr(0, 6656), std::string(6656, 'S'));
  EXPECT_EQ(folder.read("d.k")[16], 4);             // the first unit past those held
  const Result r = xev(Folder(), {"x.a", "-iti"});  // no definition file at all
  EXPECT_EQ(r.err + std::to_string(r.status), "Config file `xev.ini` missing !!!\n17");

  // The user's file comes first: in XDG_CONFIG_HOME when that is absolute,
  // else in HOME/.config. Then the one beside the program, the shipped one last.
  std::filesystem::create_directories(folder.path("h/.config/xev"));
  const std::string user = "h/.config/xev/xev.ini", h = folder.path("h");
  folder.write(user, c);
  const std::string order[][3] = {
      {h + "/.config", none, user}, {"relative", h, user}, {none, h, "xev.ini"}};
  for (const auto& [xdg, home, file] : order) {
    ScopedEnv config("XDG_CONFIG_HOME", xdg), user_home("HOME", home);
    const std::string out = xev(folder, {"x.c", "-iti"}).out;
    EXPECT_NE(out.find("File: " + folder.path(file) + "\n"), std::string::npos) << out;
  }
}

}  // namespace
}  // namespace xev::test
