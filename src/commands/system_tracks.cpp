#include "commands/commands.h"
namespace xev {
void run_write_system(RunState&) {}
void run_copy_system(RunState&) {}
void run_save_system(RunState&) {}
}  // namespace xev
