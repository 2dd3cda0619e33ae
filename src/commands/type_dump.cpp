#include "commands/commands.h"
namespace xev {
void run_type(RunState&) {}
void run_hex_dump(RunState&) {}
}  // namespace xev
