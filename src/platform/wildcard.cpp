#include "platform/platform.h"
namespace xev::platform {
bool wildcard_match(const std::string&, const std::string&) { return false; }
}  // namespace xev::platform
