// Error codes, their messages and the one place that prints them.
#pragma once

#include <cstdint>

namespace xev {

// 0 is success, a negative value a failure; the process exit status is the
// magnitude of the first failure found before a command runs.
using ErrorCode = std::int32_t;

constexpr ErrorCode ERR_OK = 0;
constexpr ErrorCode ERR_IMAGE_EXISTS = -1;
constexpr ErrorCode ERR_IMAGE_OPEN = -2;
constexpr ErrorCode ERR_IMAGE_SIZE = -3;
constexpr ErrorCode ERR_IMAGE_READ = -4;
constexpr ErrorCode ERR_IMAGE_WRITE = -5;
constexpr ErrorCode ERR_FILE_CREATE = -6;
constexpr ErrorCode ERR_FILE_OPEN = -7;
constexpr ErrorCode ERR_FILE_READ = -8;
constexpr ErrorCode ERR_FILE_WRITE = -9;
constexpr ErrorCode ERR_DISK_FULL = -10;
constexpr ErrorCode ERR_DIRECTORY_FULL = -11;
constexpr ErrorCode ERR_FILE_EXISTS = -12;
constexpr ErrorCode ERR_FILE_NOT_FOUND = -13;
constexpr ErrorCode ERR_BAD_NAME = -14;
constexpr ErrorCode ERR_CORRUPT_ENTRY = -15;
constexpr ErrorCode ERR_NO_EXTENSION = -16;
constexpr ErrorCode ERR_NO_CONFIG = -17;
constexpr ErrorCode ERR_NO_DEFINITION = -18;
constexpr ErrorCode ERR_BAD_DEFINITION = -19;
constexpr ErrorCode ERR_SYSTEM_TOO_LONG = -20;
constexpr ErrorCode ERR_NO_SYSTEM_TRACK = -21;
constexpr ErrorCode ERR_TYPE_MISMATCH = -22;
constexpr ErrorCode ERR_FILE_TOO_LONG = -23;
constexpr ErrorCode ERR_PATH_NOT_ALLOWED = -24;
constexpr ErrorCode ERR_NO_MATCH = -25;
constexpr ErrorCode ERR_BAD_PATH = -26;
constexpr ErrorCode ERR_AMBIGUOUS = -27;
constexpr ErrorCode ERR_BAD_COMBINATION = -94;
constexpr ErrorCode ERR_UNKNOWN_OPTION = -95;
constexpr ErrorCode ERR_MISSING_VALUE = -96;
constexpr ErrorCode ERR_BAD_VALUE = -97;
constexpr ErrorCode ERR_OUT_OF_MEMORY = -98;
constexpr ErrorCode ERR_FATAL = -99;

// Not a failure: the option parser's answer that the usage text is wanted.
// Never passed to raise_error.
constexpr ErrorCode SHOW_USAGE = -100;

// Prints the message of `code` on standard error, filled with `subject` and
// `detail` in the order its format asks for, then " !!!" and a line end.
// Returns `code`. Null texts print as empty texts.
ErrorCode raise_error(ErrorCode code, const char* subject = nullptr,
                      const char* detail = nullptr);

// For the two messages that carry a number (ERR_SYSTEM_TOO_LONG,
// ERR_FILE_TOO_LONG).
ErrorCode raise_error(ErrorCode code, const char* subject, std::int64_t number);

}  // namespace xev
