#include "store/directory.h"

#include <gtest/gtest.h>

#include <vector>

#include "store/image.h"
#include "store_helpers.h"
#include "support/sandbox.h"
#include "support/test_state.h"

namespace xev::test {
namespace {

int set_bits(const RunState& state) {
  int count = 0;
  for (int au = 0; au < state.au_count; ++au) {
    if (state.alloc_map[static_cast<std::size_t>(au / 8)] & (0x80 >> (au % 8))) ++count;
  }
  return count;
}

bool bit(const RunState& state, int au) {
  return (state.alloc_map[static_cast<std::size_t>(au / 8)] & (0x80 >> (au % 8))) != 0;
}

// A state whose in-memory directory is written to a fresh image, so that
// load_directory reads it back through the skew table.
std::unique_ptr<RunState> image_with(const char* definition, void (*fill)(RunState&)) {
  auto state = make_state(definition);
  attach_image(*state);
  clear_entries(*state);
  fill(*state);
  EXPECT_EQ(save_directory(*state), ERR_OK);
  std::fill(state->directory.begin(), state->directory.end(), std::uint8_t{0});
  return state;
}

struct LoadResult {
  ErrorCode code;
  Captured io;
};

LoadResult load(RunState& state) {
  LoadResult result{ERR_OK, {}};
  result.io = capture([&] { result.code = load_directory(state); });
  return result;
}

// ---- load and save ------------------------------------------------------

TEST(LoadDirectory, FreshDirectoryMarksOnlyItsOwnUnits) {
  auto state = image_with(kEightInchDefinition, [](RunState&) {});
  const LoadResult result = load(*state);
  EXPECT_EQ(result.code, ERR_OK);
  EXPECT_EQ(result.io.out, "");
  EXPECT_EQ(result.io.err, "");
  EXPECT_EQ(directory_au_count(*state), 2);
  EXPECT_EQ(state->alloc_map[0], 0xC0);
  EXPECT_EQ(set_bits(*state), 2);
  EXPECT_EQ(count_free_aus(*state), 241);
  EXPECT_EQ(first_free_au(*state), 2);
  EXPECT_EQ(count_free_entries(*state), 64);
}

// Directory record 1 (entries 4 to 7) lies at the skewed place 7424.
TEST(LoadDirectory, ReadsAndWritesRecordsThroughTheSkew) {
  auto state = make_state(kEightInchDefinition);
  attach_image(*state);
  std::string bytes = image_bytes(*state);
  const std::string entry = std::string("\x03", 1) + "FILE    TXT" +
                            std::string(3, '\0') + "\x01" + "\x09" +
                            std::string(15, '\0');
  std::FILE* file = state->image_file.get();
  ASSERT_TRUE(seek_stream(file, 7424 + 32));
  ASSERT_EQ(std::fwrite(entry.data(), 1, entry.size(), file), entry.size());
  std::fflush(file);

  ASSERT_EQ(load(*state).code, ERR_OK);
  EXPECT_EQ(entry_bytes(*state, 5), entry);
  EXPECT_TRUE(bit(*state, 9));

  state->entry(5)[0] = 0x04;
  ASSERT_EQ(save_directory(*state), ERR_OK);
  bytes.replace(7424 + 32, entry.size(), entry);
  bytes[7424 + 32] = 0x04;
  EXPECT_EQ(image_bytes(*state), bytes);
}

struct CorruptCase {
  const char* what;
  void (*fill)(RunState&);
  bool ignore_invalid;
  ErrorCode code;
  const char* err;
  const char* out;
  std::vector<int> marked;  // units besides the directory's
};

class CorruptEntries : public testing::TestWithParam<CorruptCase> {};

TEST_P(CorruptEntries, ReportsAndMarks) {
  const CorruptCase& c = GetParam();
  auto state = image_with(kEightInchDefinition, c.fill);
  state->opt_ignore_invalid = c.ignore_invalid;
  const LoadResult result = load(*state);
  EXPECT_EQ(result.code, c.code);
  EXPECT_EQ(result.io.err, c.err);
  EXPECT_EQ(result.io.out, c.out);
  if (c.code != ERR_OK) return;  // the map is of no use after a failed load
  EXPECT_EQ(set_bits(*state), 2 + static_cast<int>(c.marked.size()));
  for (const int au : c.marked) EXPECT_TRUE(bit(*state, au)) << au;
}

INSTANTIATE_TEST_SUITE_P(
    Cases, CorruptEntries,
    testing::Values(
        CorruptCase{
            "user_32",
            [](RunState& s) { put_entry(s, 3, 0x20, "FILE    TXT", 0, 0, 1, {10}); },
            false,
            ERR_CORRUPT_ENTRY,
            "Corrupted directory entry `FILE.TXT` (invalid user number: 32) !!!\n",
            "",
            {}},
        CorruptCase{
            "user_negative",
            [](RunState& s) { put_entry(s, 3, 0xF0, "FILE    TXT", 0, 0, 1, {10}); },
            false,
            ERR_CORRUPT_ENTRY,
            "Corrupted directory entry `FILE.TXT` (invalid user number: -16) !!!\n",
            "",
            {}},
        CorruptCase{"bad_name",
                    [](RunState& s) { put_entry(s, 0, 0, "FI?E    TXT", 0, 0, 1, {10}); },
                    false,
                    ERR_CORRUPT_ENTRY,
                    "Corrupted directory entry `FI?E.TXT` (bad file name) !!!\n",
                    "",
                    {}},
        CorruptCase{"unit_past_the_end",
                    [](RunState& s) {
                      put_entry(s, 0, 0, "FILE    TXT", 0, 0, 3, {10, 243});
                    },
                    false,
                    ERR_CORRUPT_ENTRY,
                    "Corrupted directory entry `FILE.TXT` (invalid AU number: 243) !!!\n",
                    "",
                    {}},
        // Without -iide the first fault ends the load; the later entry is not looked at.
        CorruptCase{"stops_at_first",
                    [](RunState& s) {
                      put_entry(s, 0, 0x20, "ONE        ", 0, 0, 1, {10});
                      put_entry(s, 1, 0x21, "TWO        ", 0, 0, 1, {11});
                    },
                    false,
                    ERR_CORRUPT_ENTRY,
                    "Corrupted directory entry `ONE` (invalid user number: 32) !!!\n",
                    "",
                    {}},
        // With -iide every test of every entry reports, the good pointers still count.
        CorruptCase{
            "ignored_all_reported",
            [](RunState& s) {
              put_entry(s, 0, 0x20, "BAD?    COM", 0, 0, 3, {10, 243, 11});
              put_entry(s, 2, 0x00, "GOOD    COM", 0, 0, 3, {12});
              put_entry(s, 5, 0xFF, "WORSE   COM", 0, 0, 3, {250, 13});
            },
            true,
            ERR_OK,
            "Corrupted directory entry `BAD?.COM` (invalid user number: 32) !!!\n"
            "Corrupted directory entry `BAD?.COM` (bad file name) !!!\n"
            "Corrupted directory entry `BAD?.COM` (invalid AU number: 243) !!!\n"
            "Corrupted directory entry `WORSE.COM` (invalid user number: -1) !!!\n"
            "Corrupted directory entry `WORSE.COM` (invalid AU number: 250) !!!\n",
            "\n",
            {10, 11, 12, 13}},
        CorruptCase{"ignored_but_clean",
                    [](RunState& s) { put_entry(s, 0, 0, "GOOD    COM", 0, 0, 3, {12}); },
                    true,
                    ERR_OK,
                    "",
                    "",
                    {12}},
        // The first 0 ends an entry's list; units named twice are accepted.
        CorruptCase{"pointer_list_ends_at_zero",
                    [](RunState& s) {
                      put_entry(s, 0, 0, "A          ", 0, 0, 3, {5, 0, 7, 250});
                      put_entry(s, 1, 1, "B          ", 0, 0, 3, {5, 1});
                    },
                    false,
                    ERR_OK,
                    "",
                    "",
                    {5}}),
    [](const testing::TestParamInfo<CorruptCase>& info) {
      return std::string(info.param.what);
    });

TEST(LoadDirectory, SixteenBitPointers) {
  auto state = make_state(kWideDefinition);
  ASSERT_EQ(state->pointers_per_entry, 8);
  attach_image(*state);
  clear_entries(*state);
  put_entry(*state, 0, 0, "WIDE    DAT", 0, 0, 8, {0x12B, 0x100, 0x0FF}, true);
  ASSERT_EQ(save_directory(*state), ERR_OK);
  ASSERT_EQ(load(*state).code, ERR_OK);
  EXPECT_TRUE(bit(*state, 299));
  EXPECT_TRUE(bit(*state, 256));
  EXPECT_TRUE(bit(*state, 255));
  EXPECT_EQ(set_bits(*state), 1 + 3);

  put_entry(*state, 1, 0, "WIDE    BAD", 0, 0, 8, {0x12C}, true);
  ASSERT_EQ(save_directory(*state), ERR_OK);
  const LoadResult result = load(*state);
  EXPECT_EQ(result.code, ERR_CORRUPT_ENTRY);
  EXPECT_EQ(result.io.err,
            "Corrupted directory entry `WIDE.BAD` (invalid AU number: 300) !!!\n");
}

// ---- allocation map -------------------------------------------------------

TEST(AllocationMap, BitsQueriesAndBounds) {
  auto state = make_state(kEightInchDefinition);  // 243 units, 31 map bytes
  EXPECT_EQ(first_free_au(*state), 0);
  EXPECT_EQ(count_free_aus(*state), 243);
  EXPECT_TRUE(set_au_bit(*state, 0, true));
  EXPECT_TRUE(set_au_bit(*state, 9, true));
  EXPECT_EQ(state->alloc_map[0], 0x80);
  EXPECT_EQ(state->alloc_map[1], 0x40);
  EXPECT_FALSE(set_au_bit(*state, 243, true));
  EXPECT_FALSE(set_au_bit(*state, -1, true));
  EXPECT_EQ(state->alloc_map[30], 0x00);  // bits past the last unit stay clear
  EXPECT_EQ(first_free_au(*state), 1);

  for (int au = 0; au < 243; ++au) set_au_bit(*state, au, true);
  EXPECT_EQ(state->alloc_map[30], 0xE0);
  EXPECT_EQ(first_free_au(*state), 243);
  EXPECT_EQ(count_free_aus(*state), 0);

  EXPECT_TRUE(set_au_bit(*state, 242, false));
  EXPECT_EQ(first_free_au(*state), 242);
  EXPECT_EQ(count_free_aus(*state), 1);
}

// ---- names ------------------------------------------------------------------

struct NameCase {
  const char* text;
  bool accepted;
  const char* fcb;  // 11 characters when accepted
  bool ambiguous;
};

TEST(ParseCpmName, UserNamesAndMasks) {
  const NameCase cases[] = {
      {"*.*", true, "???????????", true},
      {"a*.c", true, "A???????C  ", true},
      {"ABC", true, "ABC        ", false},
      {"abc.txt", true, "ABC     TXT", false},
      {"A.", true, "A          ", false},
      {"A.B C", true, "A       B C", false},
      {"FILE?.*", true, "FILE?   ???", true},
      {"ABCDEFGH.COM", true, "ABCDEFGHCOM", false},
      {"A*B.COM", true, "A???????COM", true},  // text after '*' is ignored
      {"A.B.C", false, nullptr, false},        // name "A.B" holds a point
      {"ABCDEFGHI.CO", false, nullptr, false},
      {"A.COMX", false, nullptr, false},
      {"A B.COM", false, nullptr, false},
      {" AB.COM", false, nullptr, false},
      {"ABCDEFGH.COMX", false, nullptr, false},  // 13 characters
      {"", false, nullptr, false},
      {".", false, nullptr, false},
      {".COM", false, nullptr, false},
      {"A<B", false, nullptr, false},
      {"A[1].C", false, nullptr, false},
      {"X.|", false, nullptr, false},
      {"A\"B", false, nullptr, false},
      {"A,B", false, nullptr, false},
      {"A\tB", false, nullptr, false},
      {"A\x7F", false, nullptr, false},
      {"\xC4.TXT", false, nullptr, false},
  };
  auto state = make_state(kEightInchDefinition);
  for (const NameCase& c : cases) {
    SCOPED_TRACE(c.text);
    FcbName out{};
    out.fill('#');
    state->name_is_ambiguous = !c.ambiguous;
    EXPECT_EQ(parse_cpm_name(*state, out.data(), c.text), c.accepted);
    if (!c.accepted) continue;
    EXPECT_EQ(std::string(out.data()), c.fcb);
    EXPECT_EQ(state->name_is_ambiguous, c.ambiguous);
  }
}

TEST(ParseCpmName, DirectoryNames) {
  const struct {
    const char* text;
    bool accepted;
  } cases[] = {
      {" .COM", true},     // blank name, as load_entry_name shows it
      {"A<B>.[X]", true},  // characters the user may not type
      {"A,B;C=D.%|", true}, {"FI?E.TXT", false}, {"FILE.T*", false},
      {"A B.COM", false},   {"AB.C D", true},    {"ABCDEFGHIJKLM", false},
  };
  auto state = make_state(kEightInchDefinition);
  for (const auto& c : cases) {
    EXPECT_EQ(parse_cpm_name(*state, nullptr, c.text), c.accepted) << c.text;
  }
}

TEST(LoadEntryName, DisplayNamesAndAttributes) {
  const struct {
    const char* bytes;  // user byte then 11 name and type bytes
    const char* name;
    bool read_only;
    bool system;
  } cases[] = {
      {"\x00NAME    TXT", "NAME.TXT", false, false},
      {"\x00NAME       ", "NAME", false, false},
      {"\x00        COM", " .COM", false, false},
      {"\x00           ", " ", false, false},
      {"\x00name    txt", "NAME.TXT", false, false},
      {"\x00"
       "A\xA0"
       "B     T  ",
       "A B.T", false, false},  // 0xA0 is no end of name
      {"\x00"
       "ABCDEFGH"
       "\xD4\xD8T",
       "ABCDEFGH.TXT", true, true},
      {"\x00"
       "X       "
       "C\xCFM",
       "X.COM", false, true},
      {"\x00"
       "X       "
       "CO\xCD",
       "X.COM", false, false},  // byte 11's bit means nothing
      {"\x00"
       "X       "
       "\xA0"
       "AB",
       "X", true, false},  // blank type despite the bit
      {"\x00"
       "X       "
       "A B",
       "X.A", false, false},
  };
  auto state = make_state(kEightInchDefinition);
  for (const auto& c : cases) {
    std::memcpy(state->entry(7), c.bytes, 12);
    load_entry_name(*state, 7);
    EXPECT_EQ(state->cur_name, c.name);
    EXPECT_EQ(state->cur_read_only, c.read_only) << c.name;
    EXPECT_EQ(state->cur_system, c.system) << c.name;
  }
  state->entry(7)[0] = 17;
  load_entry_name(*state, 7);
  EXPECT_EQ(state->cur_user, 17);
}

// ---- finding files ------------------------------------------------------------

TEST(FileRecords, LastEntryInDirectoryOrderCounts) {
  auto state = make_state(kEightInchDefinition);
  clear_entries(*state);
  put_entry(*state, 2, 0, "BIG     DAT", 0, 0, 0x80, {10});
  put_entry(*state, 4, 0, "BIG     DAT", 1, 0, 0x05, {11});
  const ExtentKey key = extent_key_of(*state, 2);
  EXPECT_EQ(file_records(*state, key), 133);

  clear_entries(*state);
  put_entry(*state, 2, 0, "BIG     DAT", 1, 0, 0x05, {11});
  put_entry(*state, 4, 0, "BIG     DAT", 0, 0, 0x80, {10});
  EXPECT_EQ(file_records(*state, key), 128);

  // S2 carries the extents above 31; EX's upper bits are not part of it.
  put_entry(*state, 6, 0, "BIG     DAT", 0xE1, 0x81, 0x03, {12});
  EXPECT_EQ(file_records(*state, key), (32 + 1) * 128 + 3);

  ExtentKey other = key;
  other[0] = 1;  // another user area
  EXPECT_EQ(file_records(*state, other), 0);
  EXPECT_EQ(find_entry_from(*state, key, 0), 2);
  EXPECT_EQ(find_entry_from(*state, key, 3), 4);
  EXPECT_EQ(find_entry_from(*state, key, 7), -1);
  EXPECT_EQ(find_entry_from(*state, other, 0), -1);
}

std::vector<int> search_all(RunState& state, const char* mask11) {
  FcbName mask{};
  std::memcpy(mask.data(), mask11, 11);
  std::vector<int> found;
  for (int i = search_first(state, mask); i >= 0; i = search_next(state))
    found.push_back(i);
  EXPECT_EQ(state.search_pos, state.dir_entry_count);
  return found;
}

TEST(Search, FindsEachFileOnceThroughItsFirstEntry) {
  auto state = make_state(kEightInchDefinition);
  clear_entries(*state);
  put_entry(*state, 0, 0, "ONE     COM", 0, 0, 1, {10});
  put_entry(*state, 1, 1, "TWO     COM", 0, 0, 1, {11});
  put_entry(*state, 2, 0, "BIG     DAT", 0, 0, 0x80, {12});
  put_entry(*state, 3, 0, "BIG     DAT", 0, 1, 0x80, {13});  // S2 = 1
  put_entry(*state, 4, 0, "BIG     DAT", 1, 0, 0x80, {14});  // EX beyond the entry
  put_entry(*state, 5, 2, "one     com", 0, 0, 1, {15});     // stored in lower case
  put_entry(*state, 6, 0, "RO      \xC3OM", 0, 0, 1, {16});  // read-only
  state->entry(7)[0] = kFreeMark;
  std::memcpy(state->entry(7) + 1, "ONE     COM", 11);  // an erased file

  EXPECT_EQ(search_all(*state, "???????????"), (std::vector<int>{0, 1, 2, 5, 6}));
  EXPECT_EQ(search_all(*state, "ONE     COM"), (std::vector<int>{0}));
  EXPECT_EQ(search_all(*state, "???     COM"), (std::vector<int>{0, 1, 6}));
  EXPECT_EQ(search_all(*state, "BIG     DAT"), (std::vector<int>{2}));

  state->user_filter = 0;
  EXPECT_EQ(search_all(*state, "???????????"), (std::vector<int>{0, 2, 6}));
  state->user_filter = 2;
  EXPECT_EQ(search_all(*state, "???????????"), (std::vector<int>{5}));
  state->user_filter = 31;
  EXPECT_EQ(search_all(*state, "???????????"), (std::vector<int>{}));
}

TEST(Search, ContinuesAfterTheEntryItReturned) {
  auto state = make_state(kEightInchDefinition);
  clear_entries(*state);
  put_entry(*state, 0, 0, "A          ", 0, 0, 1);
  put_entry(*state, 1, 0, "B          ", 0, 0, 1);
  FcbName mask{};
  std::memcpy(mask.data(), "???????????", 11);
  ASSERT_EQ(search_first(*state, mask), 0);
  // A command erases the entry it found; the search goes on behind it.
  state->entry(0)[0] = kFreeMark;
  EXPECT_EQ(search_next(*state), 1);
  EXPECT_EQ(search_next(*state), -1);
  EXPECT_EQ(search_first(*state, mask), 1);
}

// Two-extent entries: EX 1 is still a first entry when one entry covers two.
TEST(Search, ExtentMaskDecidesTheFirstEntry) {
  auto state = make_state("SPT=32\nXLT=0\nBLS=2\nEXM=1\nDSM=99\nDRM=63\nOFF=0\n");
  ASSERT_EQ(state->extents_per_entry, 2);
  clear_entries(*state);
  put_entry(*state, 0, 0, "F          ", 1, 0, 0x10);
  put_entry(*state, 1, 0, "G          ", 2, 0, 0x10);
  EXPECT_EQ(search_all(*state, "???????????"), (std::vector<int>{0}));
}

TEST(FreeEntries, TnsMarksCountOnlyWithTheOption) {
  auto state = make_state(kEightInchDefinition);
  clear_entries(*state);
  state->entry(0)[15] = 0xFF;  // label
  state->entry(1)[15] = 0xFE;  // map
  state->entry(2)[15] = 0xFD;  // plain free entry
  put_entry(*state, 3, 0, "FILE       ", 0, 0, 1);
  EXPECT_EQ(count_free_entries(*state), 63);
  EXPECT_EQ(first_free_entry(*state), 0);
  state->opt_tns = true;
  EXPECT_EQ(count_free_entries(*state), 61);
  EXPECT_EQ(first_free_entry(*state), 2);

  for (int i = 0; i < state->dir_entry_count; ++i) state->entry(i)[0] = 0;
  EXPECT_EQ(count_free_entries(*state), 0);
  EXPECT_EQ(first_free_entry(*state), -1);
}

}  // namespace
}  // namespace xev::test
