#include "support/sandbox.h"

#include <gtest/gtest.h>

#include <fcntl.h>
#include <poll.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <csignal>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <stdexcept>

namespace xev::test {

const char* const kBanner =
    "\nXEV CP/M Disk Image Manager v2.4\n(c) 2026 The xev Authors\n\n";

const char* const kEightInchDefinition =
    "SPT=26\n"
    "XLT=1,7,13,19,25,5,11,17,23,3,9,15,21,2,8,14,20,26,6,12,18,24,4,10,16,22\n"
    "BLS=1\n"
    "EXM=0\n"
    "DSM=242\n"
    "DRM=63\n"
    "OFF=2\n";

namespace {

std::string slurp(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  if (!in) throw std::runtime_error("cannot read " + path);
  std::ostringstream text;
  text << in.rdbuf();
  return text.str();
}

void spit(const std::string& path, const std::string& bytes) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  if (!out) throw std::runtime_error("cannot write " + path);
  out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
}

// The Windows build under test, or empty for the native one.
std::string windows_exe() {
  const char* exe = std::getenv("XEV_TEST_EXE");
  return exe != nullptr ? exe : "";
}

std::string env_or(const char* name, const std::string& fallback) {
  const char* value = std::getenv(name);
  return value != nullptr && *value != '\0' ? value : fallback;
}

// The program and argument words that start xev under Wine. Wine hands the
// program its own full path as argv[0]; any other argv[0] needs the launcher,
// which then starts the built xev.exe itself, as a link would resolve to it.
std::vector<std::string> wine_command(const std::string& program,
                                      const std::string& argv0,
                                      const std::vector<std::string>& args) {
  std::vector<std::string> words{env_or("XEV_TEST_RUNNER", "wine")};
  if (argv0 == program) {
    words.push_back(program);
  } else {
    const std::string launcher = env_or("XEV_TEST_LAUNCHER", "");
    if (launcher.empty()) {
      throw std::runtime_error("a run under Wine with argv[0] `" + argv0 +
                               "` needs XEV_TEST_LAUNCHER");
    }
    words.insert(words.end(), {launcher, windows_exe(), argv0});
  }
  words.insert(words.end(), args.begin(), args.end());
  return words;
}

// Called in the child before it starts Wine: quiet, and in a prefix of its
// own unless the caller chose one.
void prepare_wine_environment() {
  setenv("WINEDEBUG", "-all", 0);
  const std::string prefix = "/tmp/xev-wine-" + std::to_string(getuid());
  setenv("WINEPREFIX", prefix.c_str(), 0);
}

// Reads what is left in a pipe without waiting for its end.
void drain_ready(int fd, std::string& sink) {
  if (fd < 0) return;
  fcntl(fd, F_SETFL, fcntl(fd, F_GETFL) | O_NONBLOCK);
  char chunk[65536];
  ssize_t n = 0;
  while ((n = read(fd, chunk, sizeof chunk)) > 0 || (n < 0 && errno == EINTR)) {
    if (n > 0) sink.append(chunk, static_cast<std::size_t>(n));
  }
  close(fd);
}

void remove_tree(const std::string& dir) {
  const std::string command = "rm -rf '" + dir + "'";
  if (std::system(command.c_str()) != 0) {
    // Nothing useful to do in a destructor; the folder is under /tmp.
  }
}

}  // namespace

bool running_under_wine() {
  return !windows_exe().empty();
}

Sandbox::Sandbox() {
  const char* base = std::getenv("TMPDIR");
  std::string templ = std::string(base != nullptr ? base : "/tmp") + "/xev-test-XXXXXX";
  if (mkdtemp(templ.data()) == nullptr) throw std::runtime_error("mkdtemp failed");
  dir_ = templ;
  if (running_under_wine()) {
    spit(path("xev.exe"), slurp(windows_exe()));
    // Marks the test in the XML report: it ran the Windows build.
    ::testing::Test::RecordProperty("xev_exe", "wine");
  } else if (symlink(XEV_BINARY, path("xev").c_str()) != 0) {
    throw std::runtime_error("cannot link the xev binary");
  }
  spit(path("xev.ini"), slurp(std::string(XEV_SOURCE_DIR) + "/xev.ini"));
}

Sandbox::~Sandbox() {
  // Tests may leave read-only files or folders behind.
  const std::string command = "chmod -R u+rwx '" + dir_ + "' 2>/dev/null";
  if (std::system(command.c_str()) != 0) {
  }
  remove_tree(dir_);
}

void Sandbox::write_ini(const std::string& text) const {
  spit(path("xev.ini"), text);
}
void Sandbox::remove_ini() const {
  ::unlink(path("xev.ini").c_str());
}

void Sandbox::write_file(const std::string& name, const std::string& bytes) const {
  spit(path(name), bytes);
}

std::string Sandbox::read_file(const std::string& name) const {
  return slurp(path(name));
}

bool Sandbox::exists(const std::string& name) const {
  struct stat info {};
  return ::lstat(path(name).c_str(), &info) == 0;
}

void Sandbox::make_dir(const std::string& name) const {
  if (::mkdir(path(name).c_str(), 0755) != 0 && errno != EEXIST) {
    throw std::runtime_error("cannot create " + name);
  }
}

std::string Sandbox::program() const {
  return path(running_under_wine() ? "xev.exe" : "xev");
}

CliResult Sandbox::run(const std::vector<std::string>& args,
                       const std::string& input) const {
  return run_as(program(), args, input);
}

CliResult Sandbox::run_as(const std::string& argv0, const std::vector<std::string>& args,
                          const std::string& input) const {
  int in_pipe[2], out_pipe[2], err_pipe[2];
  if (pipe(in_pipe) != 0 || pipe(out_pipe) != 0 || pipe(err_pipe) != 0) {
    throw std::runtime_error("pipe failed");
  }
  const bool wine = running_under_wine();
  std::vector<std::string> words;
  if (wine) {
    words = wine_command(program(), argv0, args);
  } else {
    words.push_back(argv0);
    words.insert(words.end(), args.begin(), args.end());
  }
  std::vector<char*> argv;
  for (std::string& word : words) argv.push_back(word.data());
  argv.push_back(nullptr);

  const pid_t child = fork();
  if (child < 0) throw std::runtime_error("fork failed");
  if (child == 0) {
    dup2(in_pipe[0], STDIN_FILENO);
    dup2(out_pipe[1], STDOUT_FILENO);
    dup2(err_pipe[1], STDERR_FILENO);
    for (int fd :
         {in_pipe[0], in_pipe[1], out_pipe[0], out_pipe[1], err_pipe[0], err_pipe[1]}) {
      close(fd);
    }
    if (chdir(dir_.c_str()) != 0) _exit(126);
    if (wine) {
      prepare_wine_environment();
      execvp(argv[0], argv.data());
    } else {
      // argv[0] may be a bare name; the executable itself is always the link.
      execv(path("xev").c_str(), argv.data());
    }
    _exit(127);
  }
  close(in_pipe[0]);
  close(out_pipe[1]);
  close(err_pipe[1]);

  // Feed standard input and drain both outputs without blocking on either.
  std::signal(SIGPIPE, SIG_IGN);
  CliResult result;
  std::size_t fed = 0;
  int in_fd = in_pipe[1];
  if (input.empty()) {
    close(in_fd);
    in_fd = -1;
  }
  int out_fd = out_pipe[0];
  int err_fd = err_pipe[0];
  char chunk[65536];
  // Helper processes that Wine starts on the way may inherit the pipes and
  // hold them open long after xev has ended. Under Wine the end of xev itself
  // ends the reading, then: what it wrote is in the pipes by that time. The
  // poll timeout only lets the loop look at the child now and then.
  constexpr int kWineExitCheckMs = 50;
  int status = 0;
  bool reaped = false;
  while (out_fd >= 0 || err_fd >= 0) {
    pollfd fds[3];
    int count = 0;
    if (out_fd >= 0) fds[count++] = {out_fd, POLLIN, 0};
    if (err_fd >= 0) fds[count++] = {err_fd, POLLIN, 0};
    if (in_fd >= 0) fds[count++] = {in_fd, POLLOUT, 0};
    if (poll(fds, count, wine ? kWineExitCheckMs : -1) < 0) {
      if (errno == EINTR) continue;
      break;
    }
    for (int i = 0; i < count; ++i) {
      if (fds[i].revents == 0) continue;
      if (fds[i].fd == in_fd) {
        const ssize_t n = write(in_fd, input.data() + fed, input.size() - fed);
        if (n > 0) fed += static_cast<std::size_t>(n);
        if (n < 0 || fed == input.size()) {
          close(in_fd);
          in_fd = -1;
        }
        continue;
      }
      const ssize_t n = read(fds[i].fd, chunk, sizeof chunk);
      std::string& sink = fds[i].fd == out_fd ? result.out : result.err;
      if (n > 0) {
        sink.append(chunk, static_cast<std::size_t>(n));
      } else {
        close(fds[i].fd);
        (fds[i].fd == out_fd ? out_fd : err_fd) = -1;
      }
    }
    if (wine && waitpid(child, &status, WNOHANG) == child) {
      reaped = true;
      drain_ready(out_fd, result.out);
      drain_ready(err_fd, result.err);
      break;
    }
  }
  if (in_fd >= 0) close(in_fd);
  while (!reaped && waitpid(child, &status, 0) < 0 && errno == EINTR) {
  }
  result.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  return result;
}

}  // namespace xev::test
