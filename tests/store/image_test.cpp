#include "store/image.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <fstream>
#include <sstream>
#include <vector>

#include "store_helpers.h"
#include "support/sandbox.h"
#include "support/test_state.h"

namespace xev::test {
namespace {

std::string slurp(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream text;
  text << in.rdbuf();
  return text.str();
}

void spit(const std::string& path, const std::string& bytes) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
}

// ---- record addressing ---------------------------------------------------

struct OffsetCase {
  const char* what;
  const char* definition;
  int au;
  int record;
  int track;
  int sector;
  long offset;
};

class RecordOffsets : public testing::TestWithParam<OffsetCase> {};

// A record written through locate_record and write_record lands at exactly
// one place of the file, and reads back from there.
TEST_P(RecordOffsets, RecordLandsAtItsOffset) {
  const OffsetCase& c = GetParam();
  auto state = make_state(c.definition);
  attach_image(*state, 0x00);
  int track = -1;
  int sector = -1;
  ASSERT_TRUE(locate_record(*state, c.au, c.record, track, sector));
  EXPECT_EQ(track, c.track);
  EXPECT_EQ(sector, c.sector);

  std::vector<std::uint8_t> record(kRecordSize);
  for (int i = 0; i < kRecordSize; ++i) record[i] = static_cast<std::uint8_t>(i + 1);
  ASSERT_EQ(write_record(*state, record.data(), track, sector), ERR_OK);

  std::string expected(static_cast<std::size_t>(state->image_size), '\0');
  expected.replace(static_cast<std::size_t>(c.offset), kRecordSize,
                   reinterpret_cast<const char*>(record.data()), kRecordSize);
  EXPECT_EQ(image_bytes(*state), expected);

  std::vector<std::uint8_t> back(kRecordSize, 0xAA);
  ASSERT_EQ(read_record(*state, back.data(), track, sector), ERR_OK);
  EXPECT_EQ(back, record);
}

INSTANTIATE_TEST_SUITE_P(
    Layouts, RecordOffsets,
    testing::Values(
        OffsetCase{"skew_first", kEightInchDefinition, 0, 0, 2, 0, 6656},
        // Logical record 1 of track 2 is the 7th physical record.
        OffsetCase{"skew_au0_rec1", kEightInchDefinition, 0, 1, 2, 1, 7424},
        OffsetCase{"skew_next_track", kEightInchDefinition, 3, 2, 3, 0, 6656 + 3328},
        OffsetCase{"skew_last", kEightInchDefinition, 242, 7, 76, 19,
                   6656 + 74 * 3328 + 11 * 128},
        OffsetCase{"identity", kIdentityDefinition, 5, 3, 3, 17, 6656 + 43 * 128},
        OffsetCase{"offx_first", kOffxDefinition, 0, 0, 2, 0, 384},
        OffsetCase{"offx_next_track", kOffxDefinition, 3, 2, 3, 0, 384 + 3328},
        OffsetCase{"no_system", kNoSystemDefinition, 1, 0, 0, 8, 1024},
        OffsetCase{"wide_last", kWideDefinition, 299, 15, 149, 31,
                   299 * 2048 + 15 * 128}),
    [](const testing::TestParamInfo<OffsetCase>& info) {
      return std::string(info.param.what);
    });

TEST(LocateRecord, RefusesUnitsAndRecordsOutsideTheDisk) {
  auto state = make_state(kEightInchDefinition);
  struct {
    int au;
    int record;
  } const outside[] = {{243, 0}, {0, 8}, {-1, 0}, {0, -1}, {243, 8}};
  for (const auto& c : outside) {
    int track = 1234;
    int sector = 5678;
    EXPECT_FALSE(locate_record(*state, c.au, c.record, track, sector))
        << c.au << "/" << c.record;
    EXPECT_EQ(track, 1234);
    EXPECT_EQ(sector, 5678);
  }
}

TEST(RecordTransfer, ShortImageFailsTheReadWithItsMessage) {
  auto state = make_state(kEightInchDefinition);
  state->image_file.reset(std::tmpfile());  // empty: every record is missing
  std::vector<std::uint8_t> buffer(kRecordSize);
  ErrorCode code = ERR_OK;
  const Captured io = capture([&] { code = read_record(*state, buffer.data(), 2, 0); });
  EXPECT_EQ(code, ERR_IMAGE_READ);
  EXPECT_EQ(io.err, "Error on read from the image `test.dsk` !!!\n");
  EXPECT_EQ(io.out, "");
}

TEST(RecordTransfer, SectorOrTrackOutsideTheImageIsRefused) {
  auto state = make_state(kEightInchDefinition);
  attach_image(*state);
  std::vector<std::uint8_t> buffer(kRecordSize, 0x11);
  for (const auto& [track, sector] :
       {std::pair{2, 26}, std::pair{2, -1}, std::pair{77, 0}, std::pair{1, 0}}) {
    ErrorCode code = ERR_OK;
    const Captured io =
        capture([&] { code = write_record(*state, buffer.data(), track, sector); });
    EXPECT_EQ(code, ERR_IMAGE_WRITE) << track << "/" << sector;
    EXPECT_EQ(io.err, "Error on write to the image `test.dsk` !!!\n");
  }
  EXPECT_EQ(image_bytes(*state), std::string(256256, '\xE5'));
}

// A write the device refuses is reported at once, not lost in a buffer.
TEST(RecordTransfer, WriteToAFullDeviceFails) {
  auto state = make_state(kEightInchDefinition);
  state->image_file.reset(std::fopen("/dev/full", "r+b"));
  ASSERT_TRUE(state->image_file);
  std::vector<std::uint8_t> buffer(kRecordSize, 0x11);
  ErrorCode code = ERR_OK;
  const Captured io = capture([&] { code = write_record(*state, buffer.data(), 2, 0); });
  EXPECT_EQ(code, ERR_IMAGE_WRITE);
  EXPECT_EQ(io.err, "Error on write to the image `test.dsk` !!!\n");
}

// ---- open_image ------------------------------------------------------------

enum class Command { kCatalogue, kErase, kExtract, kAdd, kQuick, kFull };

void set_command(RunState& state, Command command) {
  switch (command) {
    case Command::kCatalogue:
      state.cmd_catalogue = true;
      break;
    case Command::kErase:
      state.cmd_erase = true;
      break;
    case Command::kExtract:
      state.cmd_extract = true;
      break;
    case Command::kAdd:
      state.cmd_add = true;
      break;
    case Command::kQuick:
      state.cmd_quick_format = true;
      break;
    case Command::kFull:
      state.cmd_full_format = true;
      break;
  }
}

struct OpenResult {
  ErrorCode code;
  Captured io;
};

OpenResult open_in(RunState& state, const TempDir& dir) {
  state.image_dir = dir.dir();
  OpenResult result{ERR_OK, {}};
  result.io = capture([&] { result.code = open_image(state); });
  return result;
}

const std::string kCreated = "Image 'test.dsk' was created.\n";

struct MissingCase {
  Command command;
  ErrorCode code;
  const char* err;
};

TEST(OpenImage, MissingImageIsCreatedOnlyByCreatingCommands) {
  const MissingCase cases[] = {
      {Command::kCatalogue, ERR_IMAGE_OPEN, "Can't open image `test.dsk` !!!\n"},
      {Command::kErase, ERR_IMAGE_OPEN, "Can't open image `test.dsk` !!!\n"},
      {Command::kExtract, ERR_IMAGE_OPEN, "Can't open image `test.dsk` !!!\n"},
      {Command::kAdd, ERR_OK, ""},
      {Command::kQuick, ERR_OK, ""},
      {Command::kFull, ERR_OK, ""},
  };
  for (const MissingCase& c : cases) {
    TempDir dir;
    auto state = make_state(kEightInchDefinition);
    set_command(*state, c.command);
    const OpenResult result = open_in(*state, dir);
    SCOPED_TRACE(static_cast<int>(c.command));
    EXPECT_EQ(result.code, c.code);
    EXPECT_EQ(result.io.err, c.err);
    if (c.code != ERR_OK) {
      EXPECT_EQ(result.io.out, "");
      EXPECT_FALSE(state->image_file);
      EXPECT_NE(::access(dir.path("test.dsk").c_str(), F_OK), 0);
      continue;
    }
    EXPECT_EQ(result.io.out, kCreated);
    EXPECT_TRUE(state->cmd_full_format);  // a new image is always formatted fully
    state->image_file.reset();
    EXPECT_EQ(slurp(dir.path("test.dsk")), std::string(256256, '\xE5'));
  }
}

TEST(OpenImage, WrongSizeFailsExceptForTheFullFormat) {
  for (const int delta : {-128, 128}) {
    for (const Command command : {Command::kCatalogue, Command::kErase, Command::kAdd,
                                  Command::kQuick, Command::kFull}) {
      SCOPED_TRACE(std::to_string(delta) + " " +
                   std::to_string(static_cast<int>(command)));
      TempDir dir;
      const std::string old(static_cast<std::size_t>(256256 + delta), '\x42');
      spit(dir.path("test.dsk"), old);
      auto state = make_state(kEightInchDefinition);
      set_command(*state, command);
      const OpenResult result = open_in(*state, dir);
      state->image_file.reset();
      if (command == Command::kFull) {
        EXPECT_EQ(result.code, ERR_OK);
        EXPECT_EQ(result.io.out, kCreated);
        EXPECT_EQ(slurp(dir.path("test.dsk")), std::string(256256, '\xE5'));
      } else {
        EXPECT_EQ(result.code, ERR_IMAGE_SIZE);
        EXPECT_EQ(result.io.err, "Image `test.dsk` has bad size !!!\n");
        EXPECT_EQ(result.io.out, "");
        EXPECT_FALSE(state->cmd_full_format);
        EXPECT_EQ(slurp(dir.path("test.dsk")), old);
      }
    }
  }
}

TEST(OpenImage, EmptyFileIsNewForCreatingCommandsOnly) {
  for (const Command command :
       {Command::kCatalogue, Command::kExtract, Command::kAdd, Command::kQuick}) {
    SCOPED_TRACE(static_cast<int>(command));
    TempDir dir;
    spit(dir.path("test.dsk"), "");
    auto state = make_state(kEightInchDefinition);
    set_command(*state, command);
    const OpenResult result = open_in(*state, dir);
    const bool creating = command == Command::kAdd || command == Command::kQuick;
    EXPECT_EQ(result.code, creating ? ERR_OK : ERR_IMAGE_SIZE);
    EXPECT_EQ(result.io.out, creating ? kCreated : "");
    EXPECT_EQ(state->cmd_full_format, creating);
  }
}

TEST(OpenImage, ExistingImageKeepsItsContents) {
  TempDir dir;
  std::string old(256256, '\x42');
  old[1000] = 'x';
  spit(dir.path("test.dsk"), old);
  for (const Command command : {Command::kAdd, Command::kQuick, Command::kCatalogue}) {
    auto state = make_state(kEightInchDefinition);
    set_command(*state, command);
    const OpenResult result = open_in(*state, dir);
    EXPECT_EQ(result.code, ERR_OK);
    EXPECT_EQ(result.io.out, "");
    EXPECT_FALSE(state->cmd_full_format);
    EXPECT_EQ(image_bytes(*state), old);
  }
}

// Paths longer than 259 characters are refused as a failed open would be,
// before anything is created. "./" keeps the long path a valid one.
TEST(OpenImage, OverLongPathIsRefusedWithoutCreatingAnything) {
  TempDir dir;
  const std::string name = "test.dsk";
  std::string long_dir = dir.dir();
  while (long_dir.size() + name.size() <= kMaxJoinedPath) long_dir += "./";
  for (const Command command : {Command::kCatalogue, Command::kFull}) {
    auto state = make_state(kEightInchDefinition);
    set_command(*state, command);
    state->image_dir = long_dir;
    ErrorCode code = ERR_OK;
    const Captured io = capture([&] { code = open_image(*state); });
    if (command == Command::kFull) {
      EXPECT_EQ(code, ERR_IMAGE_EXISTS);
      EXPECT_EQ(io.err, "Image `test.dsk` already exist !!!\n");
    } else {
      EXPECT_EQ(code, ERR_IMAGE_OPEN);
      EXPECT_EQ(io.err, "Can't open image `test.dsk` !!!\n");
    }
    EXPECT_NE(::access(dir.path(name).c_str(), F_OK), 0);
  }

  // Exactly 259 characters are still a usable path.
  std::string fitting_dir = dir.dir();
  while (fitting_dir.size() + name.size() + 2 <= kMaxJoinedPath) fitting_dir += "./";
  fitting_dir += std::string(kMaxJoinedPath - fitting_dir.size() - name.size(), '/');
  ASSERT_EQ(fitting_dir.size() + name.size(), kMaxJoinedPath);
  auto state = make_state(kEightInchDefinition);
  state->cmd_full_format = true;
  state->image_dir = fitting_dir;
  ErrorCode code = ERR_IMAGE_OPEN;
  code = quietly([&] { return open_image(*state); });
  EXPECT_EQ(code, ERR_OK);
}

TEST(OpenImage, DirectoryIsNoImage) {
  TempDir dir;
  ASSERT_EQ(::mkdir(dir.path("test.dsk").c_str(), 0755), 0);
  for (const Command command : {Command::kCatalogue, Command::kFull}) {
    auto state = make_state(kEightInchDefinition);
    set_command(*state, command);
    const OpenResult result = open_in(*state, dir);
    EXPECT_EQ(result.code, command == Command::kFull ? ERR_IMAGE_EXISTS : ERR_IMAGE_OPEN);
    struct stat info {};
    ASSERT_EQ(::stat(dir.path("test.dsk").c_str(), &info), 0);
    EXPECT_TRUE(S_ISDIR(info.st_mode));
  }
}

// ---- host files ---------------------------------------------------------------

OpenResult open_host(RunState& state, const std::string& dir, const std::string& name,
                     bool for_writing) {
  state.host_dir = dir;
  state.host_name = name;
  OpenResult result{ERR_OK, {}};
  result.io = capture([&] { result.code = open_host_file(state, for_writing); });
  return result;
}

TEST(HostFile, ReadingGivesTheSizeAndStartsAtTheBeginning) {
  TempDir dir;
  spit(dir.path("in.bin"), "hello, world");
  auto state = make_state(kEightInchDefinition);
  const OpenResult result = open_host(*state, dir.dir(), "in.bin", false);
  ASSERT_EQ(result.code, ERR_OK);
  EXPECT_EQ(state->host_file_size, 12);
  char first = 0;
  ASSERT_EQ(std::fread(&first, 1, 1, state->host_file.get()), 1u);
  EXPECT_EQ(first, 'h');
  close_host_file(*state);
  EXPECT_FALSE(state->host_file);
}

TEST(HostFile, FailuresNameTheHostFile) {
  TempDir dir;
  ASSERT_EQ(::mkdir(dir.path("sub").c_str(), 0755), 0);
  std::string long_dir = dir.dir();
  while (long_dir.size() <= kMaxJoinedPath) long_dir += "./";
  struct {
    std::string dir;
    std::string name;
    bool for_writing;
    ErrorCode code;
    const char* err;
  } const cases[] = {
      {dir.dir(), "missing.txt", false, ERR_FILE_OPEN,
       "Can't open file `missing.txt` !!!\n"},
      {dir.dir(), "sub", false, ERR_FILE_OPEN, "Can't open file `sub` !!!\n"},
      {dir.dir(), "sub", true, ERR_FILE_CREATE, "File `sub` already exist !!!\n"},
      {dir.path("nowhere/"), "out.txt", true, ERR_FILE_CREATE,
       "File `out.txt` already exist !!!\n"},
      {long_dir, "x.txt", true, ERR_FILE_CREATE, "File `x.txt` already exist !!!\n"},
      {long_dir, "x.txt", false, ERR_FILE_OPEN, "Can't open file `x.txt` !!!\n"},
  };
  for (const auto& c : cases) {
    auto state = make_state(kEightInchDefinition);
    const OpenResult result = open_host(*state, c.dir, c.name, c.for_writing);
    EXPECT_EQ(result.code, c.code) << c.name;
    EXPECT_EQ(result.io.err, c.err);
    EXPECT_FALSE(state->host_file);
  }
  struct stat info {};
  ASSERT_EQ(::stat(dir.path("sub").c_str(), &info), 0);
  EXPECT_TRUE(S_ISDIR(info.st_mode));  // never removed
  EXPECT_NE(::access(dir.path("x.txt").c_str(), F_OK), 0);
}

TEST(HostFile, WritingReplacesAnExistingFile) {
  TempDir dir;
  spit(dir.path("out.bin"), "old contents");
  auto state = make_state(kEightInchDefinition);
  ASSERT_EQ(open_host(*state, dir.dir(), "out.bin", true).code, ERR_OK);
  EXPECT_EQ(state->host_file_size, 0);
  EXPECT_EQ(slurp(dir.path("out.bin")), "");
  ASSERT_EQ(std::fwrite("new", 1, 3, state->host_file.get()), 3u);
  close_host_file(*state);
  EXPECT_EQ(slurp(dir.path("out.bin")), "new");
}

// A link is replaced by a new file; what it pointed to stays as it was.
TEST(HostFile, WritingOverALinkLeavesItsTargetAlone) {
  TempDir dir;
  spit(dir.path("target.bin"), "precious");
  ASSERT_EQ(::symlink(dir.path("target.bin").c_str(), dir.path("out.bin").c_str()), 0);
  auto state = make_state(kEightInchDefinition);
  ASSERT_EQ(open_host(*state, dir.dir(), "out.bin", true).code, ERR_OK);
  close_host_file(*state);
  EXPECT_EQ(slurp(dir.path("target.bin")), "precious");
  struct stat info {};
  ASSERT_EQ(::lstat(dir.path("out.bin").c_str(), &info), 0);
  EXPECT_TRUE(S_ISREG(info.st_mode));
}

// A pipe is opened, never removed.
TEST(HostFile, PipeIsOpenedNotRemoved) {
  TempDir dir;
  ASSERT_EQ(::mkfifo(dir.path("pipe").c_str(), 0644), 0);
  auto state = make_state(kEightInchDefinition);
  ASSERT_EQ(open_host(*state, dir.dir(), "pipe", true).code, ERR_OK);
  close_host_file(*state);
  struct stat info {};
  ASSERT_EQ(::stat(dir.path("pipe").c_str(), &info), 0);
  EXPECT_TRUE(S_ISFIFO(info.st_mode));
}

}  // namespace
}  // namespace xev::test
