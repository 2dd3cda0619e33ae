#include "cli/console.h"
namespace xev {
void print_banner() {}
void print_usage() {}
void wait_for_enter(const char*) {}
}  // namespace xev
