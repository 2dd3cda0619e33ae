// The front end as a user meets it: exact output, messages and exit status.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "cli/expected_usage.h"
#include "support/sandbox.h"

namespace xev::test {
namespace {

const std::string kFullUsage = kBanner + kUsageHead + kUsagePause + kUsageTail;

std::string describe(const std::vector<std::string>& args) {
  std::string text;
  for (const std::string& arg : args) text += "[" + arg.substr(0, 40) + "] ";
  return text;
}

TEST(Usage, ShownWithoutArgumentsAndWithoutCommand) {
  Sandbox box;
  // Standard input is not a terminal: the pause prints its prompt and goes on.
  const std::vector<std::string> cases[] = {
      {}, {"games.dsk"}, {"games.dsk", "-u", "3"}, {"games.dsk", "-iide"},
      {"games.dsk", "-tns"}, {"-c"},
  };
  for (const auto& args : cases) {
    SCOPED_TRACE(describe(args));
    const CliResult result = box.run(args, "typed ahead\r\n");
    EXPECT_EQ(result.out, kFullUsage);
    EXPECT_EQ(result.err, "");
    EXPECT_EQ(result.status, 0);
  }
  EXPECT_FALSE(box.exists("games.dsk"));
}

TEST(Usage, SameTextWhateverTheProgramIsCalled) {
  Sandbox box;
  const CliResult result = box.run_as("/some/where/renamed.tool", {});
  EXPECT_EQ(result.out, kFullUsage);
  EXPECT_EQ(result.status, 0);
}

TEST(ParserFailures, ReportOnceAndExitWithTheCode) {
  Sandbox box;
  const struct {
    std::vector<std::string> args;
    int status;
    std::string err;
  } cases[] = {
      {{"g.dsk", "-C"}, 95, "Unknown option: `-C` !!!\n"},
      {{"g.dsk", "-c", "-c1", "-C"}, 95, "Unknown option: `-C` !!!\n"},
      {{"g.dsk", "-x"}, 96, "Missing option value(s) `-x`! !!!\n"},
      {{"g.dsk", "-sa", "A.TXT"}, 96, "Missing option value(s) `-sa`! !!!\n"},
      {{"g.dsk", "-e", "sub/A.TXT"}, 24, "Path not allowed for option `-e` !!!\n"},
      {{"g.dsk", "-u", "32", "-c"}, 97, "Bad value `32` for option `-u` !!!\n"},
      {{"g.dsk", "-sa", "A.TXT", "rs"}, 97, "Bad value `rs` for option `-sa` !!!\n"},
      {{"g.dsk", "-a", "*.COM", "-afn", "X.COM"}, 97, "Bad value `*.COM` for option `-a` !!!\n"},
      {{"g.dsk", "-f", "-q"}, 94, "Bad combination of options: -f -q !!!\n"},
      {{"g.dsk", "-x", "A.TXT", "-c"}, 94, "Bad combination of options: -c -x   !!!\n"},
      {{"g.dsk", "-q", "-c"}, 94, "Bad combination of options: not allowed -f/-q !!!\n"},
      {{"g.dsk", "-afn", "X.COM"}, 94, "Bad combination of options: not allowed -afn !!!\n"},
      {{"g.dsk", "-lbl", "X", "-q"}, 94, "Bad combination of options: not allowed -lbl !!!\n"},
      {{std::string(256, 'n') + ".dsk", "-c"}, 97,
       "Bad value `" + std::string(256, 'n') + ".dsk` for option `imagefile.ext` !!!\n"},
  };
  for (const auto& test : cases) {
    SCOPED_TRACE(describe(test.args));
    const CliResult result = box.run(test.args);
    EXPECT_EQ(result.out, std::string(kBanner) + "\n");
    EXPECT_EQ(result.err, test.err);
    EXPECT_EQ(result.status, test.status);
  }
  EXPECT_FALSE(box.exists("g.dsk"));
}

TEST(ParserFailures, OverlongProgramPathIsRefused) {
  Sandbox box;
  const std::string argv0 = "/" + std::string(300, 'p') + "/xev";
  const CliResult result = box.run_as(argv0, {"g.dsk", "-c"});
  EXPECT_EQ(result.out, std::string(kBanner) + "\n");
  EXPECT_EQ(result.err, "Bad value `" + argv0 + "` for option `xev` !!!\n");
  EXPECT_EQ(result.status, 97);
}

// The sandbox holds a link to the built xev; the build tree beside the real
// executable has its own copy of the shipped definition file.
TEST(DefinitionFile, IsReadBesideTheExecutable) {
  Sandbox box;
  box.write_ini(std::string("[zzq]\n") + kEightInchDefinition);

  // A program path with a directory: the sandbox's own file.
  CliResult result = box.run({"x.zzq", "-iti"});
  EXPECT_EQ(result.err, "");
  EXPECT_EQ(result.status, 0);

  // A bare program name: the directory the system reports for the running
  // executable, not the working directory.
  result = box.run_as("xev", {"x.zzq", "-iti"});
  EXPECT_EQ(result.out, std::string(kBanner) + "\n");
  EXPECT_EQ(result.err, "Definition for Image type `zzq` missing !!!\n");
  EXPECT_EQ(result.status, 18);

  result = box.run_as("xev", {"x.dsk", "-iti"});
  EXPECT_EQ(result.err, "");
  EXPECT_EQ(result.status, 0);
  EXPECT_FALSE(box.exists("x.zzq"));
  EXPECT_FALSE(box.exists("x.dsk"));
}

TEST(DefinitionFile, MissingFileEndsTheRunWithStatus17) {
  Sandbox box;
  box.remove_ini();
  const CliResult result = box.run({"games.dsk", "-c"});
  EXPECT_EQ(result.out, std::string(kBanner) + "\n");
  EXPECT_EQ(result.err, "Config file `xev.ini` missing !!!\n");
  EXPECT_EQ(result.status, 17);
  EXPECT_FALSE(box.exists("games.dsk"));
}

TEST(RunSequence, CommandFailureLeavesTheStatusAtZero) {
  Sandbox box;
  box.write_ini(std::string("[dsk]\n") + kEightInchDefinition);
  ASSERT_EQ(box.run({"games.dsk", "-f"}).status, 0);
  const std::string formatted = box.read_file("games.dsk");

  const CliResult result = box.run({"games.dsk", "-x", "NOPE.TXT"});
  EXPECT_EQ(result.err, "File `NOPE.TXT` not found !!!\n");
  EXPECT_EQ(result.status, 0);
  // The heading ends in an empty line; the entry adds none for a command's
  // own failure.
  EXPECT_NE(result.out.substr(result.out.size() - 3), "\n\n\n");
  EXPECT_FALSE(box.exists("NOPE.TXT"));
  EXPECT_EQ(box.read_file("games.dsk"), formatted);
}

TEST(RunSequence, FailureBeforeTheCommandSetsTheStatus) {
  Sandbox box;
  box.write_ini(std::string("[dsk]\n") + kEightInchDefinition);
  box.write_file("short.dsk", std::string(1000, '\xE5'));
  const struct {
    std::vector<std::string> args;
    int status;
    std::string err;
  } cases[] = {
      {{"games.dsk", "-c"}, 2, "Can't open image `games.dsk` !!!\n"},
      {{"short.dsk", "-c"}, 3, "Image `short.dsk` has bad size !!!\n"},
      {{"games", "-c"}, 16, "Extension of the Image name `games` missing !!!\n"},
      {{"games.img", "-c"}, 18, "Definition for Image type `img` missing !!!\n"},
  };
  for (const auto& test : cases) {
    SCOPED_TRACE(describe(test.args));
    const CliResult result = box.run(test.args);
    EXPECT_EQ(result.out, std::string(kBanner) + "\n");
    EXPECT_EQ(result.err, test.err);
    EXPECT_EQ(result.status, test.status);
  }
  EXPECT_FALSE(box.exists("games.dsk"));
  EXPECT_EQ(box.read_file("short.dsk"), std::string(1000, '\xE5'));
}

}  // namespace
}  // namespace xev::test
