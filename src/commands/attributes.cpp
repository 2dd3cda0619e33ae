// -sa and -su: change every directory entry of each matching file, either
// its two attribute bits or its user byte, and write the directory back.
#include <cstdint>
#include <cstdio>

#include "commands/commands.h"
#include "cpm/names.h"

namespace xev {
namespace {

constexpr std::uint8_t kAttributeBit = 0x80;

void set_bit(std::uint8_t& byte, bool on) {
  byte = static_cast<std::uint8_t>(on ? (byte | kAttributeBit) : (byte & ~kAttributeBit));
}

// The change one command makes to an entry, and the lines it prints.
struct EntryChange {
  // Changes every entry of the file whose first entry is `first`.
  void (*apply)(const Request& request, Directory& directory, int first);
  // A failure that keeps the file as it is, or none.
  Error (*refuse)(const Directory& directory, const Request& request, int first);
  const char* file_line;     // one %s: the file's name
  const char* closing_line;  // one %d: the number of files
};

Error refuse_nothing(const Directory&, const Request&, int) { return {}; }

// A user area holds one file of a name: a file does not move into an area
// that has another of its name (attribute bits aside).
Error refuse_occupied_area(const Directory& directory, const Request& request, int first) {
  const std::uint8_t* file = directory.entry(first);
  for (int i = 0; i < directory.size(); ++i) {
    const std::uint8_t* other = directory.entry(i);
    if (other[kUserByte] != request.new_user || directory.key(i) == directory.key(first)) continue;
    bool same_name = true;
    for (int c = 1; c <= kNameWidth + kTypeWidth && same_name; ++c) {
      same_name = (other[c] & 0x7F) == (file[c] & 0x7F);
    }
    if (same_name) return {ERR_FILE_EXISTS, printable(report_name(file))};
  }
  return {};
}

void apply_attributes(const Request& request, Directory& directory, int first) {
  // Two characters, as the options let through: R or -, S or -.
  const std::string& attributes = request.new_attributes;
  for (const int index : directory.file_entries(first)) {
    std::uint8_t* entry = directory.entry(index);
    set_bit(entry[kReadOnlyByte], attributes[0] == 'R');
    set_bit(entry[kSystemByte], attributes[1] == 'S');
  }
}

// A file's password entries move with it.
void apply_user(const Request& request, Directory& directory, int first) {
  for (const int index : directory.password_entries(first)) {
    directory.entry(index)[kUserByte] =
        static_cast<std::uint8_t>(request.new_user + kPasswordUserOffset);
  }
  for (const int index : directory.file_entries(first)) {
    directory.entry(index)[kUserByte] = static_cast<std::uint8_t>(request.new_user);
  }
}

// Changes every entry of each file that matches, from its first entry on,
// reports each file and saves the directory.
void change_matching_files(Disk& disk, const Request& request, const CpmName& mask,
                           const EntryChange& change, Output& out) {
  Directory& directory = disk.directory();
  std::FILE* text = out.text();
  int count = 0;
  for (int index = directory.find_file(mask, request.user, 0); index >= 0;
       index = directory.find_file(mask, request.user, index + 1)) {
    if (Error error = change.refuse(directory, request, index)) {
      out.fail(error);
      continue;
    }
    change.apply(request, directory, index);
    ++count;
    std::fprintf(text, change.file_line, printable(report_name(directory.entry(index))).c_str());
  }
  // A failed save has been reported; the count still tells what was changed
  // in memory.
  if (Error error = disk.save()) out.fail(error);
  std::fprintf(text, change.closing_line, count);
}

}  // namespace

void run_set_attributes(Disk& disk, const Request& request, Output& out) {
  const std::optional<CpmName> mask = parse_cpm_name(request.mask);
  if (!mask) {
    out.fail({ERR_BAD_NAME, request.mask});
    return;
  }
  std::fprintf(out.text(), "Setting file attributes to '%s', mask: '%s'\n\n",
               request.new_attributes.c_str(), request.mask.c_str());
  change_matching_files(disk, request, *mask,
                        {apply_attributes, refuse_nothing, "File attributes for '%s' are set.\n",
                         "\nDone. Attributes set for %d file(s).\n\n"},
                        out);
}

void run_set_user(Disk& disk, const Request& request, Output& out) {
  const std::optional<CpmName> mask = parse_cpm_name(request.mask);
  if (!mask) {
    out.fail({ERR_BAD_NAME, request.mask});
    return;
  }
  std::fprintf(out.text(), "Setting user area to '%d', mask: '%s'\n\n", request.new_user,
               request.mask.c_str());
  change_matching_files(disk, request, *mask,
                        {apply_user, refuse_occupied_area, "User area for '%s' set.\n",
                         "\nDone. User area set for %d file(s).\n\n"},
                        out);
}

}  // namespace xev
