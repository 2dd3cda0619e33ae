// The Enter-key wait of the usage text on a real terminal: no echo, only Enter
// ends it, and the terminal comes back as it was, also when it is interrupted.
#include <signal.h>

#include <gtest/gtest.h>

#include <string>

#include "support/pty.h"
#include "support/sandbox.h"

namespace xev::test {
namespace {

const std::string kPrompt = "\nPress ENTER ...\n";

TEST(ConsolePty, UsageWaitsForEnterWithoutEchoAndRestoresTheTerminal) {
  if (running_under_wine()) GTEST_SKIP() << "Wine draws its own console on a terminal";
  Sandbox box;
  const std::string usage = box.run({}).out;  // without a terminal: all at once
  const std::string head = usage.substr(0, usage.find(kPrompt) + kPrompt.size());
  for (const bool interrupt : {false, true}) {
    PtySession session(box, {"games.dsk"});
    ASSERT_TRUE(session.read_until(kPrompt));
    // Line feed, letters, a lone Ctrl-D and Ctrl-Z are not Enter; no echo.
    for (const std::string keys : {"x\n", "\x04 y\n", "\x1a"}) {
      session.wait_until_idle();
      session.send(keys);
    }
    session.wait_until_idle();
    EXPECT_EQ(session.output(), head);
    EXPECT_FALSE(session.terminal_restored());
    session.send(interrupt ? "\x03" : "\r");  // Ctrl-C: the terminal raises SIGINT
    EXPECT_EQ(session.wait_exit(), interrupt ? 128 + SIGINT : 0);
    EXPECT_EQ(session.output().find("  -c\tshow") == std::string::npos, interrupt);
    EXPECT_TRUE(session.terminal_restored());
  }
  EXPECT_FALSE(box.exists("games.dsk"));
}

}  // namespace
}  // namespace xev::test
