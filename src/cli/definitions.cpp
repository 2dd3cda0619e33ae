#include "cli/definitions.h"

#include <cstdio>

#include "cli/detection.h"
#include "platform/platform.h"

namespace xev {
namespace {

constexpr std::size_t kMaxPath = 259;

// Adds the file at `path` when there is one to read.
void read_file(const std::string& path, std::vector<DefinitionFile>& files) {
  if (path.size() > kMaxPath || platform::is_directory(path)) return;
  platform::FilePtr file(std::fopen(path.c_str(), "r"));
  if (file) files.push_back({path, read_definition_lines(file.get())});
}

}  // namespace

std::vector<DefinitionFile> read_definition_files(const CommandLine& line) {
  std::vector<DefinitionFile> files;
  // The user's file keeps the product's name whatever the program is called.
  const std::string settings = platform::user_config_dir();
  if (!settings.empty()) read_file(settings + "xev" + settings.back() + "xev.ini", files);
  read_file(line.exe_dir + line.exe_name + ".ini", files);
  read_file(line.exe_dir + line.exe_name + "-formats.ini", files);
  return files;
}

Error load_image_type(const CommandLine& line, ImageType& type, Output& out) {
  const Request& request = line.request;
  const bool named = !request.type_name.empty();
  const std::string& wanted = named ? request.type_name : request.image_type;
  const std::vector<DefinitionFile> files = read_definition_files(line);

  Error failure;
  if (wanted.empty()) {
    failure = {ERR_NO_EXTENSION, request.image_name};
  } else if (files.empty()) {
    return {ERR_NO_CONFIG, line.exe_name};
  } else {
    for (const DefinitionFile& file : files) {
      const Error error = find_image_type(file.lines, wanted, type);
      if (error.code == ERR_NO_DEFINITION) continue;
      type.source = file.path;
      if (!error && !named) identify_amstrad_disk(request, files, type, out);
      return error;
    }
    failure = {ERR_NO_DEFINITION, wanted};
  }
  if (named) return failure;
  return detect_image_type(request, files, failure, type, out);
}

}  // namespace xev
