#include "commands/commands.h"
namespace xev {
void run_extract(RunState&) {}
}  // namespace xev
