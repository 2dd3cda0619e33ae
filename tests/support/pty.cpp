#include "support/pty.h"

#include <fcntl.h>
#include <poll.h>
#include <pty.h>
#include <signal.h>
#include <sys/ioctl.h>
#include <sys/wait.h>
#include <termios.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <cerrno>
#include <chrono>
#include <fstream>
#include <sstream>
#include <stdexcept>

namespace xev::test {
namespace {

// Only keeps a broken program from hanging the suite.
constexpr auto kSafetyLimit = std::chrono::seconds(20);

// The state letter of `pid`: 'S' asleep, which xev only ever is in a read of
// its terminal; 'Z' ended but not yet reaped; 0 when gone.
char state_of(pid_t pid) {
  std::ostringstream text;
  text << std::ifstream("/proc/" + std::to_string(pid) + "/stat").rdbuf();
  const std::string stat = text.str();
  const std::size_t paren = stat.rfind(") ");
  return paren == std::string::npos ? '\0' : stat[paren + 2];
}

bool has_ended(pid_t pid) {
  const char state = state_of(pid);
  return state == 'Z' || state == '\0';
}

// Takes whatever output is available now. A non-blocking read of the master
// first moves output still in transit inside the terminal layer, so after it
// reports nothing, everything written so far has been collected.
void drain(int master, std::string& output) {
  char chunk[4096];
  for (ssize_t count; (count = read(master, chunk, sizeof chunk)) != 0;) {
    if (count < 0 && errno != EINTR) return;
    if (count > 0) output.append(chunk, static_cast<std::size_t>(count));
  }
}

// Collects output until `done` holds; a failure when the safety limit passes.
template <typename Done>
bool collect_until(int master, std::string& output, int poll_ms, const std::string& what,
                   Done done) {
  const auto deadline = std::chrono::steady_clock::now() + kSafetyLimit;
  while (std::chrono::steady_clock::now() < deadline) {
    drain(master, output);
    if (done()) return true;
    pollfd wait{master, POLLIN, 0};
    poll(&wait, 1, poll_ms);
  }
  ADD_FAILURE() << what << "; output: " << output;
  return false;
}

}  // namespace

PtySession::PtySession(const Sandbox& box, const std::vector<std::string>& args) {
  if (openpty(&master_, &slave_, nullptr, nullptr, nullptr) != 0) {
    throw std::runtime_error("openpty failed");
  }
  termios mode{};  // byte-exact output: no "\n" to "\r\n"
  tcgetattr(slave_, &mode);
  mode.c_oflag &= static_cast<tcflag_t>(~OPOST);
  tcsetattr(slave_, TCSANOW, &mode);
  fcntl(master_, F_SETFL, fcntl(master_, F_GETFL) | O_NONBLOCK);

  std::vector<std::string> words{box.path("xev")};
  words.insert(words.end(), args.begin(), args.end());
  std::vector<char*> argv;
  for (std::string& word : words) argv.push_back(word.data());
  argv.push_back(nullptr);

  child_ = fork();
  if (child_ < 0) throw std::runtime_error("fork failed");
  if (child_ > 0) return;
  // The program meets the signals and its terminal as a shell would start it.
  for (const int sig : {SIGINT, SIGQUIT, SIGTERM, SIGHUP, SIGTSTP, SIGPIPE})
    signal(sig, SIG_DFL);
  sigset_t none;
  sigemptyset(&none);
  sigprocmask(SIG_SETMASK, &none, nullptr);
  setsid();
  ioctl(slave_, TIOCSCTTY, 0);
  for (const int fd : {STDIN_FILENO, STDOUT_FILENO, STDERR_FILENO}) dup2(slave_, fd);
  close(master_);
  close(slave_);
  if (chdir(box.dir().c_str()) != 0) _exit(126);
  execv(argv[0], argv.data());
  _exit(127);
}

PtySession::~PtySession() {
  if (child_ > 0) {
    kill(child_, SIGKILL);
    waitpid(child_, nullptr, 0);
  }
  if (master_ >= 0) close(master_);
  if (slave_ >= 0) close(slave_);
}

bool PtySession::read_until(const std::string& text) {
  const auto seen = [&] { return output_.find(text) != std::string::npos; };
  collect_until(master_, output_, 100, "no \"" + text + "\" in the output",
                [&] { return seen() || has_ended(child_); });
  drain(master_, output_);
  return seen();
}

void PtySession::wait_until_idle() {
  collect_until(master_, output_, 1, "the program never waited for a key", [&] {
    // Polling the slave pushes keys still in transit to the line discipline;
    // no POLLIN afterwards means the program has read every key sent.
    pollfd keys{slave_, POLLIN, 0};
    const bool pending = poll(&keys, 1, 0) > 0 && (keys.revents & POLLIN) != 0;
    return has_ended(child_) || (!pending && state_of(child_) == 'S');
  });
  drain(master_, output_);
}

void PtySession::send(const std::string& keys) {
  // A few keys always fit the terminal's input queue.
  const ssize_t sent = write(master_, keys.data(), keys.size());
  EXPECT_EQ(sent, static_cast<ssize_t>(keys.size())) << "cannot send keys";
}

int PtySession::wait_exit() {
  if (!collect_until(master_, output_, 50, "the program did not end",
                     [&] { return has_ended(child_); })) {
    kill(child_, SIGKILL);
  }
  int status = 0;
  const pid_t done = waitpid(child_, &status, 0);
  child_ = -1;
  drain(master_, output_);
  if (done < 0) return -1;
  return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);  // as a shell
}

bool PtySession::terminal_restored() const {
  termios mode{};
  return tcgetattr(slave_, &mode) == 0 && (mode.c_lflag & ECHO) != 0 &&
         (mode.c_lflag & ICANON) != 0;
}

}  // namespace xev::test
