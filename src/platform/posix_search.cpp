// Host directory search on POSIX systems. The whole directory is read at the
// first call and the matching names are handed out in ascending byte order,
// so the result does not depend on the file system's own order.
#include <dirent.h>
#include <sys/stat.h>

#include <algorithm>
#include <cerrno>
#include <cstddef>
#include <string>
#include <vector>

#include "platform/platform.h"

namespace xev::platform {
namespace {

constexpr std::size_t kMaxPattern = 259;

struct DirCloser {
  void operator()(DIR* dir) const noexcept {
    if (dir != nullptr) closedir(dir);
  }
};

bool is_regular_file(const std::string& path) {
  struct stat info {};
  return ::stat(path.c_str(), &info) == 0 && S_ISREG(info.st_mode);
}

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

  // The directory part ends at the last '/', or at the last '\' when there is
  // no '/' at all, as the command line splits its file arguments.
  std::size_t cut = pattern.rfind('/');
  if (cut == std::string::npos) cut = pattern.rfind('\\');
  const std::string dir = cut == std::string::npos ? std::string() : pattern.substr(0, cut + 1);
  const std::string mask = cut == std::string::npos ? pattern : pattern.substr(cut + 1);

  std::unique_ptr<DIR, DirCloser> handle(opendir(dir.empty() ? "." : dir.c_str()));
  if (!handle) return FindStatus::kFailed;

  bool matched = false;  // some entry matched, even if it was then skipped
  for (;;) {
    errno = 0;
    const dirent* item = readdir(handle.get());
    if (item == nullptr) {
      if (errno != 0) {
        impl_->names.clear();
        return FindStatus::kFailed;
      }
      break;
    }
    const std::string entry = item->d_name;
    if (!wildcard_match(mask, entry)) continue;
    matched = true;
    if (entry[0] == '.') continue;  // hidden, and the "." and ".." entries
    if (!is_regular_file(dir + entry)) continue;
    impl_->names.push_back(entry);
  }

  if (impl_->names.empty()) return matched ? FindStatus::kFailed : FindStatus::kNoFiles;
  // A plain name stands for one file: where letter case tells several files
  // apart, the one spelt exactly as asked is the one meant.
  if (mask.find_first_of("*?") == std::string::npos &&
      std::find(impl_->names.begin(), impl_->names.end(), mask) != impl_->names.end()) {
    impl_->names.assign(1, mask);
  }
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
