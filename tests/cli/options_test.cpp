// The option parser's values and field limits, its helpers and the message
// format; the refusals as a user meets them are in cli_test.cpp.
#include "cli/options.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

namespace xev {
namespace {

// Fields stored at their limits, or the refusal ("!") of one past them.
TEST(ParseOptions, StoresOrRefusesEachArgument) {
  const std::string n255(255, 'n'), d259 = std::string(258, 'd') + "/";
  const struct {
    std::vector<std::string> words;
    std::string stored;  // image dir|name|type|host dir|mask|afn|page
  } cases[] = {
      {{"x", d259 + "a.Dsk", "-a", d259 + n255, "-afn", n255},
       d259 + "|a.Dsk|Dsk|" + d259 + "|" + n255 + "|" + n255 + "|-1"},
      {{"x", "-c", "-cp", "99999999999", "-c", "-c1"}, "|-c|||-c1||2147483646"},
      {{"x", "d" + d259 + "a.dsk", "-c"},
       "!Bad value `d" + d259 + "a.dsk` for option `imagefile.ext` !!!\n"},
      {{"x", "g", "-a", "X", "-afn", n255 + "n"},
       "!Bad value `" + n255 + "n` for option `-afn` !!!\n"},
  };
  for (const auto& c : cases) {
    std::vector<const char*> argv;
    for (const std::string& word : c.words) argv.push_back(word.c_str());
    std::unique_ptr<RunState> state;
    testing::internal::CaptureStderr();
    const ErrorCode code =
        parse_options(static_cast<int>(argv.size()), argv.data(), state);
    const std::string err = testing::internal::GetCapturedStderr();
    if (c.stored[0] == '!') {
      EXPECT_EQ(code, ERR_BAD_VALUE);
      EXPECT_EQ("!" + err, c.stored);
      continue;
    }
    ASSERT_EQ(code, ERR_OK) << err;
    const RunState& s = *state;
    EXPECT_EQ(s.image_dir + "|" + s.image_name + "|" + s.image_type_name + "|" +
                  s.host_dir + "|" + s.mask + "|" + s.afn_name + "|" +
                  std::to_string(s.catalogue_page_size),
              c.stored);
  }
}

TEST(Helpers, SplitPathParseNumberAndRaiseError) {
  std::string path = "a\\b/c\\d.txt", dir, extension;  // the source may be a target
  split_path(path, dir, path, &extension);
  EXPECT_EQ(dir + "|" + path + "|" + extension, "a\\b/|c\\d.txt|txt");
  for (const auto& [text, value] : {std::pair<const char*, std::int64_t>{"", 0},
                                    {"-0", 0},
                                    {"0x", -1},
                                    {"0 ", -1},
                                    {"12abc", 12},
                                    {"\t+5", 5},
                                    {"-1", -1},
                                    {"99999999999999999999", INT64_MAX}})
    EXPECT_EQ(parse_number(text), value) << text;
  testing::internal::CaptureStderr();
  EXPECT_EQ(raise_error(ERR_BAD_VALUE, "-u", "40"), ERR_BAD_VALUE);  // value first
  EXPECT_EQ(raise_error(ERR_FILE_NOT_FOUND, "100%s%n.TXT", nullptr), ERR_FILE_NOT_FOUND);
  raise_error(ERR_FILE_TOO_LONG, "HUGE", std::int64_t{5000000000});
  EXPECT_EQ(testing::internal::GetCapturedStderr(),
            "Bad value `40` for option `-u` !!!\nFile `100%s%n.TXT` not found !!!\n"
            "File `HUGE` is too long (5000000000 bytes). Max length is 8MB. !!!\n");
}

}  // namespace
}  // namespace xev
