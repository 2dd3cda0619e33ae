#include "commands/commands.h"
namespace xev {
ErrorCode collect_host_files(RunState&) { return ERR_FATAL; }
void run_add(RunState&) {}
}  // namespace xev
