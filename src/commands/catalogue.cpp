#include "commands/commands.h"
namespace xev {
void run_catalogue(RunState&) {}
}  // namespace xev
