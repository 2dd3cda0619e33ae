#include <gtest/gtest.h>

#include <string>

#include "platform/platform.h"

namespace xev::platform {
namespace {

TEST(HostNames, WindowsKeepsFilesOutOfDevicesAndStreams) {
  const struct {
    const char* name;
    const char* safe;
  } cases[] = {
      {"CON", "_CON"},
      {"con.txt", "_con.txt"},
      {"NUL", "_NUL"},
      {"PRN.X", "_PRN.X"},
      {"AUX.COM", "_AUX.COM"},
      {"COM1", "_COM1"},
      {"COM9.SUB", "_COM9.SUB"},
      {"LPT0", "_LPT0"},
      {"lpt5.$$$", "_lpt5.$$$"},
      {"CONIN$", "_CONIN$"},
      {"CONOUT$.TXT", "_CONOUT$.TXT"},
      {"CON .TXT", "_CON .TXT"},
      // Names that only begin or end like a device are plain files.
      {"CONX", "CONX"},
      {"XCON", "XCON"},
      {"NULL.TXT", "NULL.TXT"},
      {"COM10", "COM10"},
      {"COMA", "COMA"},
      {"TXT.CON", "TXT.CON"},
      // A colon names a drive or a stream; '<' and '>' are no name characters.
      {"A:B", "A_B"},
      {"C:", "C_"},
      {"CON:", "CON_"},
      {"<A>.T", "_A_.T"},
      {"PLAIN.TXT", "PLAIN.TXT"},
  };
  for (const auto& c : cases) EXPECT_EQ(windows_safe_name(c.name), c.safe) << c.name;
}

TEST(HostNames, PosixTakesEveryNameAsItIs) {
  for (const char* name : {"CON", "NUL.TXT", "A:B", "<A>"}) {
    EXPECT_EQ(safe_host_name(name), name);
  }
}

}  // namespace
}  // namespace xev::platform
