// Record addressing through the skew table, transfers that must fail, and
// paths that name no image or host file.
#include "store/image.h"

#include <gtest/gtest.h>

#include <tuple>

#include "store_helpers.h"

namespace xev::test {
namespace {

const std::string kWriteError = "Error on write to the image `test.dsk` !!!\n";
const std::string kReadError = "Error on read from the image `test.dsk` !!!\n";

// A record written at a unit's record lands at exactly one place of the file.
TEST(Records, LandAtTheirOffsetThroughTheSkew) {
  // Three records of system area; the data still starts at track 2.
  const std::string offx =
      "SPT=26\nXLT=0\nBLS=1\nEXM=0\nDSM=242\nDRM=63\nOFF=2\nOFFX=3\n";
  const std::string skewed = kEightInchDefinition;
  const std::tuple<std::string, int, int, int, int, int> cases[] = {
      {skewed, 0, 1, 2, 1, 7424},  // logical record 1 is the 7th physical
      {offx, 3, 2, 3, 0, 384 + 3328},
      {kWideDefinition, 299, 15, 149, 31, 299 * 2048 + 15 * 128}};
  std::uint8_t record[kRecordSize];
  for (int i = 0; i < kRecordSize; ++i) record[i] = static_cast<std::uint8_t>(i + 1);
  const std::string text(reinterpret_cast<char*>(record), kRecordSize);
  for (const auto& [definition, au, rec, track_at, sector_at, offset] : cases) {
    auto state = make_state(definition);
    attach_image(*state, 0);
    int track = -1, sector = -1;
    ASSERT_TRUE(locate_record(*state, au, rec, track, sector));
    EXPECT_EQ(track * 100 + sector, track_at * 100 + sector_at);
    ASSERT_EQ(write_record(*state, record, track, sector), ERR_OK);
    std::string expected(static_cast<std::size_t>(state->image_size), '\0');
    EXPECT_TRUE(image_bytes(*state) == expected.replace(offset, kRecordSize, text))
        << offset;
  }
}

// Units, records or sectors outside the disk or its data area and a full
// device: each fails with its message, and nothing is written.
TEST(Records, FailedTransfersAreReported) {
  auto state = make_state(kEightInchDefinition);
  int track = 1234, sector = 5678;
  for (const auto& [au, record] : {std::pair{243, 0}, {0, 8}, {-1, 0}, {0, -1}})
    EXPECT_FALSE(locate_record(*state, au, record, track, sector)) << au << "/" << record;
  EXPECT_EQ(track * 10000 + sector, 12345678);  // left untouched

  attach_image(*state);
  std::uint8_t buffer[kRecordSize] = {0x11};
  const auto transfer = [&](int t, int s) {
    return capture([&] { return write_record(*state, buffer, t, s); }).err +
           capture([&] { return read_record(*state, buffer, t, s); }).err;
  };
  for (const auto& [t, s] : {std::pair{2, 26}, {77, 0}, {1, 0}})
    EXPECT_EQ(transfer(t, s), kWriteError + kReadError) << t << "/" << s;
  EXPECT_TRUE(image_bytes(*state) == std::string(256256, '\xE5'));

  // A write the device refuses shows at once, not lost in a buffer.
  state->image_file.reset(std::fopen("/dev/full", "r+b"));
  ASSERT_TRUE(state->image_file);
  const Captured w = capture([&] { return write_record(*state, buffer, 2, 0); });
  EXPECT_EQ(w.err + std::to_string(w.code),
            kWriteError + std::to_string(ERR_IMAGE_WRITE));
}

// Over 259 characters or a folder: refused as a failed open would be, where
// creating commands say the file exists. Nothing is created or removed.
TEST(OpenCli, PathsThatNameNoFile) {
  Sandbox box;
  box.write_ini(std::string("[dsk]\n") + kEightInchDefinition);
  ASSERT_EQ(box.run({"t.dsk", "-f"}).status, 0);
  box.make_dir("d.dsk");
  const std::string over = "." + std::string(254, '/') + "x.dsk";  // 260 characters
  const std::tuple<std::vector<std::string>, std::string, int> cases[] = {
      {{over, "-f"}, "Image `x.dsk` already exist !!!\n", 1},
      {{"d.dsk", "-x", "*.*"}, "Can't open image `d.dsk` !!!\n", 2},
      {{"t.dsk", "-w", "d.dsk"}, "Can't open file `d.dsk` !!!\n", 0}};
  for (const auto& [args, err, status] : cases) {
    const CliResult result = box.run(args);
    EXPECT_EQ(result.err + std::to_string(result.status), err + std::to_string(status));
  }
  EXPECT_FALSE(box.exists("x.dsk"));

  const CliResult created = box.run({"." + over.substr(2), "-f"});  // 259 characters
  EXPECT_EQ(created.out, std::string(kBanner) +
                             "Image 'x.dsk' was created.\nImage 'x.dsk' was formated.\n");
  EXPECT_EQ(box.read_file("x.dsk").size(), 256256u);
}

}  // namespace
}  // namespace xev::test
