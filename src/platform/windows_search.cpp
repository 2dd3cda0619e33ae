// Host directory search on Windows, through the system's own find-first /
// find-next. Directories, hidden and system files are skipped.
#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#include <windows.h>

#include <algorithm>
#include <cstddef>
#include <memory>
#include <string>
#include <vector>

#include "platform/platform.h"

namespace xev::platform {
namespace {

constexpr DWORD kSkipped =
    FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM;

struct FindCloser {
  void operator()(HANDLE handle) const noexcept {
    if (handle != INVALID_HANDLE_VALUE) FindClose(handle);
  }
};

}  // namespace

FindStatus list_host_matches(const std::string& pattern, std::vector<std::string>& names) {
  WIN32_FIND_DATAA data{};
  const HANDLE raw = FindFirstFileA(pattern.c_str(), &data);
  if (raw == INVALID_HANDLE_VALUE) {
    return GetLastError() == ERROR_FILE_NOT_FOUND ? FindStatus::kNoFiles
                                                  : FindStatus::kFailed;
  }
  std::unique_ptr<void, FindCloser> handle(raw);
  do {
    if ((data.dwFileAttributes & kSkipped) == 0)
      names.emplace_back(data.cFileName);
  } while (FindNextFileA(raw, &data));
  // The search ends with "no more files"; anything else cut it short.
  if (GetLastError() != ERROR_NO_MORE_FILES) return FindStatus::kFailed;

  return names.empty() ? FindStatus::kFailed : FindStatus::kFound;
}

}  // namespace xev::platform
