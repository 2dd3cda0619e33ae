#include "support/pty.h"

#include <fcntl.h>
#include <poll.h>
#include <pty.h>
#include <sched.h>
#include <signal.h>
#include <sys/ioctl.h>
#include <sys/wait.h>
#include <termios.h>
#include <time.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <cerrno>
#include <chrono>
#include <cstring>
#include <fstream>
#include <sstream>
#include <stdexcept>

namespace xev::test {
namespace {

// Nothing a test waits for takes more than a fraction of this; it only
// keeps a broken program from hanging the suite.
constexpr auto kSafetyLimit = std::chrono::seconds(20);

#if defined(__x86_64__)
constexpr const char* kReadStdin = "0 0x0 ";
#elif defined(__aarch64__)
constexpr const char* kReadStdin = "63 0x0 ";
#else
constexpr const char* kReadStdin = nullptr;
#endif

std::string read_proc(pid_t pid, const char* entry) {
  std::ifstream in("/proc/" + std::to_string(pid) + "/" + entry);
  std::ostringstream text;
  text << in.rdbuf();
  return text.str();
}

// True when `pid` sleeps in a read of its standard input. The syscall entry
// says "running" for a task that is not blocked.
bool blocked_reading_stdin(pid_t pid) {
  if (kReadStdin != nullptr) {
    const std::string call = read_proc(pid, "syscall");
    if (!call.empty()) return call.rfind(kReadStdin, 0) == 0;
  }
  // Without the syscall entry: sleeping in the terminal's read.
  const std::string stat = read_proc(pid, "stat");
  const std::size_t paren = stat.rfind(')');
  if (paren == std::string::npos || paren + 2 >= stat.size() || stat[paren + 2] != 'S') {
    return false;
  }
  const std::string wchan = read_proc(pid, "wchan");
  return wchan == "n_tty_read" || wchan == "wait_woken";
}

bool has_exited(pid_t pid) {
  siginfo_t info{};
  // Looks without reaping, so that wait_exit still gets the status.
  if (waitid(P_PID, static_cast<id_t>(pid), &info, WEXITED | WNOHANG | WNOWAIT) != 0) {
    return true;
  }
  return info.si_pid == pid;
}

void pause_briefly() {
  sched_yield();
  const timespec pause{0, 200 * 1000};
  nanosleep(&pause, nullptr);
}

// Takes whatever output is available now. A non-blocking read of the master
// first moves output still in transit inside the terminal layer, so after it
// reports nothing, everything written so far has been collected.
bool drain(int master, std::string& output) {
  char chunk[4096];
  for (;;) {
    const ssize_t count = read(master, chunk, sizeof chunk);
    if (count > 0) {
      output.append(chunk, static_cast<std::size_t>(count));
      continue;
    }
    if (count < 0 && errno == EINTR) continue;
    return count < 0 && errno == EAGAIN;  // false: end of output
  }
}

}  // namespace

PtySession::PtySession(const Sandbox& box, const std::vector<std::string>& args) {
  termios mode{};
  if (openpty(&master_, &slave_, nullptr, nullptr, nullptr) != 0) {
    throw std::runtime_error("openpty failed");
  }
  // Byte-exact output: no "\n" to "\r\n" translation.
  tcgetattr(slave_, &mode);
  mode.c_oflag &= static_cast<tcflag_t>(~OPOST);
  tcsetattr(slave_, TCSANOW, &mode);
  fcntl(master_, F_SETFL, fcntl(master_, F_GETFL) | O_NONBLOCK);

  const std::string program = box.path("xev");
  std::vector<std::string> words{program};
  words.insert(words.end(), args.begin(), args.end());
  std::vector<char*> argv;
  for (std::string& word : words) argv.push_back(word.data());
  argv.push_back(nullptr);

  child_ = fork();
  if (child_ < 0) throw std::runtime_error("fork failed");
  if (child_ == 0) {
    // The program meets the signals as a shell would start it.
    for (const int signal_number : {SIGINT, SIGQUIT, SIGTERM, SIGHUP, SIGTSTP, SIGPIPE}) {
      signal(signal_number, SIG_DFL);
    }
    sigset_t none;
    sigemptyset(&none);
    sigprocmask(SIG_SETMASK, &none, nullptr);
    setsid();
    ioctl(slave_, TIOCSCTTY, 0);
    dup2(slave_, STDIN_FILENO);
    dup2(slave_, STDOUT_FILENO);
    dup2(slave_, STDERR_FILENO);
    close(master_);
    close(slave_);
    if (chdir(box.dir().c_str()) != 0) _exit(126);
    execv(program.c_str(), argv.data());
    _exit(127);
  }
}

PtySession::~PtySession() {
  if (child_ > 0) {
    kill(child_, SIGKILL);
    while (waitpid(child_, nullptr, 0) < 0 && errno == EINTR) {
    }
  }
  if (master_ >= 0) close(master_);
  if (slave_ >= 0) close(slave_);
}

bool PtySession::read_until(const std::string& text) {
  const auto deadline = std::chrono::steady_clock::now() + kSafetyLimit;
  for (;;) {
    const bool open = drain(master_, output_);
    if (output_.find(text) != std::string::npos) return true;
    if (!open) return false;
    if (has_exited(child_)) {
      drain(master_, output_);
      return output_.find(text) != std::string::npos;
    }
    if (std::chrono::steady_clock::now() > deadline) {
      ADD_FAILURE() << "no \"" << text << "\" in the output: " << output_;
      return false;
    }
    pollfd wait{master_, POLLIN, 0};
    poll(&wait, 1, 100);
  }
}

void PtySession::wait_until_idle() {
  const auto deadline = std::chrono::steady_clock::now() + kSafetyLimit;
  for (;;) {
    drain(master_, output_);
    if (has_exited(child_)) break;
    // Polling the slave pushes keys still in transit to the line discipline;
    // no POLLIN afterwards means the program has read every key sent.
    pollfd keys{slave_, POLLIN, 0};
    const bool keys_pending = poll(&keys, 1, 0) > 0 && (keys.revents & POLLIN) != 0;
    if (!keys_pending && blocked_reading_stdin(child_)) break;
    if (std::chrono::steady_clock::now() > deadline) {
      ADD_FAILURE() << "the program never waited for a key; output: " << output_;
      break;
    }
    pause_briefly();
  }
  drain(master_, output_);
}

void PtySession::send(const std::string& keys) {
  std::size_t sent = 0;
  while (sent < keys.size()) {
    const ssize_t count = write(master_, keys.data() + sent, keys.size() - sent);
    if (count > 0) {
      sent += static_cast<std::size_t>(count);
    } else if (count < 0 && errno != EINTR && errno != EAGAIN) {
      ADD_FAILURE() << "cannot send keys: " << std::strerror(errno);
      return;
    } else {
      pollfd wait{master_, POLLOUT, 0};
      poll(&wait, 1, 100);
    }
  }
}

int PtySession::wait_exit() {
  const auto deadline = std::chrono::steady_clock::now() + kSafetyLimit;
  int status = 0;
  for (;;) {
    drain(master_, output_);
    const pid_t done = waitpid(child_, &status, WNOHANG);
    if (done == child_) break;
    if (done < 0 && errno != EINTR) return -1;
    if (std::chrono::steady_clock::now() > deadline) {
      ADD_FAILURE() << "the program did not end; output: " << output_;
      kill(child_, SIGKILL);
      waitpid(child_, &status, 0);
      break;
    }
    pollfd wait{master_, POLLIN, 0};
    poll(&wait, 1, 50);
  }
  child_ = -1;
  drain(master_, output_);
  if (WIFEXITED(status)) return WEXITSTATUS(status);
  if (WIFSIGNALED(status)) return 128 + WTERMSIG(status);  // as a shell reports it
  return -1;
}

bool PtySession::terminal_restored() const {
  termios mode{};
  if (tcgetattr(slave_, &mode) != 0) return false;
  return (mode.c_lflag & ECHO) != 0 && (mode.c_lflag & ICANON) != 0;
}

}  // namespace xev::test
