// Host files on POSIX systems.
#ifndef _FILE_OFFSET_BITS
#define _FILE_OFFSET_BITS 64  // 64-bit fseeko/ftello on 32-bit systems too
#endif
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <system_error>

#include "platform/platform.h"

namespace xev::platform {

bool seek(std::FILE* file, std::int64_t offset) {
  if (file == nullptr || offset < 0) return false;
  return fseeko(file, static_cast<off_t>(offset), SEEK_SET) == 0;
}

std::int64_t file_length(std::FILE* file) {
  if (file == nullptr || fseeko(file, 0, SEEK_END) != 0) return -1;
  return static_cast<std::int64_t>(ftello(file));
}

namespace {

// Opens without waiting for the other end of a pipe, then makes the file
// block as usual again.
FilePtr open_stream(const std::string& path, int flags, const char* mode) {
  const int fd = open(path.c_str(), flags | O_NONBLOCK | O_CLOEXEC, 0666);
  if (fd < 0) return nullptr;
  fcntl(fd, F_SETFL, fcntl(fd, F_GETFL) & ~O_NONBLOCK);
  FilePtr file(fdopen(fd, mode));
  if (!file) close(fd);
  return file;
}

}  // namespace

FilePtr create_file(const std::string& path) {
  struct stat info {};
  if (lstat(path.c_str(), &info) == 0) {
    if (!S_ISREG(info.st_mode) && !S_ISLNK(info.st_mode)) {
      return open_stream(path, O_WRONLY | O_NOFOLLOW, "wb");  // a device, or a pipe with a reader
    }
    unlink(path.c_str());
  }
  return create_exclusive(path);
}

FilePtr create_exclusive(const std::string& path) {
  return open_stream(path, O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW, "wb");
}

FilePtr open_file(const std::string& path, bool writable, bool create) {
  return open_stream(path, (writable ? O_RDWR : O_RDONLY) | (create ? O_CREAT : 0),
                     writable ? "r+b" : "rb");
}

bool try_lock(std::FILE* file, bool exclusive) {
#ifdef F_OFD_SETLK
  struct flock lock {};
  lock.l_type = static_cast<short>(exclusive ? F_WRLCK : F_RDLCK);
  lock.l_whence = SEEK_SET;  // the whole file, however long
  return fcntl(fileno(file), F_OFD_SETLK, &lock) == 0;
#else
  return flock(fileno(file), (exclusive ? LOCK_EX : LOCK_SH) | LOCK_NB) == 0;
#endif
}

bool truncate(std::FILE* file) { return ftruncate(fileno(file), 0) == 0; }

bool names_open_file(const std::string& path, std::FILE* file) {
  struct stat named {};
  struct stat open {};
  return stat(path.c_str(), &named) == 0 && fstat(fileno(file), &open) == 0 &&
         named.st_dev == open.st_dev && named.st_ino == open.st_ino;
}

std::string user_config_dir() {
  // A relative XDG_CONFIG_HOME is to be ignored, as the XDG rules say.
  const char* config = std::getenv("XDG_CONFIG_HOME");
  if (config != nullptr && config[0] == '/') return std::string(config) + "/";
  const char* home = std::getenv("HOME");
  if (home != nullptr && home[0] != '\0') return std::string(home) + "/.config/";
  return {};
}

const char* text_line_end() { return "\n"; }

bool replace_file(const std::string& path, const std::uint8_t* data, std::size_t size) {
  std::error_code error;
  const std::string target = std::filesystem::canonical(path, error).string();
  struct stat info {};
  if (stat(target.c_str(), &info) != 0) return false;  // also when there is no target
  std::string temp = target + ".XXXXXX";
  const int fd = mkstemp(temp.data());
  if (fd < 0) return false;
  bool ok = fchmod(fd, info.st_mode & 07777) == 0;
  for (std::size_t done = 0; ok && done < size;) {
    const ssize_t written = ::write(fd, data + done, size - done);
    ok = written > 0;
    if (ok) done += static_cast<std::size_t>(written);
  }
  ok = fsync(fd) == 0 && ok;
  ok = close(fd) == 0 && ok;
  ok = ok && std::rename(temp.c_str(), target.c_str()) == 0;
  if (!ok) unlink(temp.c_str());
  return ok;
}

}  // namespace xev::platform
