// The store against cpmtools on every shipped type it shares with them: an
// image formatted here takes a file written by cpmcp, and the store finds
// that file's entries and reads its data back record by record.
#include <gtest/gtest.h>

#include <fstream>
#include <sstream>
#include <string>

#include "store/directory.h"
#include "store/format.h"
#include "store/image.h"
#include "store_helpers.h"
#include "support/formats.h"
#include "support/test_state.h"

namespace xev::test {
namespace {

bool have_cpmtools() {
  return std::system(
             "command -v cpmcp >/dev/null 2>&1 && command -v cpmls >/dev/null 2>&1") == 0;
}

// The body of section [extension] of the shipped definition file.
std::string shipped_section(const std::string& extension) {
  std::ifstream in(std::string(XEV_SOURCE_DIR) + "/xev.ini");
  std::string line;
  std::string body;
  bool inside = false;
  while (std::getline(in, line)) {
    if (!line.empty() && line[0] == '[') {
      if (inside) break;
      inside = line == "[" + extension + "]";
      continue;
    }
    if (inside) body += line + "\n";
  }
  return body;
}

class StoreInterop : public testing::TestWithParam<InteropFormat> {};

TEST_P(StoreInterop, FileWrittenByCpmcpReadsBackThroughTheStore) {
  if (!have_cpmtools()) GTEST_SKIP() << "cpmtools not installed";
  const InteropFormat& format = GetParam();
  auto state = make_state(shipped_section(format.extension));
  ASSERT_EQ(state->image_size, format.image_size);
  ASSERT_EQ(state->system_size, format.system_size);
  ASSERT_EQ(state->pointers_per_entry, format.wide_pointers ? 8 : 16);

  TempDir dir;
  state->image_dir = dir.dir();
  state->cmd_full_format = true;
  ASSERT_EQ(quietly([&] { return open_image(*state); }), ERR_OK);
  ASSERT_EQ(quietly([&] { return format_image(*state, true); }), ERR_OK);
  ASSERT_EQ(quietly([&] { return clear_directory(*state); }), ERR_OK);
  close_image(*state);

  // 41260 bytes: 323 records over three logical extents.
  std::string data(41260, '\0');
  for (std::size_t i = 0; i < data.size(); ++i)
    data[i] = static_cast<char>((i * 7 + i / 256) & 0xFF);
  {
    std::ofstream out(dir.path("data.bin"), std::ios::binary);
    out.write(data.data(), static_cast<std::streamsize>(data.size()));
  }
  const std::string cpmcp = std::string("cpmcp -f ") + format.diskdef + " '" +
                            dir.path("test.dsk") + "' '" + dir.path("data.bin") +
                            "' 0:data.bin";
  ASSERT_EQ(std::system(cpmcp.c_str()), 0) << cpmcp;

  state->cmd_full_format = false;
  state->cmd_catalogue = true;
  ASSERT_EQ(quietly([&] { return open_image(*state); }), ERR_OK);
  ErrorCode code = ERR_FATAL;
  const Captured io = capture([&] { code = load_directory(*state); });
  EXPECT_EQ(code, ERR_OK);
  EXPECT_EQ(io.out + io.err, "");

  FcbName mask{};
  ASSERT_TRUE(parse_cpm_name(*state, mask.data(), "DATA.BIN"));
  const int first = search_first(*state, mask);
  ASSERT_GE(first, 0);
  EXPECT_EQ(search_next(*state), -1);
  const ExtentKey key = extent_key_of(*state, first);
  EXPECT_EQ(file_records(*state, key), 323);

  std::string read_back;
  std::vector<std::uint8_t> record(kRecordSize);
  int units = 0;
  for (int i = first; i >= 0; i = find_entry_from(*state, key, i + 1)) {
    for (int slot = 0; slot < state->pointers_per_entry; ++slot) {
      const int au = entry_pointer(*state, state->entry(i), slot);
      if (au == 0) break;
      ++units;
      for (int r = 0; r < state->records_per_au; ++r) {
        int track = 0;
        int sector = 0;
        ASSERT_TRUE(locate_record(*state, au, r, track, sector));
        ASSERT_EQ(read_record(*state, record.data(), track, sector), ERR_OK);
        read_back.append(reinterpret_cast<const char*>(record.data()), kRecordSize);
      }
    }
  }
  ASSERT_GE(read_back.size(), data.size());
  EXPECT_TRUE(read_back.compare(0, data.size(), data) == 0);
  EXPECT_EQ(units, static_cast<int>((data.size() + state->au_size - 1) / state->au_size));
  EXPECT_EQ(count_free_aus(*state), state->au_count - directory_au_count(*state) - units);
}

INSTANTIATE_TEST_SUITE_P(ShippedFormats, StoreInterop, testing::ValuesIn(kInteropFormats),
                         [](const testing::TestParamInfo<InteropFormat>& info) {
                           return std::string(info.param.extension);
                         });

}  // namespace
}  // namespace xev::test
