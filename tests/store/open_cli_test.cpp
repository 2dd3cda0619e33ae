// Opening images from the command line where the path itself is the issue.
#include <gtest/gtest.h>

#include <string>

#include "support/sandbox.h"

namespace xev::test {
namespace {

// A folder text of `length` characters that names the sandbox itself.
std::string dots(std::size_t length) {
  std::string dir;
  while (dir.size() + 2 <= length) dir += "./";
  dir += std::string(length - dir.size(), '/');
  return dir;
}

TEST(OpenCli, JoinedPathOverTheLimitFailsAsTheOpenWould) {
  Sandbox box;
  box.write_ini(std::string("[dsk]\n") + kEightInchDefinition);
  const std::string name = "x.dsk";
  const std::string over = dots(260 - name.size()) + name;  // 260 characters

  const CliResult format = box.run({over, "-f"});
  EXPECT_EQ(format.out, std::string(kBanner) + "\n");
  EXPECT_EQ(format.err, "Image `x.dsk` already exist !!!\n");
  EXPECT_EQ(format.status, 1);
  EXPECT_FALSE(box.exists(name));

  const CliResult catalogue = box.run({over, "-c"});
  EXPECT_EQ(catalogue.err, "Can't open image `x.dsk` !!!\n");
  EXPECT_EQ(catalogue.status, 2);

  const std::string fits = dots(259 - name.size()) + name;  // 259 characters
  const CliResult created = box.run({fits, "-f"});
  EXPECT_EQ(created.out, std::string(kBanner) +
                             "Image 'x.dsk' was created.\nImage 'x.dsk' was formated.\n");
  EXPECT_EQ(created.status, 0);
  EXPECT_EQ(box.read_file(name).size(), 256256u);
}

}  // namespace
}  // namespace xev::test
