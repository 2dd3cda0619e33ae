// Where an image type comes from: -it, the three definition files in their
// order, and the type found from an existing image itself.
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <optional>

#include "support/harness.h"

namespace xev::test {
namespace {

// Sets an environment variable (or removes it) for one scope.
class ScopedEnv {
 public:
  ScopedEnv(const char* name, const std::optional<std::string>& value) : name_(name) {
    if (const char* old = std::getenv(name)) old_ = old;
    value ? ::setenv(name, value->c_str(), 1) : ::unsetenv(name);
  }
  ~ScopedEnv() { old_ ? ::setenv(name_, old_->c_str(), 1) : ::unsetenv(name_); }

 private:
  const char* name_;
  std::optional<std::string> old_;
};

struct Case {
  std::vector<std::string> args;
  int status;
  std::string out_start;  // what standard output begins with
  std::string err;
};

void run_cases(const Folder& folder, const std::vector<Case>& cases) {
  for (const Case& c : cases) {
    const Result r = xev(folder, c.args);
    EXPECT_EQ(r.status, c.status) << c.args[0] << " " << c.args.back();
    EXPECT_EQ(r.out.substr(0, c.out_start.size()), c.out_start) << c.args.back();
    EXPECT_EQ(r.err, c.err) << c.args[0] << " " << c.args.back();
  }
}

TEST(Definitions, TypeByName) {
  Folder folder;
  ScopedEnv config("XDG_CONFIG_HOME", folder.path("none"));
  folder.write("xev.ini", kEightInch + section("hd", 8, 2, 1, 63, 63));
  folder.write("s.sys", std::string(6656, 'S'));
  run_cases(folder, {
      {{"img", "-it", "DSK", "-f"}, 0, "Image 'img' was created.\n", ""},
      {{"img", "-it", "dsk", "-i", "s.sys"}, 0, "\nDone. System copied.\n", ""},
      {{"img", "-i", "s.sys"}, 22, "Image type `dsk` detected\n",
       "Image `s.sys` is of different type as main image `img` !!!\n"},
      {{"x.dsk", "-it", "hd", "-iti"}, 0, "Definition parameters for `hd`\n  SPT=8\n", ""},
      {{"x.dsk", "-it", "nosuch", "-c"}, 18, "\n", "Definition for Image type `nosuch` missing !!!\n"},
      {{"x.dsk", "-it"}, 96, "\n", "Missing option value(s) `-it`! !!!\n"},
      {{"x.dsk", "-it", "", "-c"}, 97, "\n", "Bad value `` for option `-it` !!!\n"},
  });
  EXPECT_EQ(folder.read("img").substr(0, 6656), std::string(6656, 'S'));
}

TEST(Definitions, UserFileThenBesideThenShipped) {
  Folder folder;
  std::filesystem::create_directories(folder.path("cfg/xev"));
  std::filesystem::create_directories(folder.path("home/.config/xev"));
  folder.write("cfg/xev/xev.ini", section("a", 8, 1, 0, 100, 31));
  folder.write("home/.config/xev/xev.ini", section("a", 8, 1, 0, 101, 31));
  folder.write("xev.ini", section("a", 8, 1, 0, 200, 31) + section("b", 8, 1, 0, 201, 31));
  folder.write("xev-formats.ini", section("A", 8, 1, 0, 300, 31) + section("b", 8, 1, 0, 301, 31) +
                                      section("c", 8, 1, 0, 302, 31));
  const struct {
    std::string xdg, type, dsm, file;
  } cases[] = {
      {folder.path("cfg"), "a", "100", "cfg/xev/xev.ini"},
      {"relative", "a", "101", "home/.config/xev/xev.ini"},  // not absolute: ignored
      {folder.path("none"), "a", "200", "xev.ini"},
      {folder.path("cfg"), "b", "201", "xev.ini"},
      {folder.path("cfg"), "c", "302", "xev-formats.ini"},
  };
  ScopedEnv home("HOME", folder.path("home"));
  for (const auto& c : cases) {
    ScopedEnv config("XDG_CONFIG_HOME", c.xdg);
    const std::string out = xev(folder, {"x." + c.type, "-iti"}).out;
    EXPECT_NE(out.find("  DSM=" + c.dsm + "\n"), std::string::npos) << c.dsm;
    const std::string last = "  Definition File: " + folder.path(c.file) + "\n";
    EXPECT_EQ(out.substr(out.size() - std::min(out.size(), last.size())), last);
  }
  // Any one definition file is enough; without all three the run stops.
  ScopedEnv config("XDG_CONFIG_HOME", folder.path("cfg"));
  std::remove(folder.path("xev.ini").c_str());
  std::remove(folder.path("xev-formats.ini").c_str());
  EXPECT_EQ(xev(folder, {"x.a", "-iti"}).status, 0);
  std::remove(folder.path("cfg/xev/xev.ini").c_str());
  EXPECT_EQ(xev(folder, {"x.a", "-iti"}).err, "Config file `xev.ini` missing !!!\n");
}

// DIRAU: allocation units held for the directory beyond those its entries
// fill are never given to files.
TEST(Definitions, UnitsHeldForTheDirectory) {
  Folder folder;
  ScopedEnv config("XDG_CONFIG_HOME", folder.path("none"));
  folder.write("xev.ini", section("k", 8, 1, 0, 63, 31) + "DIRAU=4\n" +
                              section("over", 8, 1, 0, 3, 31) + "DIRAU=5\n");
  folder.write("F.TXT", "data");
  EXPECT_NE(xev(folder, {"x.k", "-iti"}).out.find("  OFF=0\n  DIRAU=4\n\n"), std::string::npos);
  EXPECT_EQ(xev(folder, {"x.over", "-iti"}).err, "Error in definition for Image type `over` !!!\n");
  EXPECT_EQ(xev(folder, {"d.k", "-a", "F.TXT"}).status, 0);
  EXPECT_EQ(folder.read("d.k").substr(16, 2), std::string("\x04\0", 2));
  EXPECT_NE(xev(folder, {"d.k", "-c"}).out.find("1K in 1 file(s), 59K free"), std::string::npos);
}

// Three disks of 64 KiB: `a` with its directory in unit 0, `b` one track
// further on, `c` with 2 KiB units; `a2` is `a` under another name.
TEST(Definitions, DetectionByContents) {
  Folder folder;
  ScopedEnv config("XDG_CONFIG_HOME", folder.path("none"));
  folder.write("xev.ini", section("a", 8, 1, 0, 63, 31) + section("b", 8, 1, 0, 62, 31, 1) +
                              section("c", 8, 2, 1, 31, 63) + section("d", 8, 1, 0, 127, 31));
  folder.write("xev-formats.ini", section("a2", 8, 1, 0, 63, 31));
  folder.write("X.TXT", std::string(1024, 'x'));
  ASSERT_EQ(xev(folder, {"empty.img", "-it", "a", "-f"}).status, 0);
  ASSERT_EQ(xev(folder, {"one.img", "-it", "a", "-a", "X.TXT"}).status, 0);
  folder.write("one", folder.read("one.img"));
  folder.write("twice.img", folder.read("empty.img"));
  patch(folder, "twice.img", 0, entry(0, "F", "", 0, 0, 8, {5}) + entry(0, "G", "", 0, 0, 8, {5}));
  folder.write("empty.d", folder.read("empty.img"));
  folder.write("short", std::string(1000, '\xE5'));
  folder.write("short.img", folder.read("short"));

  const std::string missing = "Definition for Image type `img` missing !!!\n";
  run_cases(folder, {
      {{"one.img", "-c"}, 0, "Image type `a` detected\nCatalogue of 'one.img'", ""},
      {{"one", "-c"}, 0, "Image type `a` detected\n", ""},
      {{"twice.img", "-c"}, 0, "Image type `b` detected\n", ""},
      {{"empty.img", "-c"}, 18, "\n", missing + "Image types that fit: `a`, `b`, `c` (choose one with -it TYPE)\n"},
      {{"short.img", "-c"}, 18, "\n", missing},
      {{"nothing.img", "-c"}, 18, "\n", missing},
      {{"short", "-c"}, 16, "\n", "Extension of the Image name `short` missing !!!\n"},
      {{"empty.d", "-c"}, 3, "\n", "Image `empty.d` has bad size !!!\n"},
  });
}

}  // namespace
}  // namespace xev::test
