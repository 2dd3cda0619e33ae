#include "store/format.h"

#include <gtest/gtest.h>

#include "store/directory.h"
#include "store/image.h"
#include "store_helpers.h"
#include "support/sandbox.h"
#include "support/test_state.h"

namespace xev::test {
namespace {

// Physical position (1-based) of each logical record of an 8-inch track.
constexpr int kEightInchSkew[26] = {1, 7, 13, 19, 25, 5, 11, 17, 23, 3, 9,  15, 21,
                                    2, 8, 14, 20, 26, 6, 12, 18, 24, 4, 10, 16, 22};

const std::string kSignature =
    "XEV CP/M Disk Image Manager v2.4 (c) 2026 The xev Authors";

std::string empty_directory_record() {
  const std::string entry = "\xE5" + std::string(11, ' ') + std::string(20, '\0');
  return entry + entry + entry + entry;
}

std::string signature_record() {
  return kSignature + std::string(128 - kSignature.size(), '\0');
}

// The 8-inch image as the full format leaves it, built from the layout alone.
std::string formatted_eight_inch() {
  std::string image(256256, '\xE5');
  image[0] = '\xC9';
  for (int sector = 0; sector < 16; ++sector) {
    image.replace(static_cast<std::size_t>(6656 + (kEightInchSkew[sector] - 1) * 128),
                  128, empty_directory_record());
  }
  image.replace(256256 - 128, 128, signature_record());
  return image;
}

// Steps 7.1 to 7.3 of a run: full format when asked, clear, TNS entries.
ErrorCode run_format(RunState& state) {
  ErrorCode code = ERR_OK;
  if (state.cmd_full_format) code = format_image(state, true);
  if (code == ERR_OK) code = clear_directory(state);
  if (code == ERR_OK && state.opt_tns) {
    code = load_directory(state);
    if (code == ERR_OK) code = write_tns_label(state);
    if (code == ERR_OK) code = store_tns_map(state);
    if (code == ERR_OK) code = save_directory(state);
  }
  return code;
}

TEST(FullFormat, EightInchLayoutByteForByte) {
  auto state = make_state(kEightInchDefinition);
  attach_image(*state);  // open_image fills a new image with 0xE5
  state->cmd_full_format = true;
  ErrorCode code = ERR_FATAL;
  const Captured io = capture([&] { code = run_format(*state); });
  EXPECT_EQ(code, ERR_OK);
  EXPECT_EQ(io.out, "Image 'test.dsk' was formated.\n");
  EXPECT_EQ(io.err, "");
  EXPECT_EQ(image_bytes(*state), formatted_eight_inch());
}

TEST(FullFormat, NoStartRecordWithoutSystemArea) {
  auto state = make_state(kNoSystemDefinition);
  attach_image(*state);
  state->cmd_full_format = true;
  EXPECT_EQ(quietly([&] { return run_format(*state); }), ERR_OK);
  const std::string image = image_bytes(*state);
  EXPECT_EQ(image.substr(0, 128 * 16), [] {
    std::string records;
    for (int i = 0; i < 16; ++i) records += empty_directory_record();
    return records;
  }());
  EXPECT_EQ(image.substr(128 * 16, image.size() - 128 * 17),
            std::string(image.size() - 128 * 17, '\xE5'));
  EXPECT_EQ(image.substr(image.size() - 128), signature_record());
}

TEST(FullFormat, WriteFailureIsReported) {
  auto state = make_state(kEightInchDefinition);
  state->image_file.reset(std::fopen("/dev/full", "r+b"));
  ASSERT_TRUE(state->image_file);
  state->cmd_full_format = true;
  ErrorCode code = ERR_OK;
  const Captured io = capture([&] { code = format_image(*state, true); });
  EXPECT_EQ(code, ERR_IMAGE_WRITE);
  EXPECT_EQ(io.err, "Error on write to the image `test.dsk` !!!\n");
  EXPECT_EQ(io.out, "");
}

// A quick format clears the directory records only, at their skewed places.
TEST(QuickFormat, KeepsDataAndClearsEveryEntry) {
  auto state = make_state(kEightInchDefinition);
  attach_image(*state, 0x77);
  state->cmd_quick_format = true;
  ErrorCode code = ERR_FATAL;
  const Captured io = capture([&] { code = run_format(*state); });
  EXPECT_EQ(code, ERR_OK);
  EXPECT_EQ(io.out, "Directory of image 'test.dsk' was cleaned.\n");

  std::string expected(256256, '\x77');
  for (int sector = 0; sector < 16; ++sector) {
    expected.replace(static_cast<std::size_t>(6656 + (kEightInchSkew[sector] - 1) * 128),
                     128, empty_directory_record());
  }
  EXPECT_EQ(image_bytes(*state), expected);

  EXPECT_EQ(quietly([&] { return load_directory(*state); }), ERR_OK);
  EXPECT_EQ(count_free_entries(*state), 64);
  EXPECT_EQ(count_free_aus(*state), 241);
}

// ---- TNS-DOS ---------------------------------------------------------------

std::string label_entry(const std::string& label) {
  return "\xE5" + label + std::string(3, '\0') + "\xFF" + std::string(16, '\0');
}

TEST(TnsFormat, LabelAndMapEntriesByteForByte) {
  auto state = make_state(kEightInchDefinition);
  attach_image(*state);
  state->cmd_full_format = true;
  state->opt_tns = true;
  ASSERT_EQ(quietly([&] { return run_format(*state); }), ERR_OK);

  ASSERT_EQ(state->map_bytes, 31);
  ASSERT_EQ(quietly([&] { return load_directory(*state); }), ERR_OK);
  EXPECT_EQ(entry_bytes(*state, 0), label_entry("TNS-DOS/XEV"));
  EXPECT_EQ(entry_bytes(*state, 1),
            "\xE5\x03" + std::string(13, '\0') + "\xFE" + std::string(16, '\0'));
  EXPECT_EQ(entry_bytes(*state, 2),
            "\xE5\xF8" + std::string(13, '\xFF') + "\xFE" + std::string(16, '\xFF'));
  EXPECT_EQ(entry_bytes(*state, 3), empty_directory_record().substr(0, 32));
  EXPECT_EQ(count_free_entries(*state), 61);
  EXPECT_EQ(state->tns_label, "TNS-DOS/XEV");

  // The entries are on the image: the first directory record holds them.
  const std::string image = image_bytes(*state);
  EXPECT_EQ(image.substr(6656, 32), label_entry("TNS-DOS/XEV"));
}

TEST(TnsFormat, LabelFromTheCommandLine) {
  auto state = make_state(kEightInchDefinition);
  attach_image(*state);
  state->cmd_quick_format = true;
  state->opt_tns = true;
  state->tns_label = "MYDISK     ";
  ASSERT_EQ(quietly([&] { return run_format(*state); }), ERR_OK);
  EXPECT_EQ(entry_bytes(*state, 0), label_entry("MYDISK     "));
}

// Units in use appear least significant bit first; the map spans entries.
TEST(TnsMap, BitsAreReversedAndSpreadOverEntries) {
  auto state = make_state(kWideDefinition);  // 300 units: 38 map bytes, 2 entries
  clear_entries(*state);
  std::fill(state->alloc_map.begin(), state->alloc_map.end(), std::uint8_t{0});
  for (const int au : {0, 9, 15, 112, 299}) set_au_bit(*state, au, true);
  state->entry(0)[15] = TNS_LABEL_MARK;
  ASSERT_EQ(store_tns_map(*state), ERR_OK);

  std::string first = "\xE5" + std::string(14, '\0') + "\xFE" + std::string(16, '\0');
  first[1] = '\x01';   // map byte 0: unit 0
  first[2] = '\x82';   // map byte 1: units 9 and 15
  first[16] = '\x01';  // map byte 14, behind the mark: unit 112
  EXPECT_EQ(entry_bytes(*state, 1), first);

  // Map bytes 30 to 37; the last one holds unit 299 and the four bits past it.
  std::string second = "\xE5" + std::string(7, '\0') + std::string(7, '\xFF') + "\xFE" +
                       std::string(16, '\xFF');
  second[8] = static_cast<char>(0x08 | 0xF0);
  EXPECT_EQ(entry_bytes(*state, 2), second);
  EXPECT_EQ(entry_bytes(*state, 3), empty_directory_record().substr(0, 32));
}

TEST(TnsLabel, FileEntriesMoveBehindTheLabel) {
  auto state = make_state(kEightInchDefinition);
  clear_entries(*state);
  const char* names[] = {"F0         ", "F1         ", "F2         ", "F3         ",
                         "F4         "};
  for (int i = 0; i < 5; ++i) put_entry(*state, i, 0, names[i], 0, 0, 1, {10 + i});
  put_entry(*state, 6, 0, "F6         ", 0, 0, 1, {20});
  std::string before[7];
  for (int i = 0; i < 7; ++i) before[i] = entry_bytes(*state, i);

  ASSERT_EQ(write_tns_label(*state), ERR_OK);
  EXPECT_EQ(entry_bytes(*state, 0), label_entry("TNS-DOS/XEV"));
  for (int i = 0; i < 5; ++i) EXPECT_EQ(entry_bytes(*state, i + 1), before[i]) << i;
  EXPECT_EQ(entry_bytes(*state, 6), before[6]);
}

struct LabelCase {
  const char* what;
  const char* option_label;  // tns_label before the call ("" without -lbl)
  const char* written;       // bytes 1 to 11 of entry 0 afterwards
};

// An existing label entry moves to the front and keeps its own label unless
// -lbl gives a new one; the default applies only to a disk without a label.
class TnsLabelKeeping : public testing::TestWithParam<LabelCase> {};

TEST_P(TnsLabelKeeping, LabelEntryMovesToTheFront) {
  const LabelCase& c = GetParam();
  auto state = make_state(kEightInchDefinition);
  clear_entries(*state);
  put_entry(*state, 0, 0, "A          ", 0, 0, 1, {10});
  put_entry(*state, 1, 0, "B          ", 0, 0, 1, {11});
  std::memcpy(state->entry(3) + 1, "OLD LABEL 1", 11);
  state->entry(3)[15] = TNS_LABEL_MARK;
  const std::string a = entry_bytes(*state, 0);
  const std::string b = entry_bytes(*state, 1);
  const std::string free_entry = entry_bytes(*state, 2);
  state->tns_label = c.option_label;

  ASSERT_EQ(write_tns_label(*state), ERR_OK);
  EXPECT_EQ(entry_bytes(*state, 0), label_entry(c.written));
  EXPECT_EQ(entry_bytes(*state, 1), a);
  EXPECT_EQ(entry_bytes(*state, 2), b);
  EXPECT_EQ(entry_bytes(*state, 3), free_entry);
  EXPECT_EQ(state->tns_label, c.written);

  // store_tns_map leaves the label alone as it stands at index 0.
  ASSERT_EQ(store_tns_map(*state), ERR_OK);
  EXPECT_EQ(entry_bytes(*state, 0), label_entry(c.written));
}

INSTANTIATE_TEST_SUITE_P(
    Cases, TnsLabelKeeping,
    testing::Values(LabelCase{"kept_without_option", "", "OLD LABEL 1"},
                    LabelCase{"replaced_by_option", "MYDISK     ", "MYDISK     "}),
    [](const testing::TestParamInfo<LabelCase>& info) {
      return std::string(info.param.what);
    });

// An add to a TNS-DOS disk whose entry 0 is a file: the label is restored
// from where it was, not replaced by the default.
TEST(TnsMap, FileAtIndexZeroBringsTheOwnLabelBack) {
  auto state = make_state(kEightInchDefinition);
  clear_entries(*state);
  std::memcpy(state->entry(4) + 1, "GAMES      ", 11);
  state->entry(4)[15] = TNS_LABEL_MARK;
  put_entry(*state, 0, 0, "NEW        ", 0, 0, 1, {10});
  std::fill(state->alloc_map.begin(), state->alloc_map.end(), std::uint8_t{0});
  ASSERT_EQ(store_tns_map(*state), ERR_OK);
  EXPECT_EQ(entry_bytes(*state, 0), label_entry("GAMES      "));
  // The map entries take the places in front of the file.
  EXPECT_EQ(state->entry(1)[15], TNS_MAP_MARK);
  EXPECT_EQ(state->entry(2)[15], TNS_MAP_MARK);
  EXPECT_EQ(state->entry(3)[0], 0);
}

TEST(TnsMap, MapEntriesElsewhereMoveToTheFrontAndStayPut) {
  auto state = make_state(kEightInchDefinition);
  clear_entries(*state);
  state->entry(0)[15] = TNS_LABEL_MARK;
  put_entry(*state, 1, 0, "A          ", 0, 0, 1, {10});
  state->entry(5)[15] = TNS_MAP_MARK;
  state->entry(9)[15] = TNS_MAP_MARK;
  const std::string a = entry_bytes(*state, 1);
  std::fill(state->alloc_map.begin(), state->alloc_map.end(), std::uint8_t{0});
  ASSERT_EQ(store_tns_map(*state), ERR_OK);
  EXPECT_EQ(state->entry(1)[15], TNS_MAP_MARK);
  EXPECT_EQ(state->entry(2)[15], TNS_MAP_MARK);
  EXPECT_EQ(entry_bytes(*state, 3), a);
  int map_entries = 0;
  for (int i = 0; i < 64; ++i) map_entries += state->entry(i)[15] == TNS_MAP_MARK ? 1 : 0;
  EXPECT_EQ(map_entries, 2);

  const std::vector<std::uint8_t> once = state->directory;
  ASSERT_EQ(store_tns_map(*state), ERR_OK);
  EXPECT_EQ(state->directory, once);
}

TEST(TnsMap, FullDirectoryIsReported) {
  auto state = make_state(kEightInchDefinition);
  clear_entries(*state);
  state->entry(0)[15] = TNS_LABEL_MARK;
  for (int i = 1; i < 64; ++i) put_entry(*state, i, 0, "FULL       ", 0, 0, 1);
  ErrorCode code = ERR_OK;
  const Captured io = capture([&] { code = store_tns_map(*state); });
  EXPECT_EQ(code, ERR_DIRECTORY_FULL);
  EXPECT_EQ(io.err, "Directory full !!!\n");

  for (int i = 0; i < 64; ++i) put_entry(*state, i, 0, "FULL       ", 0, 0, 1);
  const Captured label_io = capture([&] { code = write_tns_label(*state); });
  EXPECT_EQ(code, ERR_DIRECTORY_FULL);
  EXPECT_EQ(label_io.err, "Directory full !!!\n");
}

TEST(ReverseBits, Table) {
  const std::pair<int, int> cases[] = {{0x01, 0x80}, {0xC0, 0x03}, {0xA5, 0xA5},
                                       {0x00, 0x00}, {0xFF, 0xFF}, {0x12, 0x48}};
  for (const auto& [in, out] : cases) {
    EXPECT_EQ(reverse_bits(static_cast<std::uint8_t>(in)), out) << in;
    EXPECT_EQ(reverse_bits(static_cast<std::uint8_t>(out)), in) << out;
  }
}

}  // namespace
}  // namespace xev::test
