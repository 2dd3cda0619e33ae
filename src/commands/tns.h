// Bringing the TNS-DOS label and map entries up to date after a change.
#pragma once

#include "commands/output.h"
#include "cpm/disk.h"

namespace xev {

// Puts the label entry back at index 0 when a file took that place, then
// copies the allocation map into the map entries. A full directory is
// reported for each and does not stop the command.
void refresh_tns_entries(Disk& disk, Output& out);

}  // namespace xev
