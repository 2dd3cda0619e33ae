#include <gtest/gtest.h>

#include <string>

#include "platform/platform.h"

namespace xev::platform {
namespace {

// Device names, also with an extension or a blank before it, get a leading
// '_'; names that only look like one stay; ':' '<' and '>' become '_'.
TEST(HostNames, WindowsKeepsFilesOutOfDevicesAndStreams) {
  for (const char* name : {"con.txt", "NUL", "COM9.SUB", "lpt0", "CONOUT$.T", "CON .TXT"})
    EXPECT_EQ(windows_safe_name(name), "_" + std::string(name));
  for (const char* name : {"CONX", "NULL.TXT", "COM10", "TXT.CON"})
    EXPECT_EQ(windows_safe_name(name), name);
  EXPECT_EQ(windows_safe_name("CON:") + windows_safe_name("<A>.T"), "CON__A_.T");
  for (const char* name : {"CON", "A:B", "<A>"}) EXPECT_EQ(safe_host_name(name), name);
}

}  // namespace
}  // namespace xev::platform
