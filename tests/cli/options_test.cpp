#include "cli/options.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <climits>
#include <cstdint>
#include <string>
#include <vector>

#include "platform/platform.h"

namespace xev {
namespace {

struct Parsed {
  ErrorCode code = ERR_OK;
  std::string err;
  std::unique_ptr<RunState> state;
};

Parsed parse_argv(const std::vector<std::string>& words) {
  std::vector<const char*> argv;
  for (const std::string& word : words) argv.push_back(word.c_str());
  Parsed parsed;
  testing::internal::CaptureStderr();
  parsed.code = parse_options(static_cast<int>(argv.size()), argv.data(), parsed.state);
  parsed.err = testing::internal::GetCapturedStderr();
  return parsed;
}

// xev games.dsk followed by `options`.
Parsed parse(const std::vector<std::string>& options) {
  std::vector<std::string> words{"/opt/xev/xev", "games.dsk"};
  words.insert(words.end(), options.begin(), options.end());
  return parse_argv(words);
}

std::string describe(const std::vector<std::string>& options) {
  std::string text;
  for (const std::string& option : options) text += "[" + option + "] ";
  return text;
}

struct Refusal {
  std::vector<std::string> options;
  ErrorCode code;
  std::string message;  // the line on standard error
};

TEST(ParseOptions, RefusesWithTheFirstFailure) {
  const std::string combination = "Bad combination of options: not allowed ";
  const Refusal cases[] = {
      // Values of -u, -cp, -sa, -su.
      {{"-u", "32", "-c"}, ERR_BAD_VALUE, "Bad value `32` for option `-u` !!!\n"},
      {{"-u", "-1", "-c"}, ERR_BAD_VALUE, "Bad value `-1` for option `-u` !!!\n"},
      {{"-u", "abc", "-c"}, ERR_BAD_VALUE, "Bad value `abc` for option `-u` !!!\n"},
      {{"-u", "0x", "-c"}, ERR_BAD_VALUE, "Bad value `0x` for option `-u` !!!\n"},
      {{"-cp", "0", "-c"}, ERR_BAD_VALUE, "Bad value `0` for option `-cp` !!!\n"},
      {{"-sa", "A.TXT", "rs"}, ERR_BAD_VALUE, "Bad value `rs` for option `-sa` !!!\n"},
      {{"-sa", "A.TXT", "R"}, ERR_BAD_VALUE, "Bad value `R` for option `-sa` !!!\n"},
      {{"-sa", "A.TXT", "RS-"}, ERR_BAD_VALUE, "Bad value `RS-` for option `-sa` !!!\n"},
      {{"-sa", "A.TXT", "SR"}, ERR_BAD_VALUE, "Bad value `SR` for option `-sa` !!!\n"},
      {{"-su", "A.TXT", "32"}, ERR_BAD_VALUE, "Bad value `32` for option `-su` !!!\n"},
      {{"-lbl", "ABCDEFGHIJKL", "-tns", "-q"}, ERR_BAD_VALUE,
       "Bad value `ABCDEFGHIJKL` for option `-lbl` !!!\n"},
      // Missing values, two-value options included.
      {{"-u"}, ERR_MISSING_VALUE, "Missing option value(s) `-u`! !!!\n"},
      {{"-sa", "A.TXT"}, ERR_MISSING_VALUE, "Missing option value(s) `-sa`! !!!\n"},
      {{"-su", "sub/A.TXT"}, ERR_MISSING_VALUE, "Missing option value(s) `-su`! !!!\n"},
      {{"-c1", "-x"}, ERR_MISSING_VALUE, "Missing option value(s) `-x`! !!!\n"},
      {{"-a"}, ERR_MISSING_VALUE, "Missing option value(s) `-a`! !!!\n"},
      {{"-lbl"}, ERR_MISSING_VALUE, "Missing option value(s) `-lbl`! !!!\n"},
      // Paths where none is allowed; the path test comes before the value test.
      {{"-e", "sub/A.TXT"}, ERR_PATH_NOT_ALLOWED, "Path not allowed for option `-e` !!!\n"},
      {{"-c", "dir/X"}, ERR_PATH_NOT_ALLOWED, "Path not allowed for option `-c` !!!\n"},
      {{"-h", "a\\B.TXT"}, ERR_PATH_NOT_ALLOWED, "Path not allowed for option `-h` !!!\n"},
      {{"-t", "/A.TXT"}, ERR_PATH_NOT_ALLOWED, "Path not allowed for option `-t` !!!\n"},
      {{"-sa", "x/A.TXT", "rs"}, ERR_PATH_NOT_ALLOWED,
       "Path not allowed for option `-sa` !!!\n"},
      {{"-su", "x/A.TXT", "99"}, ERR_PATH_NOT_ALLOWED,
       "Path not allowed for option `-su` !!!\n"},
      // Options are matched exactly.
      {{"-C"}, ERR_UNKNOWN_OPTION, "Unknown option: `-C` !!!\n"},
      {{"-cx"}, ERR_UNKNOWN_OPTION, "Unknown option: `-cx` !!!\n"},
      {{"-c", "-x", "A.TXT"}, ERR_UNKNOWN_OPTION, "Unknown option: `A.TXT` !!!\n"},
      {{"games.dsk"}, ERR_UNKNOWN_OPTION, "Unknown option: `games.dsk` !!!\n"},
      // A failing option stops the parse before the combination rules.
      {{"-f", "-q", "-u", "99"}, ERR_BAD_VALUE, "Bad value `99` for option `-u` !!!\n"},
      // The combination rules, each alone ...
      {{"-f", "-q"}, ERR_BAD_COMBINATION, "Bad combination of options: -f -q !!!\n"},
      {{"-cp", "2", "-x", "A"}, ERR_BAD_COMBINATION, combination + "-cp !!!\n"},
      {{"-c1", "-x", "A"}, ERR_BAD_COMBINATION, combination + "-c1 !!!\n"},
      {{"-cu", "-x", "A"}, ERR_BAD_COMBINATION, combination + "-cu !!!\n"},
      {{"-ow", "-x", "A"}, ERR_BAD_COMBINATION, combination + "-ow !!!\n"},
      {{"-afn", "X.COM"}, ERR_BAD_COMBINATION, combination + "-afn !!!\n"},
      {{"-u", "3", "-w", "SYS.BIN"}, ERR_BAD_COMBINATION, combination + "-u !!!\n"},
      {{"-u", "3", "-f", "-a", "X"}, ERR_BAD_COMBINATION, combination + "-u !!!\n"},
      {{"-u", "3", "-iti"}, ERR_BAD_COMBINATION, combination + "-u !!!\n"},
      {{"-iide", "-iti"}, ERR_BAD_COMBINATION, combination + "-iide !!!\n"},
      {{"-iide", "-s", "SYS"}, ERR_BAD_COMBINATION, combination + "-iide !!!\n"},
      {{"-tns", "-t", "A.TXT"}, ERR_BAD_COMBINATION, combination + "-tns !!!\n"},
      {{"-tns", "-su", "A.TXT", "1"}, ERR_BAD_COMBINATION, combination + "-tns !!!\n"},
      {{"-tns", "-i", "b.dsk"}, ERR_BAD_COMBINATION, combination + "-tns !!!\n"},
      {{"-lbl", "X", "-tns"}, ERR_BAD_COMBINATION, combination + "-lbl !!!\n"},
      {{"-lbl", "X", "-q"}, ERR_BAD_COMBINATION, combination + "-lbl !!!\n"},
      {{"-lbl", "X", "-tns", "-c"}, ERR_BAD_COMBINATION, combination + "-lbl !!!\n"},
      {{"-c1"}, ERR_BAD_COMBINATION, combination + "-c1 !!!\n"},
      {{"-lbl", ""}, ERR_BAD_COMBINATION, combination + "-lbl !!!\n"},
      // ... and in their order.
      {{"-f", "-q", "-cp", "1"}, ERR_BAD_COMBINATION, "Bad combination of options: -f -q !!!\n"},
      {{"-ow", "-cp", "1"}, ERR_BAD_COMBINATION, combination + "-cp !!!\n"},
      {{"-lbl", "X", "-f", "-ow", "-u", "1"}, ERR_BAD_COMBINATION, combination + "-ow !!!\n"},
      {{"-lbl", "X", "-iti", "-tns"}, ERR_BAD_COMBINATION, combination + "-tns !!!\n"},
      {{"-u", "1", "-iide", "-w", "S"}, ERR_BAD_COMBINATION, combination + "-u !!!\n"},
      // The rules come before the count of commands.
      {{"-tns", "-t", "A", "-h", "B"}, ERR_BAD_COMBINATION, combination + "-tns !!!\n"},
      // More than one command: the list, then an empty text.
      {{"-x", "A.TXT", "-c"}, ERR_BAD_COMBINATION, "Bad combination of options: -c -x   !!!\n"},
      {{"-iti", "-s", "S", "-i", "I", "-w", "W", "-t", "T", "-h", "H", "-su", "A", "1",
        "-sa", "A", "RS", "-x", "A", "-e", "A", "-a", "A", "-c"},
       ERR_BAD_COMBINATION,
       "Bad combination of options: -c -a -e -x -sa -su -h -t -w -i -s -iti   !!!\n"},
      {{"-a", "X", "-x", "Y", "-q"}, ERR_BAD_COMBINATION,
       "Bad combination of options: -a -x   !!!\n"},
      // A format goes with -a only.
      {{"-q", "-c"}, ERR_BAD_COMBINATION, combination + "-f/-q !!!\n"},
      {{"-f", "-e", "A"}, ERR_BAD_COMBINATION, combination + "-f/-q !!!\n"},
      {{"-f", "-iti"}, ERR_BAD_COMBINATION, combination + "-f/-q !!!\n"},
      // A target name is for one host file.
      {{"-a", "*.COM", "-afn", "X.COM"}, ERR_BAD_VALUE,
       "Bad value `*.COM` for option `-a` !!!\n"},
      {{"-afn", "X.COM", "-a", "src/A?.COM"}, ERR_BAD_VALUE,
       "Bad value `A?.COM` for option `-a` !!!\n"},
  };
  for (const Refusal& refusal : cases) {
    SCOPED_TRACE(describe(refusal.options));
    const Parsed parsed = parse(refusal.options);
    EXPECT_EQ(parsed.code, refusal.code);
    EXPECT_EQ(parsed.err, refusal.message);
    EXPECT_NE(parsed.state, nullptr);  // handed out even on failure
  }
}

TEST(ParseOptions, AnswersShowUsageWithoutAMessage) {
  const std::vector<std::string> cases[] = {{}, {"-u", "3"}, {"-iide"}, {"-tns"},
                                            {"-iide", "-tns", "-u", "0"}};
  for (const auto& options : cases) {
    SCOPED_TRACE(describe(options));
    const Parsed parsed = parse(options);
    EXPECT_EQ(parsed.code, SHOW_USAGE);
    EXPECT_EQ(parsed.err, "");
  }
  const Parsed alone = parse_argv({"xev"});
  EXPECT_EQ(alone.code, SHOW_USAGE);
  EXPECT_NE(alone.state, nullptr);
}

TEST(ParseOptions, StartsFromTheInitialRecord) {
  const Parsed parsed = parse({});
  ASSERT_NE(parsed.state, nullptr);
  const RunState& state = *parsed.state;
  EXPECT_EQ(state.io_buffer.size(), kIoBufferSize);
  EXPECT_TRUE(std::all_of(state.io_buffer.begin(), state.io_buffer.end(),
                          [](std::uint8_t byte) { return byte == 0; }));
  EXPECT_EQ(state.user_filter, kAllUsers);
  EXPECT_EQ(state.new_user, kAllUsers);
  EXPECT_EQ(state.catalogue_page_size, -1);
  EXPECT_TRUE(state.tns_label.empty());
  EXPECT_TRUE(state.directory.empty());
  EXPECT_EQ(state.image_file, nullptr);
}

TEST(ParseOptions, TakesValues) {
  struct Accepted {
    std::vector<std::string> options;
    void (*check)(const RunState&);
  };
  const Accepted cases[] = {
      {{"-u", "31", "-c"}, [](const RunState& s) { EXPECT_EQ(s.user_filter, 31); }},
      {{"-u", "5x", "-c"}, [](const RunState& s) { EXPECT_EQ(s.user_filter, 5); }},
      {{"-u", "", "-c"}, [](const RunState& s) { EXPECT_EQ(s.user_filter, 0); }},
      {{"-cp", "1", "-c"}, [](const RunState& s) { EXPECT_EQ(s.catalogue_page_size, 2); }},
      {{"-cp", "7", "-c"}, [](const RunState& s) { EXPECT_EQ(s.catalogue_page_size, 8); }},
      {{"-cp", "10", "-c"}, [](const RunState& s) { EXPECT_EQ(s.catalogue_page_size, 10); }},
      {{"-cp", "99999999999999999999", "-c"},
       [](const RunState& s) { EXPECT_EQ(s.catalogue_page_size, INT_MAX - 1); }},
      {{"-sa", "A.TXT", "-S"},
       [](const RunState& s) {
         EXPECT_TRUE(s.cmd_set_attrs);
         EXPECT_EQ(s.new_attrs, "-S");
         EXPECT_EQ(s.mask, "A.TXT");
       }},
      {{"-su", "A.TXT", "0"},
       [](const RunState& s) {
         EXPECT_TRUE(s.cmd_set_user);
         EXPECT_EQ(s.new_user, 0);
       }},
      {{"-x", "../out/*.TXT"},
       [](const RunState& s) {
         EXPECT_TRUE(s.cmd_extract);
         EXPECT_EQ(s.host_dir, "../out/");
         EXPECT_EQ(s.mask, "*.TXT");
       }},
      {{"-c", "-c1"},
       [](const RunState& s) {
         EXPECT_TRUE(s.cmd_catalogue);
         EXPECT_FALSE(s.opt_one_column);
         EXPECT_EQ(s.mask, "-c1");
       }},
      {{"-c"}, [](const RunState& s) { EXPECT_EQ(s.mask, "*.*"); }},
      {{"-c1", "-cu", "-cp", "3", "-iide", "-tns", "-u", "2", "-c", "*.COM"},
       [](const RunState& s) {
         EXPECT_TRUE(s.opt_one_column && s.opt_unsorted && s.opt_ignore_invalid && s.opt_tns);
         EXPECT_EQ(s.catalogue_page_size, 4);
         EXPECT_EQ(s.user_filter, 2);
         EXPECT_EQ(s.mask, "*.COM");
       }},
      {{"-lbl", "mydisk", "-tns", "-q"},
       [](const RunState& s) { EXPECT_EQ(s.tns_label, "MYDISK     "); }},
      {{"-lbl", "", "-tns", "-f"},
       [](const RunState& s) { EXPECT_EQ(s.tns_label, std::string(11, ' ')); }},
      {{"-lbl", "a-z/0{x}", "-tns", "-f"},
       [](const RunState& s) { EXPECT_EQ(s.tns_label, "A-Z/0{X}   "); }},
      {{"-q", "-a", "X.COM"},
       [](const RunState& s) { EXPECT_TRUE(s.cmd_quick_format && s.cmd_add); }},
      {{"-f", "-tns", "-iide", "-ow", "-a", "X.COM"},
       [](const RunState& s) { EXPECT_TRUE(s.cmd_full_format && s.cmd_add); }},
      {{"-f"}, [](const RunState& s) { EXPECT_TRUE(s.cmd_full_format); }},
      {{"-tns", "-x", "A.TXT"}, [](const RunState& s) { EXPECT_TRUE(s.opt_tns); }},
      {{"-e", "A.TXT", "-e", "B.TXT"},
       [](const RunState& s) {
         EXPECT_TRUE(s.cmd_erase);
         EXPECT_EQ(s.mask, "B.TXT");
       }},
      {{"-a", "long host name.txt", "-afn", "X.COM", "-ow"},
       [](const RunState& s) {
         EXPECT_EQ(s.mask, "long host name.txt");
         EXPECT_EQ(s.afn_name, "X.COM");
         EXPECT_TRUE(s.opt_overwrite);
       }},
      {{"-w", "../sys/CPM.SYS"},
       [](const RunState& s) {
         EXPECT_TRUE(s.cmd_write_system);
         EXPECT_EQ(s.host_dir, "../sys/");
         EXPECT_EQ(s.mask, "CPM.SYS");
       }},
      {{"-i", "other/B.DSK"}, [](const RunState& s) { EXPECT_TRUE(s.cmd_copy_system); }},
      {{"-s", "OUT.BIN"}, [](const RunState& s) { EXPECT_TRUE(s.cmd_save_system); }},
      {{"-h", "-A.TXT"},
       [](const RunState& s) {
         EXPECT_TRUE(s.cmd_hex_dump);
         EXPECT_EQ(s.mask, "-A.TXT");
       }},
      {{"-t", "A.TXT", "-iide"}, [](const RunState& s) { EXPECT_TRUE(s.cmd_type); }},
      {{"-iti"}, [](const RunState& s) { EXPECT_TRUE(s.opt_type_info); }},
  };
  for (const Accepted& accepted : cases) {
    SCOPED_TRACE(describe(accepted.options));
    const Parsed parsed = parse(accepted.options);
    EXPECT_EQ(parsed.code, ERR_OK);
    EXPECT_EQ(parsed.err, "");
    ASSERT_NE(parsed.state, nullptr);
    accepted.check(*parsed.state);
  }
}

TEST(ParseOptions, SplitsTheProgramAndImagePaths) {
  Parsed parsed = parse_argv({"/opt/xev/xev.exe", "disks/sub/Games.Dsk", "-c"});
  ASSERT_EQ(parsed.code, ERR_OK);
  EXPECT_EQ(parsed.state->exe_dir, "/opt/xev/");
  EXPECT_EQ(parsed.state->exe_name, "xev");
  EXPECT_EQ(parsed.state->image_dir, "disks/sub/");
  EXPECT_EQ(parsed.state->image_name, "Games.Dsk");
  EXPECT_EQ(parsed.state->image_type_name, "Dsk");

  // Argument 1 is the image whatever it looks like.
  parsed = parse_argv({"./my.tool.x", "-c", "-c"});
  ASSERT_EQ(parsed.code, ERR_OK);
  EXPECT_EQ(parsed.state->exe_dir, "./");
  EXPECT_EQ(parsed.state->exe_name, "my.tool");
  EXPECT_EQ(parsed.state->image_name, "-c");
  EXPECT_EQ(parsed.state->image_type_name, "");
}

TEST(ParseOptions, BareProgramNameUsesTheExecutablesDirectory) {
  const Parsed parsed = parse_argv({"xev", "a.dsk", "-c"});
  ASSERT_EQ(parsed.code, ERR_OK);
  EXPECT_FALSE(parsed.state->exe_dir.empty());
  EXPECT_EQ(parsed.state->exe_dir, platform::executable_dir());
  EXPECT_EQ(parsed.state->exe_name, "xev");
}

TEST(ParseOptions, RefusesTextsLongerThanTheirFields) {
  const std::string name255(255, 'n');
  const std::string name256(256, 'n');
  const std::string dir259 = std::string(258, 'd') + "/";
  const std::string dir260 = std::string(259, 'd') + "/";

  struct Case {
    std::vector<std::string> words;
    ErrorCode code;
    std::string option;  // named in the message, with the whole argument
  };
  const Case cases[] = {
      {{"xev", name255 + ".dsk", "-c"}, ERR_BAD_VALUE, "imagefile.ext"},
      {{"xev", name255, "-c"}, ERR_OK, ""},
      {{"xev", dir259 + "a.dsk", "-c"}, ERR_OK, ""},
      {{"xev", dir260 + "a.dsk", "-c"}, ERR_BAD_VALUE, "imagefile.ext"},
      {{"xev", "a.dsk", "-a", dir260 + "X"}, ERR_BAD_VALUE, "-a"},
      {{"xev", "a.dsk", "-a", dir259 + name255}, ERR_OK, ""},
      {{"xev", "a.dsk", "-x", name256}, ERR_BAD_VALUE, "-x"},
      {{"xev", "a.dsk", "-c", name256}, ERR_BAD_VALUE, "-c"},
      {{"xev", "a.dsk", "-sa", name256, "RS"}, ERR_BAD_VALUE, "-sa"},
      {{"xev", "a.dsk", "-a", "X", "-afn", name256}, ERR_BAD_VALUE, "-afn"},
      {{"xev", "a.dsk", "-a", "X", "-afn", name255}, ERR_OK, ""},
      {{std::string(255, 'p') + "/xev", "a.dsk", "-c"}, ERR_BAD_VALUE, "xev"},
      {{"/bin/" + name256, "a.dsk", "-c"}, ERR_BAD_VALUE, "xev"},
      {{"/bin/" + name255 + ".exe", "a.dsk", "-c"}, ERR_OK, ""},  // stored without ".exe"
  };
  for (const Case& test : cases) {
    SCOPED_TRACE(describe(test.words).substr(0, 80));
    const Parsed parsed = parse_argv(test.words);
    EXPECT_EQ(parsed.code, test.code);
    if (test.code == ERR_OK) {
      EXPECT_EQ(parsed.err, "");
      continue;
    }
    // The refused argument is the last one checked: the one before the
    // option text given to the message, or argument 0 or 1.
    const std::string& refused = test.option == "xev"             ? test.words[0]
                                 : test.option == "imagefile.ext" ? test.words[1]
                                 : test.option == "-sa"           ? test.words[3]
                                                                  : test.words.back();
    EXPECT_EQ(parsed.err, "Bad value `" + refused + "` for option `" + test.option + "` !!!\n");
  }
}

TEST(SplitPath, SeparatesDirectoryNameAndExtension) {
  struct Case {
    std::string path, dir, name, extension;
  };
  const Case cases[] = {
      {"a\\b/c\\d.txt", "a\\b/", "c\\d.txt", "txt"},
      {"C:x.com", "", "C:x.com", "com"},
      {"a\\b\\c.d", "a\\b\\", "c.d", "d"},
      {"dir/", "dir/", "", ""},
      {"noext", "", "noext", ""},
      {"a.b.c", "", "a.b.c", "c"},
      {"dir.d/file", "dir.d/", "file", ""},
      {"x/name.", "x/", "name.", ""},
      {"/abs/.hidden", "/abs/", ".hidden", "hidden"},
      {"", "", "", ""},
  };
  for (const Case& test : cases) {
    SCOPED_TRACE(test.path);
    std::string dir = "old", name = "old", extension = "old";
    split_path(test.path, dir, name, &extension);
    EXPECT_EQ(dir, test.dir);
    EXPECT_EQ(name, test.name);
    EXPECT_EQ(extension, test.extension);
  }
  // The source may be one of the targets.
  std::string path = "dir/file.ext", dir;
  split_path(path, dir, path);
  EXPECT_EQ(dir, "dir/");
  EXPECT_EQ(path, "file.ext");
}

TEST(ParseNumber, ReadsAsStrtolWithItsOwnRules) {
  const struct {
    const char* text;
    std::int64_t value;
  } cases[] = {
      {"31", 31}, {"", 0},     {"0", 0},    {"00", 0},  {"-0", 0},    {"0x", -1},
      {"abc", -1}, {"12abc", 12}, {" 7", 7}, {"+5", 5}, {"-1", -1},  {"-12x", -1},
      {" ", -1},  {"0 ", -1},   {"9 ", 9},   {"\t\n42", 42},
      {"99999999999999999999", INT64_MAX},
  };
  for (const auto& test : cases) {
    SCOPED_TRACE(test.text);
    EXPECT_EQ(parse_number(test.text), test.value);
  }
}

}  // namespace
}  // namespace xev
