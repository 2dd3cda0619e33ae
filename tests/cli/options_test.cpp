// The option parser's values and field limits, its helpers and the message
// format; the refusals as a user meets them are in cli_test.cpp.
#include "cli/options.h"

#include <gtest/gtest.h>

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

Parsed parse(const std::vector<std::string>& words) {
  std::vector<const char*> argv;
  for (const std::string& word : words) argv.push_back(word.c_str());
  Parsed parsed;
  testing::internal::CaptureStderr();
  parsed.code = parse_options(static_cast<int>(argv.size()), argv.data(), parsed.state);
  parsed.err = testing::internal::GetCapturedStderr();
  return parsed;
}

std::string field(const RunState& s, const std::string& name) {
  if (name == "page") return std::to_string(s.catalogue_page_size);
  if (name == "file") return s.host_dir + "|" + s.mask;
  if (name == "afn") return s.afn_name;
  if (name == "label") return "[" + s.tns_label + "]";
  if (name == "exe") return s.exe_dir + "|" + s.exe_name;
  return s.image_dir + "|" + s.image_name + "|" + s.image_type_name;
}

// What the parser stores for the commands, or refuses ("err"), also at the
// limits of its fields.
TEST(ParseOptions, StoresOrRefusesEachArgument) {
  const std::string n255(255, 'n'), n256(256, 'n'), p255(255, 'p');
  const std::string d259 = std::string(258, 'd') + "/", d260 = "d" + d259;
  const auto bad = [](const std::string& value, const std::string& option) {
    return "Bad value `" + value + "` for option `" + option + "` !!!\n";
  };
  const struct {
    std::vector<std::string> words;
    std::string field, value;
  } cases[] = {
      {{"x", "g", "-cp", "99999999999", "-c"}, "page", std::to_string(INT_MAX - 1)},
      {{"x", "g", "-c", "-c1"}, "file", "|-c1"},
      {{"x", "g", "-lbl", "", "-tns", "-f"}, "label", "[           ]"},
      {{"/opt/xev/xev.exe", "d/sub/Games.Dsk", "-c"}, "exe", "/opt/xev/|xev"},
      {{"/opt/xev/xev.exe", "d/sub/Games.Dsk", "-c"}, "image", "d/sub/|Games.Dsk|Dsk"},
      // Argument 1 is the image whatever it looks like.
      {{"./my.tool.x", "-c", "-c"}, "exe", "./|my.tool"},
      {{"./my.tool.x", "-c", "-c"}, "image", "|-c|"},
      {{"xev", "a.dsk", "-c"}, "exe", platform::executable_dir() + "|xev"},
      {{"x", n255, "-c"}, "image", "|" + n255 + "|"},
      {{"x", n255 + ".dsk", "-c"}, "err", bad(n255 + ".dsk", "imagefile.ext")},
      {{"x", d259 + "a.dsk", "-c"}, "image", d259 + "|a.dsk|dsk"},
      {{"x", d260 + "a.dsk", "-c"}, "err", bad(d260 + "a.dsk", "imagefile.ext")},
      {{"x", "g", "-a", d259 + n255}, "file", d259 + "|" + n255},
      {{"x", "g", "-a", d260 + "X"}, "err", bad(d260 + "X", "-a")},
      {{"x", "g", "-sa", n256, "RS"}, "err", bad(n256, "-sa")},
      {{"x", "g", "-a", "X", "-afn", n255}, "afn", n255},
      {{"x", "g", "-a", "X", "-afn", n256}, "err", bad(n256, "-afn")},
      {{"/b/" + n255 + ".exe", "g", "-c"}, "exe", "/b/|" + n255},
      {{"/b/" + n256, "g", "-c"}, "err", bad("/b/" + n256, "xev")},
      {{p255 + "/xev", "g", "-c"}, "err", bad(p255 + "/xev", "xev")},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(&c - cases);
    const Parsed parsed = parse(c.words);
    const bool refused = c.field == "err";
    EXPECT_EQ(parsed.code, refused ? ERR_BAD_VALUE : ERR_OK) << parsed.err;
    EXPECT_EQ(refused ? parsed.err : field(*parsed.state, c.field), c.value);
  }
  EXPECT_FALSE(platform::executable_dir().empty());
}

TEST(SplitPath, SeparatesDirectoryNameAndExtension) {
  const struct {
    std::string path, parts;  // directory|name|extension
  } cases[] = {{"a\\b/c\\d.txt", "a\\b/|c\\d.txt|txt"},
               {"a\\b\\c.d", "a\\b\\|c.d|d"},
               {"C:x.com", "|C:x.com|com"},
               {"dir.d/file", "dir.d/|file|"},
               {"x/name.", "x/|name.|"},
               {"/abs/.hidden", "/abs/|.hidden|hidden"}};
  for (const auto& c : cases) {
    std::string dir = "old", name = "old", extension = "old";
    split_path(c.path, dir, name, &extension);
    EXPECT_EQ(dir + "|" + name + "|" + extension, c.parts) << c.path;
  }
  std::string path = "dir/file.ext", dir;  // the source may be one of the targets
  split_path(path, dir, path);
  EXPECT_EQ(dir + "|" + path, "dir/|file.ext");
}

TEST(ParseNumber, ReadsAsStrtolWithItsOwnRules) {
  const struct {
    const char* text;
    std::int64_t value;
  } cases[] = {{"31", 31},    {"", 0},        {"00", 0},
               {"-0", 0},     {"0x", -1},     {"abc", -1},
               {" ", -1},     {"0 ", -1},     {"9 ", 9},
               {"12abc", 12}, {"\t\n42", 42}, {"+5", 5},
               {"-1", -1},    {"-12x", -1},   {"99999999999999999999", INT64_MAX}};
  for (const auto& c : cases) EXPECT_EQ(parse_number(c.text), c.value) << c.text;
}

TEST(RaiseError, PrintsOneLineAndReturnsTheCode) {
  const struct {
    ErrorCode code;
    const char *subject, *detail, *line;
  } cases[] = {
      {ERR_BAD_VALUE, "-u", "40", "Bad value `40` for option `-u` !!!\n"},  // value first
      {ERR_FILE_CREATE, "A.TXT", nullptr, "File `A.TXT` already exist !!!\n"},
      {ERR_FILE_EXISTS, "B.TXT", nullptr, "File `B.TXT` already exist !!!\n"},
      {ERR_FILE_NOT_FOUND, "100%s%n.TXT", nullptr, "File `100%s%n.TXT` not found !!!\n"},
      {ERR_FILE_NOT_FOUND, nullptr, nullptr, "File `` not found !!!\n"},
  };
  for (const auto& c : cases) {
    testing::internal::CaptureStderr();
    EXPECT_EQ(raise_error(c.code, c.subject, c.detail), c.code);
    EXPECT_EQ(testing::internal::GetCapturedStderr(), c.line);
  }
  testing::internal::CaptureStderr();
  EXPECT_EQ(raise_error(ERR_FILE_TOO_LONG, "HUGE", std::int64_t{5000000000}),
            ERR_FILE_TOO_LONG);
  EXPECT_EQ(testing::internal::GetCapturedStderr(),
            "File `HUGE` is too long (5000000000 bytes). Max length is 8MB. !!!\n");
}

}  // namespace
}  // namespace xev
