// The Enter-key wait on a real terminal: no echo, only Enter ends it, and the
// terminal comes back as it was, also when the wait is interrupted.
#include <signal.h>

#include <gtest/gtest.h>

#include <string>

#include "cli/expected_usage.h"
#include "support/pty.h"
#include "support/sandbox.h"

namespace xev::test {
namespace {

const std::string kUpToPause = kBanner + kUsageHead + kUsagePause;

TEST(ConsolePty, UsageWaitsForEnterWithoutEcho) {
  if (running_under_wine()) GTEST_SKIP() << "Wine draws its own console on a terminal";
  Sandbox box;
  PtySession session(box, {});
  ASSERT_TRUE(session.read_until(kUsagePause));
  session.wait_until_idle();
  EXPECT_EQ(session.output(), kUpToPause);

  // Line feed, letters and a lone Ctrl-D are not Enter; nothing is echoed.
  session.send("x\n");
  session.wait_until_idle();
  EXPECT_EQ(session.output(), kUpToPause);
  session.send(std::string("\x04 y\n", 4));
  session.wait_until_idle();
  EXPECT_EQ(session.output(), kUpToPause);

  session.send("\r");
  EXPECT_EQ(session.wait_exit(), 0);
  EXPECT_EQ(session.output(), kUpToPause + kUsageTail);
  EXPECT_TRUE(session.terminal_restored());
}

TEST(ConsolePty, InterruptDuringTheWaitRestoresTheTerminal) {
  if (running_under_wine()) GTEST_SKIP() << "Wine draws its own console on a terminal";
  Sandbox box;
  PtySession session(box, {"games.dsk"});
  ASSERT_TRUE(session.read_until(kUsagePause));
  session.wait_until_idle();
  session.send("\x03");  // Ctrl-C: the terminal raises SIGINT
  EXPECT_EQ(session.wait_exit(), 128 + SIGINT);
  EXPECT_TRUE(session.terminal_restored());
  EXPECT_EQ(session.output().find(kUsageTail), std::string::npos);
  EXPECT_FALSE(box.exists("games.dsk"));
}

TEST(ConsolePty, QuitDuringTheWaitRestoresTheTerminal) {
  if (running_under_wine()) GTEST_SKIP() << "Wine draws its own console on a terminal";
  Sandbox box;
  PtySession session(box, {});
  ASSERT_TRUE(session.read_until(kUsagePause));
  session.wait_until_idle();
  session.send("\x1c");  // Ctrl-\: SIGQUIT
  EXPECT_EQ(session.wait_exit(), 128 + SIGQUIT);
  EXPECT_TRUE(session.terminal_restored());
}

TEST(ConsolePty, SuspendKeyLeavesTheWaitUsable) {
  if (running_under_wine()) GTEST_SKIP() << "Wine draws its own console on a terminal";
  Sandbox box;
  PtySession session(box, {});
  ASSERT_TRUE(session.read_until(kUsagePause));
  session.wait_until_idle();
  // Ctrl-Z: the process group of this session has no shell to stop for, so
  // the stop itself is dropped; the wait must take up its key mode again.
  session.send("\x1a");
  session.wait_until_idle();
  EXPECT_FALSE(session.terminal_restored());
  session.send("\n\r");
  EXPECT_EQ(session.wait_exit(), 0);
  EXPECT_EQ(session.output(), kUpToPause + kUsageTail);
  EXPECT_TRUE(session.terminal_restored());
}

}  // namespace
}  // namespace xev::test
