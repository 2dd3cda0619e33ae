// Host files on Windows.
#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#include <windows.h>

#include <cstdio>
#include <string>

#include "platform/platform.h"

namespace xev::platform {

bool seek(std::FILE* file, std::int64_t offset) {
  if (file == nullptr || offset < 0) return false;
  return _fseeki64(file, offset, SEEK_SET) == 0;
}

std::int64_t file_length(std::FILE* file) {
  if (file == nullptr || _fseeki64(file, 0, SEEK_END) != 0) return -1;
  return _ftelli64(file);
}

bool remove_regular_file(const std::string& path) {
  const DWORD attributes = GetFileAttributesA(path.c_str());
  if (attributes == INVALID_FILE_ATTRIBUTES) return false;
  if ((attributes & (FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_DEVICE)) != 0) return false;
  return DeleteFileA(path.c_str()) != 0;
}

}  // namespace xev::platform
