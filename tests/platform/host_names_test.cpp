#include <gtest/gtest.h>

#include <string>
#include <utility>

#include "platform/platform.h"

namespace xev::platform {
namespace {

// Device names, also with an extension or a blank before it, get a leading
// '_'; names that only look like one stay; ':' '<' and '>' become '_'.
TEST(HostNames, WindowsKeepsFilesOutOfDevicesAndStreams) {
  const std::pair<const char*, const char*> cases[] = {{"con.txt", "_con.txt"},
                                                       {"NUL", "_NUL"},
                                                       {"COM9.SUB", "_COM9.SUB"},
                                                       {"lpt0", "_lpt0"},
                                                       {"CONOUT$.T", "_CONOUT$.T"},
                                                       {"CON .TXT", "_CON .TXT"},
                                                       {"CONX", "CONX"},
                                                       {"NULL.TXT", "NULL.TXT"},
                                                       {"COM10", "COM10"},
                                                       {"TXT.CON", "TXT.CON"},
                                                       {"CON:", "CON_"},
                                                       {"<A>.T", "_A_.T"}};
  for (const auto& [name, safe] : cases) EXPECT_EQ(windows_safe_name(name), safe) << name;
  for (const char* name : {"CON", "A:B", "<A>"}) EXPECT_EQ(safe_host_name(name), name);
}

}  // namespace
}  // namespace xev::platform
