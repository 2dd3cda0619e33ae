#include <gtest/gtest.h>

#include "support/sandbox.h"

namespace xev::test {
namespace {

TEST(Smoke, BannerComesFirst) {
  Sandbox box;
  const CliResult result = box.run({});
  EXPECT_EQ(result.out.substr(0, std::string(kBanner).size()), kBanner);
  EXPECT_EQ(result.status, 0);
}

}  // namespace
}  // namespace xev::test
