// The type pager on a real terminal: output stops at the prompt, and only the
// Enter key lets it go on.
#include <gtest/gtest.h>

#include <cstdio>
#include <string>

#include "support/pty.h"
#include "support/sandbox.h"

namespace xev::test {
namespace {

// Identity skew: the directory starts at byte 6656, unit a at 6656 + 1024 a.
const char* const kIni = "[dsk]\nSPT=26\nXLT=0\nBLS=1\nEXM=0\nDSM=242\nDRM=63\nOFF=2\n";
constexpr int kSystemSize = 6656;
constexpr int kImageSize = 256256;
const std::string kPrompt = " ... Press Enter to continue ...";

std::string numbered_lines(int from, int to) {
  std::string text;
  for (int i = from; i <= to; ++i) {
    char line[16];
    std::snprintf(line, sizeof line, "line %03d.\n", i);
    text += line;
  }
  return text;
}

// An image holding LINES.TXT with 25 lines of ten characters in unit 2.
std::string image_with_text() {
  std::string image(kImageSize, '\xE5');
  std::string entry(32, '\0');
  entry.replace(1, 11, "LINES   TXT");
  entry[15] = 2;  // records
  entry[16] = 2;  // unit
  image.replace(kSystemSize, 32, entry);
  std::string text = numbered_lines(1, 25);
  text.resize(256, '\x1A');
  image.replace(kSystemSize + 2 * 1024, text.size(), text);
  return image;
}

TEST(PagerPtyTest, TypeWaitsAtThePromptUntilEnter) {
  if (running_under_wine()) GTEST_SKIP() << "Wine draws its own console on a terminal";
  Sandbox box;
  box.write_ini(kIni);
  box.write_file("t.dsk", image_with_text());

  PtySession session(box, {"t.dsk", "-t", "LINES.TXT"});
  ASSERT_TRUE(session.read_until(kPrompt));
  session.wait_until_idle();
  const std::string first_page = numbered_lines(1, 20) + kPrompt;
  ASSERT_GE(session.output().size(), first_page.size());
  EXPECT_EQ(session.output().substr(session.output().size() - first_page.size()), first_page);

  // Keys other than Enter are taken without echo and change nothing.
  session.send("x ");
  session.wait_until_idle();
  EXPECT_EQ(session.output().substr(session.output().size() - kPrompt.size()), kPrompt);

  session.send("\r");
  EXPECT_EQ(session.wait_exit(), 0);
  const std::string& out = session.output();
  const std::string rest = kPrompt + numbered_lines(21, 25) + "\n\n";
  ASSERT_GE(out.size(), rest.size());
  EXPECT_EQ(out.substr(out.size() - rest.size()), rest);
  EXPECT_TRUE(session.terminal_restored());
}

}  // namespace
}  // namespace xev::test
