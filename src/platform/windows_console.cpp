// Console keys and the executable's directory on Windows.
#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#include <windows.h>

#include <conio.h>
#include <fcntl.h>
#include <io.h>

#include <csignal>
#include <cstdio>
#include <initializer_list>
#include <string>
#include <vector>

#include "platform/platform.h"

namespace xev::platform {
namespace {

constexpr int kCtrlC = 3;

// Function and cursor keys arrive as a prefix byte and a scan code.
bool is_extended_prefix(int key) {
  return key == 0 || key == 0xE0;
}

// A real console; redirected input (the NUL device included, which counts as
// a character device) is not one.
bool stdin_is_console() {
  DWORD mode = 0;
  return _isatty(_fileno(stdin)) != 0 &&
         GetConsoleMode(GetStdHandle(STD_INPUT_HANDLE), &mode) != 0;
}

}  // namespace

void use_binary_streams() {
  for (std::FILE* stream : {stdin, stdout, stderr}) _setmode(_fileno(stream), _O_BINARY);
}

void wait_for_key(int key_code) {
  if (!stdin_is_console()) return;
  for (;;) {
    const int key = _getch();
    if (key == key_code || key == EOF) return;  // EOF: the console cannot be read
    // The scan code that belongs to the prefix is already waiting; without
    // one, 0xE0 was a plain character of the console's code page.
    if (is_extended_prefix(key) && _kbhit()) {
      _getch();
      continue;
    }
    // _getch hands Ctrl-C over as a key; treat it as the interrupt it is.
    if (key == kCtrlC) std::raise(SIGINT);
  }
}

bool is_console(std::FILE* stream) {
  const int fd = _fileno(stream);
  DWORD mode = 0;
  return fd >= 0 && _isatty(fd) != 0 &&
         GetConsoleMode(reinterpret_cast<HANDLE>(_get_osfhandle(fd)), &mode) != 0;
}

std::string executable_dir() {
  std::vector<char> buffer(MAX_PATH + 1);
  for (;;) {
    const DWORD size = static_cast<DWORD>(buffer.size());
    const DWORD length = GetModuleFileNameA(nullptr, buffer.data(), size);
    if (length == 0) return {};
    if (length < size) {
      const std::string path(buffer.data(), length);
      const std::size_t separator = path.find_last_of("\\/");
      return separator == std::string::npos ? std::string()
                                            : path.substr(0, separator + 1);
    }
    // Cut short: try again with more room.
    if (buffer.size() >= 32768) return {};
    buffer.resize(buffer.size() * 2);
  }
}

}  // namespace xev::platform
