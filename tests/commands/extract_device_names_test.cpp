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
  const bool windows = running_under_wine();
  // clang-format off
  const struct { const char *name, *ext, *shown, *windows_name; } cases[] = {
      {"CON", "TXT", "CON.TXT", "_CON.TXT"}, {"LPT1", "", "LPT1", "_LPT1"},
      {"A:B", "TXT", "A:B.TXT", "A_B.TXT"}, {"COMMAND", "COM", "COMMAND.COM", "COMMAND.COM"}};
  // clang-format on
  std::string lines;
  for (int i = 0; i < 4; ++i) {
    const auto& c = cases[i];
    put_entry(image, i, 0, c.name, c.ext, 0, 0, 1, {2 + i}, Layout{0});
    const std::string host = windows ? c.windows_name : c.shown;
    lines += "File '" + std::string(c.shown) + "' extracted" +
             (host == c.shown ? "" : " as " + host) + "\n";
  }
  box.write_file("x.t1", image);
  box.make_dir("out");
  const CliResult result = box.run({"x.t1", "-x", "out/*.*"});
  EXPECT_EQ(result.out + result.err,
            kBanner + ("Extracting file(s) from 'x.t1'\n  path: 'out/', mask: '*.*'\n\n" +
                       lines + "\nDone. 4 file(s) extracted.\n\n"));
  for (const auto& c : cases)
    EXPECT_EQ(
        box.read_file(std::string("out/") + (windows ? c.windows_name : c.shown)).size(),
        128u);
}

}  // namespace
}  // namespace xev::test
