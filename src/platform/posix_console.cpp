#include "platform/platform.h"
namespace xev::platform {
void wait_for_key(int) {}
std::string executable_dir() { return {}; }
bool remove_regular_file(const std::string&) { return false; }
}  // namespace xev::platform
