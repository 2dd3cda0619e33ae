// Host files on POSIX systems.
#ifndef _FILE_OFFSET_BITS
#define _FILE_OFFSET_BITS 64  // 64-bit fseeko/ftello on 32-bit systems too
#endif
#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <string>

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

bool remove_regular_file(const std::string& path) {
  struct stat info {};
  if (lstat(path.c_str(), &info) != 0) return false;
  if (!S_ISREG(info.st_mode) && !S_ISLNK(info.st_mode)) return false;
  return unlink(path.c_str()) == 0;
}

}  // namespace xev::platform
