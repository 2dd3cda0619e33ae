#include "platform/platform.h"
namespace xev::platform {
struct HostSearch::Impl {};
HostSearch::HostSearch() = default;
HostSearch::~HostSearch() = default;
FindStatus HostSearch::first(const std::string&, std::string&) { return FindStatus::kFailed; }
bool HostSearch::next(std::string&) { return false; }
void HostSearch::close() {}
}  // namespace xev::platform
