// -e: erase the files that match a mask.
#include <cstdio>

#include "commands/commands.h"
#include "commands/tns.h"
#include "cpm/files.h"
#include "cpm/names.h"

namespace xev {

void run_erase(Disk& disk, const Request& request, Output& out) {
  const std::optional<CpmName> mask = parse_cpm_name(request.mask);
  if (!mask) {
    out.fail({ERR_BAD_NAME, request.mask});
    return;
  }
  std::FILE* text = out.text();
  std::fprintf(text, "Erasing file(s) from '%s', mask: '%s'\n\n", disk.name().c_str(),
               request.mask.c_str());

  Directory& directory = disk.directory();
  int count = 0;
  for (int index = directory.find_file(*mask, request.user, 0); index >= 0;
       index = directory.find_file(*mask, request.user, index + 1)) {
    erase_file(directory, index);
    ++count;
    std::fprintf(text, "File '%s' erased\n", printable(report_name(directory.entry(index))).c_str());
  }
  disk.rebuild_map();

  if (request.tns) refresh_tns_entries(disk, out);
  if (Error error = disk.save()) out.fail(error);
  std::fprintf(text, "\nDone. %d file(s) erased.\n\n", count);
}

}  // namespace xev
