// What scripts meet around the commands: --help and --version, -nb, and the
// refusals of -cj and -txt (the black-box script reads -cj with Python and
// holds -txt against cpmcp).
#include <gtest/gtest.h>

#include "support/harness.h"

namespace xev::test {
namespace {

TEST(Scripting, QueriesAndTheBanner) {
  Folder folder;
  folder.write("xev.ini", kEightInch);
  const std::string usage = xev(folder, {}).out;
  const std::size_t pause = usage.find("\nPress ENTER ...\n");
  const std::string refused = "Bad combination of options: not allowed ";
  const struct {
    std::vector<std::string> args;
    bool banner;
    std::string out, err;
    int status;
  } cases[] = {
      {{"--help"}, false, usage.substr(0, pause) + "\n" + usage.substr(pause + 17), "", 0},
      {{"--version"}, false, "XEV CP/M Disk Image Manager v2.4 (c) 2026 The xev Authors\n", "", 0},
      {{"--help", "-c"}, true, "\n", "Extension of the Image name `--help` missing !!!\n", 16},
      {{"g.dsk", "-nb"}, false, usage, "", 0},
      {{"g.dsk", "-nb", "-C"}, false, "\n", "Unknown option: `-C` !!!\n", 95},
      {{"g.dsk", "-cj", "-c1", "-c"}, false, "\n", refused + "-cj !!!\n", 94},
      {{"g.dsk", "-cd", "-cj", "-c"}, false, "\n", refused + "-cj !!!\n", 94},
      {{"g.dsk", "-txt", "-c"}, true, "\n", refused + "-txt !!!\n", 94},
  };
  for (const auto& c : cases) {
    const Result run = xev(folder, c.args, c.banner);
    EXPECT_EQ(run.out + run.err + std::to_string(run.status),
              c.out + c.err + std::to_string(c.status));
  }
}

}  // namespace
}  // namespace xev::test
