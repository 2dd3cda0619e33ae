#include "support/harness.h"

#include <gtest/gtest.h>
#include <sys/resource.h>
#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <random>
#include <sstream>

#include "cli/errors.h"
#include "cli/run.h"

namespace xev::test {

const std::string kBanner = "\nXEV CP/M Disk Image Manager v2.4\n(c) 2026 The xev Authors\n\n";

const std::string kEightInch =
    "[dsk]\nSPT=26\nXLT=1,7,13,19,25,5,11,17,23,3,9,15,21,2,8,14,20,26,6,12,18,24,4,10,16,22\n"
    "BLS=1\nEXM=0\nDSM=242\nDRM=63\nOFF=2\n";

std::string section(const std::string& name, int spt, int bls, int exm, int dsm, int drm,
                    int off) {
  std::ostringstream text;
  text << "[" << name << "]\nSPT=" << spt << "\nXLT=0\nBLS=" << bls << "\nEXM=" << exm
       << "\nDSM=" << dsm << "\nDRM=" << drm << "\nOFF=" << off << "\n";
  return text.str();
}

Folder::Folder() {
  std::string pattern = (std::filesystem::temp_directory_path() / "xev-test-XXXXXX").string();
  if (::mkdtemp(pattern.data()) == nullptr) std::abort();
  dir_ = pattern;
}

Folder::~Folder() {
  std::error_code ignored;
  std::filesystem::remove_all(dir_, ignored);
}

void Folder::write(const std::string& name, const std::string& bytes) const {
  std::ofstream(path(name), std::ios::binary) << bytes;
}

std::string Folder::read(const std::string& name) const {
  std::ifstream file(path(name), std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(file), {});
}

bool Folder::exists(const std::string& name) const {
  return std::filesystem::exists(std::filesystem::symlink_status(path(name)));
}

namespace {

// No test writes a file of more than 64 MiB or needs 10 s of processor time:
// a fault that makes xev write or loop on and on ends the test there instead
// of filling the disk or running until someone notices.
const bool kLimited = [] {
  const rlimit size{64 << 20, 64 << 20}, time{10, 10};
  return ::setrlimit(RLIMIT_FSIZE, &size) == 0 && ::setrlimit(RLIMIT_CPU, &time) == 0;
}();

// What a stream from tmpfile() holds, which it then closes.
std::string take(std::FILE* file) {
  std::string text;
  std::rewind(file);
  for (int c; (c = std::fgetc(file)) != EOF;) text += char(c);
  std::fclose(file);
  return text;
}

}  // namespace

Result xev(const Folder& folder, const std::vector<std::string>& args, bool banner) {
  const std::string program = folder.path("xev");
  std::vector<const char*> argv{program.c_str()};
  for (const std::string& arg : args) argv.push_back(arg.c_str());

  const std::filesystem::path before = std::filesystem::current_path();
  std::filesystem::current_path(folder.path());
  std::FILE* out = std::tmpfile();
  std::FILE* err = std::tmpfile();
  ConsoleOutput console(out, err);
  Result run;
  run.status = run_program(static_cast<int>(argv.size()), argv.data(), console);
  std::filesystem::current_path(before);
  run.out = take(out);
  run.err = take(err);
  if (banner) {
    EXPECT_EQ(run.out.substr(0, kBanner.size()), kBanner);
    run.out.erase(0, kBanner.size());
  }
  return run;
}

Result run(const Folder& folder, const std::string& line) {
  std::istringstream words(line);
  std::vector<std::string> args;
  for (std::string word; words >> word;) args.push_back(word);
  return xev(folder, args);
}

std::string entry(int user, std::string name, std::string type, int ex, int s2, int rc,
                  std::initializer_list<int> pointers, bool wide) {
  name.resize(8, ' ');
  type.resize(3, ' ');
  std::string bytes = char(user) + name + type + char(ex) + '\0' + char(s2) + char(rc);
  for (int au : pointers) {
    bytes += char(au & 0xFF);
    if (wide) bytes += char(au >> 8);
  }
  bytes.resize(32, '\0');
  return bytes;
}

void patch(const Folder& folder, const std::string& image, std::size_t offset,
           const std::string& bytes) {
  std::string data = folder.read(image);
  data.replace(offset, bytes.size(), bytes);
  folder.write(image, data);
}

std::string noise(std::size_t size, unsigned seed) {
  std::minstd_rand random(seed + 1);
  std::string data(size, '\0');
  for (char& c : data) c = char(random() >> 8);
  return data;
}

}  // namespace xev::test
