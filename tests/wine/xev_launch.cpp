// Starts a Windows program under a program name of the caller's choosing.
// Wine puts the full path of the program it starts in front of the command
// line, whatever it was given; the tests that call xev by a bare name or by
// some other path start it through this launcher instead:
//
//   xev_launch.exe PROGRAM ARGV0 [ARG...]
//
// PROGRAM is started with the command line ARGV0 ARG..., inheriting the
// standard streams; the launcher exits with its exit code.
#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#include <windows.h>

#include <cstdio>
#include <string>

namespace {

constexpr int kLaunchFailed = 125;

// One argument as the C runtime's command-line parser gives it back: quoted
// when it holds a blank or a quote or is empty; backslashes are doubled only
// before a quote.
std::string quote_argument(const std::string& text) {
  if (!text.empty() && text.find_first_of(" \t\n\v\"") == std::string::npos) return text;
  std::string quoted = "\"";
  std::size_t backslashes = 0;
  for (const char c : text) {
    if (c == '\\') {
      ++backslashes;
      continue;
    }
    quoted.append(c == '"' ? backslashes * 2 + 1 : backslashes, '\\');
    backslashes = 0;
    quoted += c;
  }
  quoted.append(backslashes * 2, '\\');
  quoted += '"';
  return quoted;
}

// The program name follows simpler rules: no escapes, quotes only group.
std::string quote_program_name(const std::string& text) {
  if (text.find_first_of(" \t") == std::string::npos) return text;
  return "\"" + text + "\"";
}

HANDLE inheritable(DWORD which) {
  const HANDLE handle = GetStdHandle(which);
  if (handle != nullptr && handle != INVALID_HANDLE_VALUE) {
    SetHandleInformation(handle, HANDLE_FLAG_INHERIT, HANDLE_FLAG_INHERIT);
  }
  return handle;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 3) {
    std::fprintf(stderr, "usage: xev_launch PROGRAM ARGV0 [ARG...]\n");
    return kLaunchFailed;
  }
  std::string command_line = quote_program_name(argv[2]);
  for (int i = 3; i < argc; ++i) command_line += " " + quote_argument(argv[i]);

  STARTUPINFOA startup{};
  startup.cb = sizeof startup;
  startup.dwFlags = STARTF_USESTDHANDLES;
  startup.hStdInput = inheritable(STD_INPUT_HANDLE);
  startup.hStdOutput = inheritable(STD_OUTPUT_HANDLE);
  startup.hStdError = inheritable(STD_ERROR_HANDLE);
  PROCESS_INFORMATION process{};
  if (!CreateProcessA(argv[1], command_line.data(), nullptr, nullptr, TRUE, 0, nullptr,
                      nullptr, &startup, &process)) {
    std::fprintf(stderr, "xev_launch: cannot start %s (error %lu)\n", argv[1],
                 GetLastError());
    return kLaunchFailed;
  }
  CloseHandle(process.hThread);
  WaitForSingleObject(process.hProcess, INFINITE);
  DWORD code = kLaunchFailed;
  GetExitCodeProcess(process.hProcess, &code);
  CloseHandle(process.hProcess);
  return static_cast<int>(code);
}
