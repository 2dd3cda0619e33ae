#include <sys/stat.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <cstdlib>
#include <fstream>
#include <string>

#include "platform/platform.h"

namespace xev::platform {
namespace {

class ScratchDir : public testing::Test {
 protected:
  void SetUp() override {
    std::string templ = "/tmp/xev-console-XXXXXX";
    ASSERT_NE(mkdtemp(templ.data()), nullptr);
    dir_ = templ + "/";
  }
  void TearDown() override {
    const std::string command = "rm -rf '" + dir_ + "'";
    EXPECT_EQ(std::system(command.c_str()), 0);
  }
  std::string at(const std::string& name) const { return dir_ + name; }
  bool exists(const std::string& name) const {
    struct stat info {};
    return lstat(at(name).c_str(), &info) == 0;
  }
  void make_file(const std::string& name) const { std::ofstream(at(name)) << "data"; }

  std::string dir_;
};

TEST_F(ScratchDir, RemovesOnlyFilesAndLinks) {
  make_file("file.bin");
  make_file("target.bin");
  ASSERT_EQ(symlink(at("target.bin").c_str(), at("link.bin").c_str()), 0);
  ASSERT_EQ(symlink(at("sub").c_str(), at("dirlink").c_str()), 0);
  ASSERT_EQ(mkdir(at("sub").c_str(), 0755), 0);
  ASSERT_EQ(mkfifo(at("pipe").c_str(), 0644), 0);

  EXPECT_TRUE(remove_regular_file(at("file.bin")));
  EXPECT_FALSE(exists("file.bin"));
  // A link goes, what it points to stays.
  EXPECT_TRUE(remove_regular_file(at("link.bin")));
  EXPECT_FALSE(exists("link.bin"));
  EXPECT_TRUE(exists("target.bin"));
  EXPECT_TRUE(remove_regular_file(at("dirlink")));
  EXPECT_TRUE(exists("sub"));

  EXPECT_FALSE(remove_regular_file(at("sub")));
  EXPECT_TRUE(exists("sub"));
  EXPECT_FALSE(remove_regular_file(at("pipe")));
  EXPECT_TRUE(exists("pipe"));
  EXPECT_FALSE(remove_regular_file(at("missing")));
  EXPECT_FALSE(remove_regular_file("/dev/null"));
}

TEST(ExecutableDir, IsTheDirectoryOfTheRunningProgram) {
  const std::string dir = executable_dir();
  ASSERT_FALSE(dir.empty());
  EXPECT_EQ(dir.front(), '/');
  EXPECT_EQ(dir.back(), '/');
  // The test program runs from the build tree, beside the built xev.
  EXPECT_EQ(access((dir + "xev_platform_tests").c_str(), X_OK), 0);
}

TEST(WaitForKey, ReturnsAtOnceWithoutATerminal) {
  // Standard input from a file that holds no Enter key at all.
  std::FILE* saved = std::freopen("/dev/null", "r", stdin);
  ASSERT_NE(saved, nullptr);
  wait_for_key(13);  // must not block
  SUCCEED();
}

}  // namespace
}  // namespace xev::platform
