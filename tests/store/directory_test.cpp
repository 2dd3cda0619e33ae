// Loading the directory and its checks, the name rules, finding files, and
// the TNS-DOS label and map entries: their bytes and where they move to.
#include "store/directory.h"

#include <gtest/gtest.h>

#include <utility>

#include "store/format.h"
#include "store_helpers.h"

namespace xev::test {
namespace {

// With -iide every fault is reported, the good pointers still count and a
// blank line follows. The first 0 ends an entry's pointers.
TEST(Directory, CorruptEntriesAreAllReported) {
  const auto check = [](const char* definition, int user, const char* name,
                        const std::vector<int>& aus, const std::string& err,
                        const std::vector<int>& units) {
    auto state = make_state(definition);
    attach_image(*state);
    clear_entries(*state);
    put_entry(*state, 3, user, name, 0, 0, 3, aus);
    ASSERT_EQ(save_directory(*state), ERR_OK);
    state->opt_ignore_invalid = true;
    const Captured io = capture([&] { return load_directory(*state); });
    EXPECT_EQ(io.err + io.out + std::to_string(io.code),
              err + "\n" + std::to_string(ERR_OK));
    std::vector<int> used;
    for (int au = 0; au < state->au_count; ++au)
      if (state->alloc_map[static_cast<std::size_t>(au / 8)] & (0x80 >> (au % 8)))
        used.push_back(au);
    EXPECT_EQ(used, units);
  };
  const std::string bad = "Corrupted directory entry `";
  check(kEightInchDefinition, 0xF0, "BAD?    COM", {10, 243, 0, 11},
        bad + "BAD?.COM` (invalid user number: -16) !!!\n" + bad +
            "BAD?.COM` (bad file name) !!!\n" + bad +
            "BAD?.COM` (invalid AU number: 243) !!!\n",
        {0, 1, 10});
  check(kWideDefinition, 0, "WIDE    DAT", {0x12B, 0x100, 0x0FF, 0x12C},
        bad + "WIDE.DAT` (invalid AU number: 300) !!!\n", {0, 255, 256, 299});
}

// Names and masks a user gives, stored in 11 characters, and names read
// from the directory.
TEST(Directory, NameRules) {
  const std::pair<const char*, const char*> typed[] = {
      {"*.*", "???????????"}, {"a*.c", "A???????C  "}, {"A.B C", "A       B C"}};
  auto state = make_state(kEightInchDefinition);
  for (const auto& [text, fcb] : typed) {
    FcbName out{};
    ASSERT_TRUE(parse_cpm_name(*state, out.data(), text)) << text;
    EXPECT_EQ(std::string(out.data()), fcb);
    EXPECT_EQ(state->name_is_ambiguous, std::strchr(fcb, '?') != nullptr) << text;
  }
  for (const char* text : {"ABCDEFGHI.CO", "A.COMX", "A B.COM", "A<B", "\xC4.TXT"})
    EXPECT_FALSE(parse_cpm_name(*state, FcbName{}.data(), text)) << text;
  for (const char* text : {" .COM", "A<B>.[X]"})  // as read from the directory
    EXPECT_TRUE(parse_cpm_name(*state, nullptr, text));
}

std::vector<int> search_all(RunState& s, int user_filter) {
  s.user_filter = static_cast<std::uint8_t>(user_filter);
  FcbName mask{};
  std::memcpy(mask.data(), "???????????", 11);
  std::vector<int> found;
  for (int i = search_first(s, mask); i >= 0; i = search_next(s)) found.push_back(i);
  return found;
}

// A file is found once, through its first entry; its size comes from the
// entry that is last in directory order.
TEST(Directory, FilesAndTheirRecords) {
  auto state = make_state(kEightInchDefinition);
  clear_entries(*state);
  put_entry(*state, 0, 0, "ONE     COM", 0, 0x80, 1, {10});  // S2 high bit: no extent
  put_entry(*state, 1, 1, "TWO     COM", 0, 0, 1, {11});
  put_entry(*state, 2, 0, "BIG     DAT", 1, 0, 0x05, {13});
  put_entry(*state, 3, 0, "BIG     DAT", 0, 0, 0x80, {12});
  // S2 1 counts 32 extents; the upper bits of EX and S2 do not count.
  put_entry(*state, 4, 0, "BIG     DAT", 0xE0, 0x81, 0x80, {14});
  put_entry(*state, 5, 2, "one     com", 0, 0, 1, {15});
  put_entry(*state, 6, 0xE5, "ONE     COM", 0, 0, 1);  // erased
  EXPECT_EQ(search_all(*state, kAllUsers), (std::vector<int>{0, 1, 3, 5}));
  EXPECT_EQ(search_all(*state, 0), (std::vector<int>{0, 3}));

  const ExtentKey key = extent_key_of(*state, 3);
  EXPECT_EQ(file_records(*state, key), 32 * 128 + 128);
  put_entry(*state, 4, 0, "NOT     BIG", 0, 0, 0);
  EXPECT_EQ(file_records(*state, key), 128);
  std::swap_ranges(state->entry(2), state->entry(3), state->entry(3));
  EXPECT_EQ(file_records(*state, key), 133);
  EXPECT_EQ(find_entry_from(*state, key, 4), -1);
  clear_entries(*state);

  // TNS-DOS label and map entries are free only without -tns.
  for (int i = 0; i < 3; ++i) state->entry(i)[15] = static_cast<std::uint8_t>(0xFF - i);
  EXPECT_EQ(count_free_entries(*state), 64);
  EXPECT_EQ(first_free_entry(*state), 0);
  state->opt_tns = true;
  EXPECT_EQ(count_free_entries(*state), 62);
  EXPECT_EQ(first_free_entry(*state), 2);
  for (int i = 0; i < 64; ++i) state->entry(i)[0] = 0;
  EXPECT_EQ(first_free_entry(*state), -1);
}

const std::string kFreeEntry = "\xE5" + std::string(11, ' ') + std::string(20, '\0');

// Units in use appear least significant bit first; the map skips the mark
// byte, spans entries and sets the bits past the last unit.
TEST(Tns, MapBitsAreReversedAndSpreadOverEntries) {
  auto state = make_state(kWideDefinition);  // 300 units: 38 map bytes, 2 entries
  clear_entries(*state);
  for (const int au : {0, 9, 15, 112, 299}) set_au_bit(*state, au, true);
  state->entry(0)[15] = TNS_LABEL_MARK;
  ASSERT_EQ(store_tns_map(*state), ERR_OK);
  // Map bytes 0, 1 and 14 behind the mark.
  EXPECT_EQ(entry_bytes(*state, 1),
            "\xE5\x01\x82" + std::string(12, '\0') + "\xFE\x01" + std::string(15, '\0'));
  // Map bytes 30 to 37; the last holds unit 299 and the four bits past it.
  EXPECT_EQ(entry_bytes(*state, 2), "\xE5" + std::string(7, '\0') + "\xF8" +
                                        std::string(6, '\xFF') + "\xFE" +
                                        std::string(16, '\xFF'));
  EXPECT_EQ(entry_bytes(*state, 3), kFreeEntry);
}

// A file at index 0 of a TNS-DOS disk, as an add leaves it: the label comes
// back in front, the map entries follow (one found elsewhere is reused) and
// the files keep their order. A label found elsewhere is kept unless -lbl
// gives one.
TEST(Tns, LabelAndMapMoveToTheFront) {
  for (const auto& [option, written] :
       {std::pair{"", "OLD LABEL 1"}, {"MYDISK     ", "MYDISK     "}}) {
    auto state = make_state(kEightInchDefinition);
    clear_entries(*state);
    for (const int i : {0, 1, 5})
      put_entry(*state, i, 0, "F          ", 0, 0, 1, {10 + i});
    put_entry(*state, 3, 0xE5, "OLD LABEL 1", 0, 0, TNS_LABEL_MARK);
    state->entry(7)[15] = TNS_MAP_MARK;
    std::vector<std::string> expected(64, kFreeEntry);
    for (const auto& [from, to] : {std::pair{0, 3}, {1, 4}, {5, 6}})
      expected[to] = entry_bytes(*state, from);
    state->tns_label = option;
    ASSERT_EQ(store_tns_map(*state), ERR_OK);
    EXPECT_EQ(entry_bytes(*state, 0), "\xE5" + std::string(written) +
                                          std::string(3, '\0') + "\xFF" +
                                          std::string(16, '\0'));
    EXPECT_EQ(state->tns_label, written);
    EXPECT_EQ(state->entry(1)[15] + state->entry(2)[15], 2 * TNS_MAP_MARK);
    for (int i = 3; i < 64; ++i) EXPECT_EQ(entry_bytes(*state, i), expected[i]) << i;
  }
  auto state = make_state(kEightInchDefinition);  // a full directory
  for (int i = 0; i < 64; ++i) put_entry(*state, i, 0, "FULL       ", 0, 0, 1);
  put_entry(*state, 0, 0xE5, "LABEL      ", 0, 0, TNS_LABEL_MARK);
  const Captured map = capture([&] { return store_tns_map(*state); });
  put_entry(*state, 0, 0, "FULL       ", 0, 0, 1);
  const Captured label = capture([&] { return write_tns_label(*state); });
  EXPECT_EQ(map.code + label.code, 2 * ERR_DIRECTORY_FULL);
  EXPECT_EQ(map.err + label.err, "Directory full !!!\nDirectory full !!!\n");
}

}  // namespace
}  // namespace xev::test
