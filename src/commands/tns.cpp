#include "commands/tns.h"

#include "cpm/format.h"

namespace xev {

void refresh_tns_entries(Disk& disk, Output& out) {
  Directory& directory = disk.directory();
  if (directory.in_use(0) && directory.entry(0)[kTnsMarkByte] != kTnsLabelMark) {
    if (Error error = write_tns_label(directory, "")) out.fail(error);
  }
  if (Error error = store_tns_map(directory, disk.map())) out.fail(error);
}

}  // namespace xev
