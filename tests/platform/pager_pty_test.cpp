// The type pager on a terminal: output stops at the prompt, and only Enter
// lets it go on.
#include <gtest/gtest.h>

#include <string>

#include "commands/disk_builder.h"
#include "support/pty.h"

namespace xev::test {
namespace {

TEST(PagerPty, TypeWaitsAtThePromptUntilEnter) {
  if (running_under_wine()) GTEST_SKIP() << "Wine draws its own console on a terminal";
  Sandbox box;
  box.write_ini(ini_section("dsk", 26, 1, 0, 242, 63, 2));
  std::string text, image(256256, '\xE5');
  for (int i = 1; i <= 25; ++i) text += "line " + std::to_string(100 + i) + "\n";
  put_entry(image, 0, 0, "LINES", "TXT", 0, 0, 2, {2});
  put_record(image, 2, 0, text.substr(0, 128));
  put_record(image, 2, 1, text.substr(128));
  box.write_file("t.dsk", image);

  const std::string prompt = " ... Press Enter to continue ...";
  PtySession session(box, {"t.dsk", "-t", "LINES.TXT"});
  ASSERT_TRUE(session.read_until(prompt));
  session.wait_until_idle();  // waiting for a key, the echo off
  session.send("x ");         // taken without echo, and the output stays at the prompt
  session.wait_until_idle();
  const std::string first_page = text.substr(0, 180) + prompt;
  ASSERT_GE(session.output().size(), first_page.size());
  EXPECT_EQ(session.output().substr(session.output().size() - first_page.size()), first_page);
  session.send("\r");
  EXPECT_EQ(session.wait_exit(), 0);
  const std::string rest = prompt + text.substr(180) + "\n\n";
  EXPECT_EQ(session.output().substr(session.output().size() - rest.size()), rest);
  EXPECT_TRUE(session.terminal_restored());
}

}  // namespace
}  // namespace xev::test
