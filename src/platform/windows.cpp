#include "platform/platform.h"
namespace xev::platform {
struct HostSearch::Impl {};
HostSearch::HostSearch() = default;
HostSearch::~HostSearch() = default;
FindStatus HostSearch::first(const std::string&, std::string&) { return FindStatus::kFailed; }
bool HostSearch::next(std::string&) { return false; }
void HostSearch::close() {}
void wait_for_key(int) {}
std::string executable_dir() { return {}; }
bool remove_regular_file(const std::string&) { return false; }
}  // namespace xev::platform
