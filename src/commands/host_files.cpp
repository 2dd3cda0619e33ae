#include "commands/host_files.h"

namespace xev {
namespace {

constexpr std::size_t kMaxPath = 259;

bool usable_path(const std::string& path) {
  return path.size() <= kMaxPath && !platform::is_directory(path);
}

}  // namespace

Error open_host_input(const std::string& dir, const std::string& name, FilePtr& file,
                      std::int64_t& size) {
  const std::string path = dir + name;
  if (usable_path(path)) file = platform::open_file(path, false, false);
  if (!file) return {ERR_FILE_OPEN, name};
  size = platform::file_length(file.get());
  if (size < 0) {
    file.reset();
    return {ERR_FILE_OPEN, name};
  }
  // A device cannot seek; it is still read from its start.
  if (!platform::seek(file.get(), 0)) std::clearerr(file.get());
  return {};
}

Error create_host_output(const std::string& dir, const std::string& name,
                         const std::string& image_path, FilePtr& file) {
  const std::string path = dir + name;
  // Replacing the image's own file would delete the disk; a link to it is
  // only a link.
  if (usable_path(path) && (platform::is_symlink(path) || !platform::same_file(path, image_path))) {
    file = platform::create_file(path);
  }
  if (!file) return {ERR_FILE_CREATE, name};
  // A device such as /dev/full cannot seek; it is still written from its start.
  if (!platform::seek(file.get(), 0)) std::clearerr(file.get());
  return {};
}

Error find_host_files(const std::string& dir, const std::string& mask,
                      std::vector<std::string>& names) {
  const std::string pattern = dir + mask;
  const platform::FindStatus status = platform::find_files(pattern, names);
  if (status == platform::FindStatus::kFound) return {};
  return {status == platform::FindStatus::kNoFiles ? ERR_NO_MATCH : ERR_BAD_PATH, pattern};
}

}  // namespace xev
