#include "cli/definitions.h"

#include "platform/platform.h"

namespace xev {
namespace {

constexpr std::size_t kMaxPath = 259;

}  // namespace

Error load_image_type(const CommandLine& line, ImageType& type) {
  const Request& request = line.request;
  // -it names the type; else the image's extension does.
  const std::string& wanted = request.type_name.empty() ? request.image_type : request.type_name;
  if (wanted.empty()) return {ERR_NO_EXTENSION, request.image_name};

  const std::string path = line.exe_dir + line.exe_name + ".ini";
  platform::FilePtr file;
  if (path.size() <= kMaxPath) file.reset(std::fopen(path.c_str(), "r"));
  if (!file) return {ERR_NO_CONFIG, line.exe_name};
  const std::vector<std::string> lines = read_definition_lines(file.get());
  file.reset();
  return find_image_type(lines, wanted, type);
}

}  // namespace xev
