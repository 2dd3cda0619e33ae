// Host file questions that the standard library answers alike everywhere.
#include <filesystem>
#include <string>
#include <system_error>

#include "platform/platform.h"

namespace xev::platform {

bool is_directory(const std::string& path) {
  std::error_code error;
  return std::filesystem::is_directory(path, error);
}

bool is_same_file(const std::string& path, const std::string& other) {
  namespace fs = std::filesystem;
  std::error_code error;
  if (fs::is_symlink(fs::symlink_status(path, error))) return false;
  return fs::equivalent(path, other, error);
}

}  // namespace xev::platform
