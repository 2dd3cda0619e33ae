#include "cli/errors.h"

#include <gtest/gtest.h>

#include <string>

namespace xev {
namespace {

struct Report {
  ErrorCode returned;
  std::string err;
};

Report report(ErrorCode code, const char* subject, const char* detail) {
  testing::internal::CaptureStderr();
  const ErrorCode returned = raise_error(code, subject, detail);
  return {returned, testing::internal::GetCapturedStderr()};
}

TEST(RaiseError, PrintsOneLineWithTheTail) {
  const struct {
    ErrorCode code;
    const char* subject;
    const char* detail;
    const char* line;
  } cases[] = {
      {ERR_DISK_FULL, nullptr, nullptr, "Disk full !!!\n"},
      {ERR_OUT_OF_MEMORY, nullptr, nullptr, "Out of memory !!!\n"},
      // The value first, the option second.
      {ERR_BAD_VALUE, "-u", "40", "Bad value `40` for option `-u` !!!\n"},
      // Two codes, one text.
      {ERR_FILE_CREATE, "A.TXT", nullptr, "File `A.TXT` already exist !!!\n"},
      {ERR_FILE_EXISTS, "B.TXT", nullptr, "File `B.TXT` already exist !!!\n"},
      {ERR_CORRUPT_ENTRY, "FOO.COM", "bad user", "Corrupted directory entry `FOO.COM` (bad user) !!!\n"},
      {ERR_TYPE_MISMATCH, "b.img", "a.dsk",
       "Image `b.img` is of different type as main image `a.dsk` !!!\n"},
      {ERR_BAD_COMBINATION, "-c -x ", "", "Bad combination of options: -c -x   !!!\n"},
      {ERR_BAD_PATH, "x/*.q", nullptr, "Path or file/mask `x/*.q` is invalid!!! !!!\n"},
      {ERR_NO_CONFIG, "xev", nullptr, "Config file `xev.ini` missing !!!\n"},
      {ERR_MISSING_VALUE, "-sa", nullptr, "Missing option value(s) `-sa`! !!!\n"},
      // Texts are data, never formats.
      {ERR_FILE_NOT_FOUND, "100%s%n.TXT", nullptr, "File `100%s%n.TXT` not found !!!\n"},
      {ERR_FILE_NOT_FOUND, nullptr, nullptr, "File `` not found !!!\n"},
      // Codes outside the table print only the tail.
      {-50, "x", "y", " !!!\n"},
      {ERR_OK, "x", "y", "\n"},
  };
  for (const auto& test : cases) {
    SCOPED_TRACE(test.code);
    const Report result = report(test.code, test.subject, test.detail);
    EXPECT_EQ(result.returned, test.code);
    EXPECT_EQ(result.err, test.line);
  }
}

TEST(RaiseError, PrintsNumbersInBaseTen) {
  testing::internal::CaptureStderr();
  EXPECT_EQ(raise_error(ERR_FILE_TOO_LONG, "BIG.BIN", std::int64_t{9000000}), ERR_FILE_TOO_LONG);
  EXPECT_EQ(raise_error(ERR_SYSTEM_TOO_LONG, "CPM.SYS", std::int64_t{6656}), ERR_SYSTEM_TOO_LONG);
  EXPECT_EQ(raise_error(ERR_FILE_TOO_LONG, "HUGE", std::int64_t{5000000000}), ERR_FILE_TOO_LONG);
  EXPECT_EQ(testing::internal::GetCapturedStderr(),
            "File `BIG.BIN` is too long (9000000 bytes). Max length is 8MB. !!!\n"
            "System file `CPM.SYS` is too long. Max. length is 6656 bytes !!!\n"
            "File `HUGE` is too long (5000000000 bytes). Max length is 8MB. !!!\n");
}

}  // namespace
}  // namespace xev
