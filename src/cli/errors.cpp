#include "cli/errors.h"

#include <utility>

#include "platform/platform.h"

namespace xev {
namespace {

constexpr int kEnterKey = 13;

struct Message {
  ErrorCode code;
  const char* format;
};

constexpr Message kMessages[] = {
    {ERR_IMAGE_EXISTS, "Image `%s` already exist"},
    {ERR_IMAGE_OPEN, "Can't open image `%s`"},
    {ERR_IMAGE_SIZE, "Image `%s` has bad size"},
    {ERR_IMAGE_READ, "Error on read from the image `%s`"},
    {ERR_IMAGE_WRITE, "Error on write to the image `%s`"},
    {ERR_FILE_CREATE, "File `%s` already exist"},
    {ERR_FILE_OPEN, "Can't open file `%s`"},
    {ERR_FILE_READ, "Error on read from the file `%s`"},
    {ERR_FILE_WRITE, "Error on write to the file `%s`"},
    {ERR_DISK_FULL, "Disk full"},
    {ERR_DIRECTORY_FULL, "Directory full"},
    {ERR_FILE_EXISTS, "File `%s` already exist"},
    {ERR_FILE_NOT_FOUND, "File `%s` not found"},
    {ERR_BAD_NAME, "Name of this file `%s` has incorrect format"},
    {ERR_CORRUPT_ENTRY, "Corrupted directory entry `%s` (%s)"},
    {ERR_NO_EXTENSION, "Extension of the Image name `%s` missing"},
    {ERR_NO_CONFIG, "Config file `%s.ini` missing"},
    {ERR_NO_DEFINITION, "Definition for Image type `%s` missing"},
    {ERR_BAD_DEFINITION, "Error in definition for Image type `%s`"},
    {ERR_SYSTEM_TOO_LONG, "System file `%s` is too long. Max. length is %s bytes"},
    {ERR_NO_SYSTEM_TRACK, "Image `%s` does not contain system track"},
    {ERR_TYPE_MISMATCH, "Image `%s` is of different type as main image `%s`"},
    {ERR_FILE_TOO_LONG, "File `%s` is too long (%s bytes). Max length is 8MB."},
    {ERR_PATH_NOT_ALLOWED, "Path not allowed for option `%s`"},
    {ERR_NO_MATCH, "No matching files found for mask `%s`"},
    {ERR_BAD_PATH, "Path or file/mask `%s` is invalid!!!"},
    {ERR_AMBIGUOUS, "File name `%s` must be unambiguous!"},
    {ERR_IMAGE_BUSY, "Image `%s` is in use by another program"},
    {ERR_BAD_COMBINATION, "Bad combination of options: %s %s"},
    {ERR_UNKNOWN_OPTION, "Unknown option: `%s`"},
    {ERR_MISSING_VALUE, "Missing option value(s) `%s`!"},
    {ERR_BAD_VALUE, "Bad value `%s` for option `%s`"},
    {ERR_OUT_OF_MEMORY, "Out of memory"},
    {ERR_FATAL, "Fatal error"},
};

const char* find_format(ErrorCode code) {
  for (const Message& message : kMessages) {
    if (message.code == code) return message.format;
  }
  return nullptr;
}

}  // namespace

void print_error(std::FILE* stream, const Error& error) {
  const char* first = error.subject.c_str();
  const char* second = error.detail.c_str();
  // The bad-value message names the value first and the option second.
  if (error.code == ERR_BAD_VALUE) std::swap(first, second);
  if (const char* format = find_format(error.code)) {
    // Every format holds at most two text placeholders; surplus arguments
    // are ignored by printf.
    std::fprintf(stream, format, first, second);
  }
  if (error.code != ERR_OK) std::fputs(" !!!", stream);
  std::fputs("\n", stream);
  if (!error.hint.empty()) std::fprintf(stream, "%s\n", error.hint.c_str());
}

void ConsoleOutput::report(const Error& error) {
  std::fflush(text_);
  print_error(errors_, error);
}

void ConsoleOutput::wait_for_enter(const char* prompt) {
  std::fputs(prompt, text_);
  std::fflush(text_);
  // Output that goes to a file or a pipe waits for nobody.
  if (platform::is_console(text_)) platform::wait_for_key(kEnterKey);
}

}  // namespace xev
