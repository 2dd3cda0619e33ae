// -x: copy CP/M files out of the image into host files of the same name.
#include <cstdio>
#include <set>
#include <string>

#include "commands/commands.h"
#include "commands/host_files.h"
#include "cpm/cpm_text.h"
#include "cpm/files.h"
#include "cpm/names.h"

namespace xev {
namespace {

// The CP/M name as a host file name: characters that separate or quote host
// paths become '_'; a NUL ends it.
std::string host_name_for(const std::string& cpm_name) {
  std::string name = cpm_name.substr(0, cpm_name.find('\0'));
  for (char& c : name) {
    if (c == '\\' || c == '/' || c == '"' || c == '|') c = '_';
  }
  return platform::safe_host_name(name);
}

// Names that stand for a folder rather than a file in it.
bool names_a_file(const std::string& host_name) {
  return !host_name.empty() && host_name != "." && host_name != "..";
}

// Copies the file whose first entry is `first` into a new host file.
Error extract_file(Disk& disk, const Request& request, int first, const std::string& host_name) {
  FilePtr file;
  if (Error error = create_host_output(request.host_dir, host_name, request.image_path(), file)) {
    return error;
  }
  const auto write = [&](const void* bytes, std::size_t size) -> Error {
    if (std::fwrite(bytes, 1, size, file.get()) != size) return {ERR_FILE_WRITE, host_name};
    return {};
  };
  CpmTextReader reader(platform::text_line_end());
  std::string text;
  const Error error = read_file(disk, first, [&](const std::uint8_t* record) -> Error {
    if (!request.text_mode) return write(record, kRecordSize);
    text.clear();
    reader.read(record, text);
    return write(text.data(), text.size());
  });
  if (error) return error;
  if (request.text_mode) {
    text.clear();
    reader.finish(text);
    if (Error failure = write(text.data(), text.size())) return failure;
  }
  // Buffered data that cannot reach the disk is a failed write as well.
  if (std::fflush(file.get()) != 0) return {ERR_FILE_WRITE, host_name};
  return {};
}

}  // namespace

void run_extract(Disk& disk, const Request& request, Output& out) {
  const std::optional<CpmName> mask = parse_cpm_name(request.mask);
  if (!mask) {
    out.fail({ERR_BAD_NAME, request.mask});
    return;
  }
  std::FILE* text = out.text();
  std::fprintf(text, "Extracting file(s) from '%s'\n  path: '%s', mask: '%s'\n\n",
               disk.name().c_str(), request.host_dir.c_str(), request.mask.c_str());

  const Directory& directory = disk.directory();
  // Files of one name in several user areas would overwrite each other.
  std::set<std::string> written;
  int count = 0;
  for (int index = directory.find_file(*mask, request.user, 0); index >= 0;
       index = directory.find_file(*mask, request.user, index + 1)) {
    const std::string name = entry_name(directory.entry(index));
    const std::string host_name = host_name_for(name);
    if (!names_a_file(host_name)) {
      out.fail({ERR_BAD_NAME, printable(name)});
      continue;
    }
    if (!written.insert(host_name).second) {
      out.fail({ERR_FILE_CREATE, printable(host_name)});
      continue;
    }
    if (Error error = extract_file(disk, request, index, host_name)) {
      out.fail({error.code, printable(error.subject), error.detail});
      return;
    }
    ++count;
    if (host_name == name) {
      std::fprintf(text, "File '%s' extracted\n", printable(host_name).c_str());
    } else {
      std::fprintf(text, "File '%s' extracted as %s\n", printable(name).c_str(),
                   printable(host_name).c_str());
    }
  }

  if (count > 0 || mask->ambiguous()) {
    std::fprintf(text, "\nDone. %d file(s) extracted.\n\n", count);
  } else {
    out.fail({ERR_FILE_NOT_FOUND, request.mask});
  }
}

}  // namespace xev
