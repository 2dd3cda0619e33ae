#include "commands/commands.h"
namespace xev {
void run_set_attrs(RunState&) {}
void run_set_user(RunState&) {}
}  // namespace xev
