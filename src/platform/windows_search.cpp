// Host directory search on Windows, through the system's own find-first /
// find-next. Directories, hidden and system files are skipped; the names are
// collected at the first call and handed out in ascending byte order.
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

constexpr std::size_t kMaxPattern = 259;
constexpr DWORD kSkipped =
    FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM;

struct FindCloser {
  void operator()(HANDLE handle) const noexcept {
    if (handle != INVALID_HANDLE_VALUE) FindClose(handle);
  }
};

}  // namespace

struct HostSearch::Impl {
  std::vector<std::string> names;
  std::size_t next = 0;
};

HostSearch::HostSearch() : impl_(std::make_unique<Impl>()) {}
HostSearch::~HostSearch() = default;

FindStatus HostSearch::first(const std::string& pattern, std::string& name) {
  close();
  if (pattern.size() > kMaxPattern) return FindStatus::kFailed;

  WIN32_FIND_DATAA data{};
  const HANDLE raw = FindFirstFileA(pattern.c_str(), &data);
  if (raw == INVALID_HANDLE_VALUE) {
    return GetLastError() == ERROR_FILE_NOT_FOUND ? FindStatus::kNoFiles
                                                  : FindStatus::kFailed;
  }
  std::unique_ptr<void, FindCloser> handle(raw);
  do {
    if ((data.dwFileAttributes & kSkipped) == 0)
      impl_->names.emplace_back(data.cFileName);
  } while (FindNextFileA(raw, &data));
  // The search ends with "no more files"; anything else cut it short.
  if (GetLastError() != ERROR_NO_MORE_FILES) {
    impl_->names.clear();
    return FindStatus::kFailed;
  }

  if (impl_->names.empty()) return FindStatus::kFailed;
  std::sort(impl_->names.begin(), impl_->names.end());
  name = impl_->names[0];
  impl_->next = 1;
  return FindStatus::kFound;
}

bool HostSearch::next(std::string& name) {
  if (impl_->next >= impl_->names.size()) return false;
  name = impl_->names[impl_->next++];
  return true;
}

void HostSearch::close() {
  impl_->names.clear();
  impl_->next = 0;
}

}  // namespace xev::platform
