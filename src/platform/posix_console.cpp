// Console keys and the executable's directory on POSIX systems.
#include <signal.h>
#include <termios.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <cstdio>
#include <string>

#include "platform/platform.h"

namespace xev::platform {
namespace {

// The terminal settings to bring back. A signal handler needs them, so they
// live here for the duration of one wait and nowhere else.
struct termios g_saved_mode;
struct termios g_key_mode;
volatile sig_atomic_t g_mode_changed = 0;

// Signals that end the process while it waits: the terminal is restored
// first, then the signal takes its default action.
constexpr int kFatalSignals[] = {SIGINT, SIGTERM, SIGHUP, SIGQUIT};
constexpr int kSignalCount = sizeof kFatalSignals / sizeof kFatalSignals[0];

void restore_terminal() {
  if (g_mode_changed) tcsetattr(STDIN_FILENO, TCSANOW, &g_saved_mode);
}

void on_fatal_signal(int signal_number) {
  const int saved_errno = errno;
  restore_terminal();
  struct sigaction action {};
  action.sa_handler = SIG_DFL;
  sigaction(signal_number, &action, nullptr);
  // Delivered with the default action as soon as this handler returns.
  raise(signal_number);
  errno = saved_errno;
}

// Ctrl-Z: give the shell its terminal back while stopped, take the key mode
// again when continued.
void on_stop_signal(int signal_number) {
  const int saved_errno = errno;
  restore_terminal();
  struct sigaction action {};
  struct sigaction own {};
  action.sa_handler = SIG_DFL;
  sigaction(signal_number, &action, &own);
  sigset_t unblock;
  sigemptyset(&unblock);
  sigaddset(&unblock, signal_number);
  // Stops here until SIGCONT; the mask the handler began with comes back
  // when it returns.
  sigprocmask(SIG_UNBLOCK, &unblock, nullptr);
  raise(signal_number);
  sigaction(signal_number, &own, nullptr);
  if (g_mode_changed) tcsetattr(STDIN_FILENO, TCSANOW, &g_key_mode);
  errno = saved_errno;
}

// Installs the handlers for the time of the wait; the destructor puts back
// the previous ones and the terminal mode.
class KeyModeGuard {
 public:
  KeyModeGuard() {
    // A handler runs with every other signal held back.
    struct sigaction action {};
    action.sa_handler = on_fatal_signal;
    sigfillset(&action.sa_mask);
    for (int i = 0; i < kSignalCount; ++i) {
      install(kFatalSignals[i], action, previous_[i]);
    }
    struct sigaction stop = action;
    stop.sa_handler = on_stop_signal;
    install(SIGTSTP, stop, previous_stop_);

    g_key_mode = g_saved_mode;
    g_key_mode.c_lflag &= static_cast<tcflag_t>(~(ICANON | ECHO));
    g_key_mode.c_iflag &= static_cast<tcflag_t>(~ICRNL);
    g_key_mode.c_cc[VMIN] = 1;
    g_mode_changed = true;
    active_ = tcsetattr(STDIN_FILENO, TCSANOW, &g_key_mode) == 0;
  }

  ~KeyModeGuard() {
    restore_terminal();
    g_mode_changed = 0;
    sigaction(SIGTSTP, &previous_stop_, nullptr);
    for (int i = 0; i < kSignalCount; ++i) {
      sigaction(kFatalSignals[i], &previous_[i], nullptr);
    }
  }

  KeyModeGuard(const KeyModeGuard&) = delete;
  KeyModeGuard& operator=(const KeyModeGuard&) = delete;

  bool active() const { return active_; }

 private:
  // A signal the caller chose to ignore (a background job) stays ignored.
  static void install(int signal_number, const struct sigaction& action,
                      struct sigaction& previous) {
    sigaction(signal_number, nullptr, &previous);
    if (previous.sa_handler != SIG_IGN) sigaction(signal_number, &action, nullptr);
  }

  struct sigaction previous_[kSignalCount] {};
  struct sigaction previous_stop_ {};
  bool active_ = false;
};

}  // namespace

void wait_for_key(int key_code) {
  if (!isatty(STDIN_FILENO)) return;
  if (tcgetattr(STDIN_FILENO, &g_saved_mode) != 0) return;
  KeyModeGuard guard;
  if (!guard.active()) return;
  for (;;) {
    unsigned char key = 0;
    const ssize_t count = read(STDIN_FILENO, &key, 1);
    if (count == 1) {
      if (key == key_code) return;
      continue;
    }
    if (count < 0 && errno == EINTR) continue;
    return;  // end of input or a failing terminal
  }
}

bool is_console(std::FILE* stream) {
  return isatty(fileno(stream)) != 0;
}

std::string executable_dir() {
  char path[PATH_MAX];
  const ssize_t length = readlink("/proc/self/exe", path, sizeof path);
  if (length < 0 || length == sizeof path) return {};
  const std::string dir(path, static_cast<std::size_t>(length));
  return dir.substr(0, dir.rfind('/') + 1);  // npos + 1: none
}

// POSIX streams never translate line ends.
void use_binary_streams() {}

}  // namespace xev::platform
