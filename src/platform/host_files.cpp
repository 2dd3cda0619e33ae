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

bool is_symlink(const std::string& path) {
  std::error_code error;
  return std::filesystem::is_symlink(std::filesystem::symlink_status(path, error));
}

bool same_file(const std::string& path, const std::string& other) {
  std::error_code error;
  return std::filesystem::equivalent(path, other, error);
}

}  // namespace xev::platform
