// -a: copy host files into the image as CP/M files.
#include <cstdint>
#include <cstdio>
#include <ctime>
#include <new>
#include <optional>
#include <string>
#include <tuple>
#include <utility>
#include <vector>

#include "commands/commands.h"
#include "commands/host_files.h"
#include "commands/tns.h"
#include "cpm/cpm_text.h"
#include "cpm/files.h"
#include "cpm/names.h"
#include "cpm/stamps.h"

namespace xev {
namespace {

constexpr std::int64_t kMaxFileSize = 8388608;  // 8 MiB: 65536 records

enum class Outcome { kAdded, kSkipped, kStop, kAbort };

// The host's local time, for the date stamps of new files.
DateStamp now() {
  const std::time_t seconds = std::time(nullptr);
  const std::tm* local = std::localtime(&seconds);
  if (local == nullptr) return {};
  return stamp_of(local->tm_year + 1900, local->tm_mon + 1, local->tm_mday, local->tm_hour,
                  local->tm_min);
}

// Erases the files of `name` (in the request's user area, or in every one):
// the old versions that the new file replaces.
void erase_old_versions(Disk& disk, const CpmName& name, int user) {
  Directory& directory = disk.directory();
  for (int index = directory.find_file(name, user, 0); index >= 0;
       index = directory.find_file(name, user, index + 1)) {
    erase_file(directory, index);
  }
  disk.rebuild_map();
}

// The host files to add. A host name that is no CP/M name is reported and
// left out (on POSIX a name may hold '*' or '?', which CP/M would take for
// a mask); a bad target name ends the command.
Error collect_host_files(const Request& request, Output& out, std::vector<std::string>& names) {
  std::vector<std::string> found;
  if (Error error = find_host_files(request.host_dir, request.mask, found)) return error;
  for (const std::string& name : found) {
    if (!request.target_name.empty()) {
      const std::optional<CpmName> target = parse_cpm_name(request.target_name);
      if (!target) return {ERR_BAD_NAME, request.target_name};
      if (target->ambiguous()) return {ERR_AMBIGUOUS, request.target_name};
    } else if (name.find_first_of("*?") != std::string::npos || !parse_cpm_name(name)) {
      out.fail({ERR_BAD_NAME, name});
      continue;
    }
    names.push_back(name);
  }
  return {};
}

// Reads the whole host file before anything of it is written, so that a file
// that cannot be read leaves the image untouched: the command ends without
// saving, and a file it was to replace is kept.
Error read_host_file(std::FILE* file, const std::string& name, std::int64_t size,
                     std::vector<std::uint8_t>& data) {
  try {
    data.resize(static_cast<std::size_t>(size));
  } catch (const std::bad_alloc&) {
    return {ERR_OUT_OF_MEMORY};
  }
  if (std::fread(data.data(), 1, data.size(), file) != data.size()) {
    return {ERR_FILE_READ, name};
  }
  return {};
}

// Existence, size and room, then the data. With -ow the old versions go only
// when the new file fits into what is free and what they free.
Outcome add_one(Disk& disk, const Request& request, const std::string& host_name,
                const CpmName& name, const std::string& target, Output& out) {
  if (!request.overwrite && disk.directory().find_file(name, request.user, 0) >= 0) {
    out.fail({ERR_FILE_EXISTS, target});
    return Outcome::kSkipped;
  }
  FilePtr file;
  std::int64_t size = 0;
  if (Error error = open_host_input(request.host_dir, host_name, file, size)) {
    out.fail(error);
    return Outcome::kSkipped;
  }
  if (size > kMaxFileSize) {
    out.fail({ERR_FILE_TOO_LONG, host_name, std::to_string(size)});
    return Outcome::kSkipped;
  }
  std::vector<std::uint8_t> data;
  if (request.text_mode) {
    // The text as CP/M keeps it, which is what must fit.
    if (Error error = read_host_file(file.get(), host_name, size, data)) {
      out.fail(error);
      return Outcome::kAbort;
    }
    data = to_cpm_text(data);
    size = static_cast<std::int64_t>(data.size());
    if (size > kMaxFileSize) {
      out.fail({ERR_FILE_TOO_LONG, host_name, std::to_string(size)});
      return Outcome::kSkipped;
    }
  }
  // With -ow, what the old versions free counts as free; they come back if
  // the new file does not fit even so.
  std::optional<std::pair<Directory, AllocationMap>> old_versions;
  if (request.overwrite) {
    old_versions.emplace(disk.directory(), disk.map());
    erase_old_versions(disk, name, request.user);
  }
  const FileRoom room = room_for(disk.geometry(), size);
  const ErrorCode no_room = disk.directory().count_free() < room.entries ? ERR_DIRECTORY_FULL
                            : disk.map().count_free() < room.units      ? ERR_DISK_FULL
                                                                        : ERR_OK;
  if (no_room != ERR_OK) {
    if (old_versions) std::tie(disk.directory(), disk.map()) = *old_versions;
    out.fail({no_room});
    return Outcome::kStop;
  }
  Error error = request.text_mode ? Error() : read_host_file(file.get(), host_name, size, data);
  int first = -1;
  if (!error) {
    const int user = request.user == kAllUsers ? 0 : request.user;
    error = write_file(disk, name, user, data, first);
  }
  if (!error) stamp_new_file(disk.directory(), first, now());
  if (error) {
    out.fail(error);
    return Outcome::kAbort;
  }
  return Outcome::kAdded;
}

}  // namespace

void run_add(Disk& disk, const Request& request, Output& out) {
  std::FILE* text = out.text();
  std::fprintf(text, "Adding file(s) to '%s'\n  path: '%s', mask: '%s'\n", disk.name().c_str(),
               request.host_dir.c_str(), request.mask.c_str());
  if (!request.target_name.empty()) std::fprintf(text, "  as '%s'\n", request.target_name.c_str());
  std::fprintf(text, "\n");

  if (!entries_hold_their_extents(disk.geometry())) {
    out.fail({ERR_BAD_DEFINITION, request.image_type});
    return;
  }
  std::vector<std::string> names;
  if (Error error = collect_host_files(request, out, names)) {
    out.fail(error);
    return;
  }

  int added = 0;
  for (const std::string& host_name : names) {
    const std::string& target = request.target_name.empty() ? host_name : request.target_name;
    const CpmName name = *parse_cpm_name(target);
    const Outcome outcome = add_one(disk, request, host_name, name, target, out);
    if (outcome == Outcome::kAbort) return;
    if (outcome == Outcome::kStop) break;
    if (outcome == Outcome::kAdded) {
      ++added;
      std::fprintf(text, "File '%s' added\n", target.c_str());
    }
  }

  if (request.tns) refresh_tns_entries(disk, out);
  if (Error error = disk.save()) out.fail(error);
  std::fprintf(text, "\nDone. %d file(s) added.\n\n", added);
}

}  // namespace xev
