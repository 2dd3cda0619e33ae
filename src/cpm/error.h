// Failure codes and the value that carries one out of the core: the code,
// the name it concerns and a detail. The texts that users read belong to
// whoever prints them; the core only says what went wrong with what.
#pragma once

#include <cstdint>
#include <string>
#include <utility>

namespace xev {

// 0 is success, a negative value a failure. The magnitude becomes the
// process exit status.
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
constexpr ErrorCode ERR_IMAGE_BUSY = -28;
constexpr ErrorCode ERR_BAD_COMBINATION = -94;
constexpr ErrorCode ERR_UNKNOWN_OPTION = -95;
constexpr ErrorCode ERR_MISSING_VALUE = -96;
constexpr ErrorCode ERR_BAD_VALUE = -97;
constexpr ErrorCode ERR_OUT_OF_MEMORY = -98;
constexpr ErrorCode ERR_FATAL = -99;

// A failure: its code, the name it concerns (an image, a host file, a CP/M
// name, an option) and a detail (a second name, a reason or a number).
// Converts to true when it holds a failure, so that `if (Error e = f())`
// reads as "if f failed".
struct Error {
  ErrorCode code = ERR_OK;
  std::string subject;
  std::string detail;
  std::string hint;  // a line that follows the message, or empty

  Error() = default;
  Error(ErrorCode error_code, std::string error_subject = {},  // NOLINT: implicit on purpose
        std::string error_detail = {})
      : code(error_code),
        subject(std::move(error_subject)),
        detail(std::move(error_detail)) {}

  explicit operator bool() const { return code != ERR_OK; }
};

}  // namespace xev
