// Host files on Windows.
#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#include <windows.h>

#include <fcntl.h>
#include <io.h>
#include <sys/stat.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
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

FilePtr create_file(const std::string& path) {
  const DWORD attributes = GetFileAttributesA(path.c_str());
  if (attributes != INVALID_FILE_ATTRIBUTES &&
      (attributes & (FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_DEVICE)) == 0) {
    DeleteFileA(path.c_str());
  }
  return create_exclusive(path);
}

FilePtr create_exclusive(const std::string& path) {
  // CREATE_NEW fails on anything that took the name in between, a link
  // included.
  const HANDLE handle = CreateFileA(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                                    FILE_ATTRIBUTE_NORMAL | FILE_FLAG_OPEN_REPARSE_POINT, nullptr);
  if (handle == INVALID_HANDLE_VALUE) return nullptr;
  const int fd = _open_osfhandle(reinterpret_cast<intptr_t>(handle), _O_WRONLY | _O_BINARY);
  if (fd < 0) {
    CloseHandle(handle);
    return nullptr;
  }
  FilePtr file(_fdopen(fd, "wb"));
  if (!file) _close(fd);
  return file;
}

FilePtr open_file(const std::string& path, bool writable, bool create) {
  const int flags = (writable ? _O_RDWR : _O_RDONLY) | (create ? _O_CREAT : 0) | _O_BINARY;
  const int fd = _open(path.c_str(), flags, _S_IREAD | _S_IWRITE);
  if (fd < 0) return nullptr;
  FilePtr file(_fdopen(fd, writable ? "r+b" : "rb"));
  if (!file) _close(fd);
  return file;
}

bool try_lock(std::FILE* file, bool exclusive) {
  // One byte far beyond any image: the lock keeps other runs out and never
  // stands in the way of reading and writing the file itself.
  OVERLAPPED place{};
  place.OffsetHigh = 0x40000000;
  const auto handle = reinterpret_cast<HANDLE>(_get_osfhandle(_fileno(file)));
  const DWORD flags = LOCKFILE_FAIL_IMMEDIATELY | (exclusive ? LOCKFILE_EXCLUSIVE_LOCK : 0);
  return LockFileEx(handle, flags, 0, 1, 0, &place) != 0;
}

bool truncate(std::FILE* file) { return _chsize_s(_fileno(file), 0) == 0; }

// An open file cannot be replaced by a rename on Windows.
bool names_open_file(const std::string&, std::FILE*) { return true; }

std::string user_config_dir() {
  const char* roaming = std::getenv("APPDATA");
  if (roaming == nullptr || roaming[0] == '\0') return {};
  return std::string(roaming) + "\\";
}

const char* text_line_end() { return "\r\n"; }

bool replace_file(const std::string& path, const std::uint8_t* data, std::size_t size) {
  std::string temp;
  HANDLE file = INVALID_HANDLE_VALUE;
  for (int attempt = 0; attempt < 100 && file == INVALID_HANDLE_VALUE; ++attempt) {
    temp = path + ".new" + std::to_string(GetCurrentProcessId()) + "-" + std::to_string(attempt);
    file = CreateFileA(temp.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW, FILE_ATTRIBUTE_NORMAL,
                       nullptr);
  }
  if (file == INVALID_HANDLE_VALUE) return false;
  bool ok = true;
  for (std::size_t done = 0; ok && done < size;) {
    const DWORD chunk = static_cast<DWORD>(std::min<std::size_t>(size - done, 1u << 30));
    DWORD written = 0;
    ok = WriteFile(file, data + done, chunk, &written, nullptr) != 0 && written > 0;
    done += written;
  }
  ok = FlushFileBuffers(file) != 0 && ok;
  ok = CloseHandle(file) != 0 && ok;
  ok = ok && MoveFileExA(temp.c_str(), path.c_str(),
                         MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH) != 0;
  if (!ok) DeleteFileA(temp.c_str());
  return ok;
}

}  // namespace xev::platform
