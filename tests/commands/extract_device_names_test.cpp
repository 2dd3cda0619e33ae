// Extracted files stay plain files in the target folder on Windows too: CP/M
// names that Windows reads as a device, a drive or a stream get a '_' there.
// Elsewhere they are ordinary names and are kept.
#include <gtest/gtest.h>

#include <string>

#include "commands/disk_builder.h"

namespace xev::test {
namespace {

TEST(ExtractDeviceNames, BecomePlainFilesOnWindows) {
  Sandbox box;
  box.write_ini(ini_section("t1", 26, 1, 0, 242, 63, 0));
  std::string image = formatted(box, "x.t1");
  const struct {
    const char* name11;
    const char* shown;
    const char* windows_name;
  } cases[] = {
      {"CON     TXT", "CON.TXT", "_CON.TXT"},
      {"NUL        ", "NUL", "_NUL"},
      {"LPT1    BAK", "LPT1.BAK", "_LPT1.BAK"},
      {"CONOUT$    ", "CONOUT$", "_CONOUT$"},
      {"A:B     TXT", "A:B.TXT", "A_B.TXT"},
      {"COMMAND COM", "COMMAND.COM", "COMMAND.COM"},
  };
  const bool windows = running_under_wine();
  std::string lines;
  int index = 0;
  for (const auto& c : cases) {
    put_entry(image, index, 0, std::string(c.name11, 8), c.name11 + 8, 0, 0, 1, {2 + index},
              Layout{0});
    ++index;
    const std::string host = windows ? c.windows_name : c.shown;
    lines += host == c.shown
                 ? "File '" + host + "' extracted\n"
                 : "File '" + std::string(c.shown) + "' extracted as " + host + "\n";
  }
  box.write_file("x.t1", image);
  box.make_dir("out");
  const CliResult result = box.run({"x.t1", "-x", "out/*.*"});
  EXPECT_EQ(result.err, "");
  EXPECT_EQ(result.out,
            kBanner + ("Extracting file(s) from 'x.t1'\n  path: 'out/', mask: '*.*'\n\n" +
                       lines + "\nDone. 6 file(s) extracted.\n\n"));
  for (const auto& c : cases) {
    EXPECT_EQ(
        box.read_file(std::string("out/") + (windows ? c.windows_name : c.shown)).size(),
        128u)
        << c.shown;
  }
}

}  // namespace
}  // namespace xev::test
