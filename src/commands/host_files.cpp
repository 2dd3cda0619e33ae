#include "commands/host_files.h"

namespace xev {
namespace {

constexpr std::size_t kMaxPath = 259;

bool usable_path(const std::string& path) {
  return path.size() <= kMaxPath && !platform::is_directory(path);
}

FilePtr open_file(const std::string& path, const char* mode) {
  return FilePtr(std::fopen(path.c_str(), mode));
}

}  // namespace

Error open_host_input(const std::string& dir, const std::string& name, FilePtr& file,
                      std::int64_t& size) {
  const std::string path = dir + name;
  if (usable_path(path)) file = open_file(path, "rb");
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
  if (usable_path(path) && !platform::is_same_file(path, image_path)) {
    platform::remove_regular_file(path);
    open_file(path, "a+b");
    file = open_file(path, "r+b");
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
