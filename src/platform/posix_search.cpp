// Host directory search on POSIX systems: the matching entries of one
// directory, read with opendir/readdir.
#include <dirent.h>
#include <sys/stat.h>

#include <algorithm>
#include <cerrno>
#include <cstddef>
#include <memory>
#include <string>
#include <vector>

#include "platform/platform.h"

namespace xev::platform {
namespace {

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

FindStatus list_host_matches(const std::string& pattern, std::vector<std::string>& names) {
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
      if (errno != 0) return FindStatus::kFailed;
      break;
    }
    const std::string entry = item->d_name;
    if (!wildcard_match(mask, entry)) continue;
    matched = true;
    if (entry[0] == '.') continue;  // hidden, and the "." and ".." entries
    if (!is_regular_file(dir + entry)) continue;
    names.push_back(entry);
  }

  if (names.empty()) return matched ? FindStatus::kFailed : FindStatus::kNoFiles;
  // A plain name stands for one file: where letter case tells several files
  // apart, the one spelt exactly as asked is the one meant.
  if (mask.find_first_of("*?") == std::string::npos &&
      std::find(names.begin(), names.end(), mask) != names.end()) {
    names.assign(1, mask);
  }
  return FindStatus::kFound;
}

}  // namespace xev::platform
