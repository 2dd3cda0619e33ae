// Opening the image the way the command needs it, formatting it, and loading
// its directory.
#include <cstdio>
#include <vector>

#include "commands/commands.h"
#include "cpm/format.h"
#include "cpm/names.h"

namespace xev {

ImageAccess image_access(const Request& request) {
  ImageAccess access;
  switch (request.command) {
    case Command::kCatalogue:
    case Command::kType:
    case Command::kHexDump:
    case Command::kExtract:
    case Command::kSaveSystem:
      access.read_only = true;
      break;
    default:
      break;
  }
  access.may_create = request.format != Format::kNone || request.command == Command::kAdd;
  access.truncate = request.format == Format::kFull;
  access.lock_wait_ms = kLockWaitMs;
  return access;
}

Error run_format(Disk& disk, const Request& request, bool created, Output& out) {
  if (created || request.format == Format::kFull) {
    if (Error error = write_format_records(disk)) return error;
    std::fprintf(out.text(), "Image '%s' was formated.\n", disk.name().c_str());
  }
  if (Error error = clear_directory(disk)) return error;
  if (request.format == Format::kQuick) {
    std::fprintf(out.text(), "Directory of image '%s' was cleaned.\n", disk.name().c_str());
  }
  if (!request.tns) return {};
  std::vector<Error> invalid;
  if (Error error = disk.load({}, invalid)) return error;
  if (Error error = write_tns_label(disk.directory(), request.label)) return error;
  if (Error error = store_tns_map(disk.directory(), disk.map())) return error;
  return disk.save();
}

Error load_directory(Disk& disk, const Request& request, Output& out) {
  std::vector<Error> invalid;
  const Error error = disk.load({request.ignore_invalid, request.tns}, invalid);
  // The one invalid entry that stopped the load is the run's failure; the
  // caller reports it.
  if (error) return {error.code, printable(error.subject), error.detail};
  for (const Error& entry : invalid) out.report({entry.code, printable(entry.subject), entry.detail});
  // JSON stands alone on standard output.
  if (!invalid.empty() && !request.json) std::fprintf(out.text(), "\n");
  return {};
}

}  // namespace xev
