// The command line: the program and image paths, the options read from left
// to right with their value tests, and the rules on how options combine.
#include "cli/options.h"

#include <climits>
#include <cstdint>
#include <cstring>
#include <string>
#include <utility>

#include "cpm/text.h"
#include "platform/platform.h"

namespace xev {
namespace {

constexpr const char* kNotAllowed = "not allowed";
constexpr const char* kProgramOption = "xev";          // argument 0 in a refusal
constexpr const char* kImageOption = "imagefile.ext";  // argument 1 in a refusal
constexpr std::size_t kTextCapacity = 256;  // texts hold at most 255 characters
constexpr std::size_t kDirCapacity = 260;   // folders at most 259
constexpr std::size_t kLabelLength = 11;

bool fits(const std::string& text, std::size_t capacity) { return text.size() < capacity; }

// Every option as given, before the rules decide what it amounts to.
struct Options {
  bool full_format = false;
  bool quick_format = false;
  bool catalogue = false;
  bool add = false;
  bool erase = false;
  bool extract = false;
  bool set_attributes = false;
  bool set_user = false;
  bool hex_dump = false;
  bool type = false;
  bool write_system = false;
  bool copy_system = false;
  bool save_system = false;
  bool type_info = false;
  bool one_column = false;
  bool unsorted = false;
  bool stamps = false;
  bool overwrite = false;
  bool ignore_invalid = false;
  bool tns = false;
  bool no_banner = false;
  bool json = false;
  bool text_mode = false;
  Request request;
};

// How an option takes its values.
enum class Values {
  kNone,      // a flag
  kOne,       // exactly one value
  kTwo,       // exactly two values
  kOptional,  // one value if any argument follows (-c)
};

// Whether the first value is a file argument, and whether it may have a
// directory part.
enum class FileArgument { kNone, kNameOnly, kPathAllowed };

// Tests and stores the value that is not a file argument.
using ValueHandler = Error (*)(Request& request, const char* option, const char* value);

struct OptionSpec {
  const char* text;
  Values values;
  FileArgument file;
  bool Options::*flag;  // set once the values have passed, or null
  ValueHandler handle;  // for the value after the file argument, or null
};

// A file argument: its directory part goes to host_dir, its name to mask.
Error take_file_argument(Request& request, const char* option, const char* value,
                         bool path_allowed) {
  std::string dir;
  std::string name;
  split_path(value, dir, name);
  if (!path_allowed && !dir.empty()) return {ERR_PATH_NOT_ALLOWED, option};
  if (!fits(dir, kDirCapacity) || !fits(name, kTextCapacity)) return {ERR_BAD_VALUE, option, value};
  request.host_dir = std::move(dir);
  request.mask = std::move(name);
  return {};
}

// A user area number, 0 to 31, into `user`; false when the text is not one.
bool read_user_number(const char* text, int& user) {
  const std::int64_t number = parse_number(text);
  if (number < 0 || number > kMaxUser) return false;
  user = static_cast<int>(number);
  return true;
}

Error set_user_filter(Request& request, const char* option, const char* value) {
  if (!read_user_number(value, request.user)) return {ERR_BAD_VALUE, option, value};
  return {};
}

Error set_new_user(Request& request, const char* option, const char* value) {
  if (!read_user_number(value, request.new_user)) return {ERR_BAD_VALUE, option, value};
  return {};
}

Error set_page_size(Request& request, const char* option, const char* value) {
  std::int64_t files = parse_number(value);
  if (files < 1) return {ERR_BAD_VALUE, option, value};
  // Pages hold two columns, so the size is even. A size beyond any directory
  // simply means one page.
  if (files > INT_MAX - 1) files = INT_MAX - 1;
  if (files % 2 != 0) ++files;
  request.page_size = static_cast<int>(files);
  return {};
}

Error set_target_name(Request& request, const char* option, const char* value) {
  if (!fits(value, kTextCapacity)) return {ERR_BAD_VALUE, option, value};
  request.target_name = value;
  return {};
}

// -it: a section name; an empty one could only name a nameless section.
Error set_type_name(Request& request, const char* option, const char* value) {
  if (value[0] == '\0' || !fits(value, kTextCapacity)) return {ERR_BAD_VALUE, option, value};
  request.type_name = value;
  return {};
}

// Exactly one of "--", "R-", "-S" and "RS".
Error set_new_attributes(Request& request, const char* option, const char* value) {
  const bool valid = std::strlen(value) == 2 && (value[0] == 'R' || value[0] == '-') &&
                     (value[1] == 'S' || value[1] == '-');
  if (!valid) return {ERR_BAD_VALUE, option, value};
  request.new_attributes = value;
  return {};
}

// The label as stored: upper case, padded with blanks to its full length.
Error set_label(Request& request, const char* option, const char* value) {
  if (std::strlen(value) > kLabelLength) return {ERR_BAD_VALUE, option, value};
  std::string label(value);
  for (char& c : label) {
    if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
  }
  label.resize(kLabelLength, ' ');
  request.label = std::move(label);
  return {};
}

using V = Values;
using F = FileArgument;
using O = Options;

const OptionSpec kOptions[] = {
    {"-f", V::kNone, F::kNone, &O::full_format, nullptr},
    {"-q", V::kNone, F::kNone, &O::quick_format, nullptr},
    {"-u", V::kOne, F::kNone, nullptr, set_user_filter},
    {"-c", V::kOptional, F::kNameOnly, &O::catalogue, nullptr},
    {"-cp", V::kOne, F::kNone, nullptr, set_page_size},
    {"-c1", V::kNone, F::kNone, &O::one_column, nullptr},
    {"-cu", V::kNone, F::kNone, &O::unsorted, nullptr},
    {"-cd", V::kNone, F::kNone, &O::stamps, nullptr},
    {"-a", V::kOne, F::kPathAllowed, &O::add, nullptr},
    {"-afn", V::kOne, F::kNone, nullptr, set_target_name},
    {"-ow", V::kNone, F::kNone, &O::overwrite, nullptr},
    {"-e", V::kOne, F::kNameOnly, &O::erase, nullptr},
    {"-x", V::kOne, F::kPathAllowed, &O::extract, nullptr},
    {"-sa", V::kTwo, F::kNameOnly, &O::set_attributes, set_new_attributes},
    {"-su", V::kTwo, F::kNameOnly, &O::set_user, set_new_user},
    {"-h", V::kOne, F::kNameOnly, &O::hex_dump, nullptr},
    {"-t", V::kOne, F::kNameOnly, &O::type, nullptr},
    {"-w", V::kOne, F::kPathAllowed, &O::write_system, nullptr},
    {"-i", V::kOne, F::kPathAllowed, &O::copy_system, nullptr},
    {"-s", V::kOne, F::kPathAllowed, &O::save_system, nullptr},
    {"-iti", V::kNone, F::kNone, &O::type_info, nullptr},
    {"-iide", V::kNone, F::kNone, &O::ignore_invalid, nullptr},
    {"-tns", V::kNone, F::kNone, &O::tns, nullptr},
    {"-lbl", V::kOne, F::kNone, nullptr, set_label},
    {"-it", V::kOne, F::kNone, nullptr, set_type_name},
    {"-nb", V::kNone, F::kNone, &O::no_banner, nullptr},
    {"-cj", V::kNone, F::kNone, &O::json, nullptr},
    {"-txt", V::kNone, F::kNone, &O::text_mode, nullptr},
};

const OptionSpec* find_option(const char* text) {
  for (const OptionSpec& option : kOptions) {
    if (std::strcmp(option.text, text) == 0) return &option;
  }
  return nullptr;
}

// Tests the values of one option in order (file argument first, then the
// other value) and sets the option's flag only when all have passed.
Error apply_option(Options& options, const OptionSpec& option, const char* const* values,
                   int count) {
  Request& request = options.request;
  int next = 0;
  if (option.file != FileArgument::kNone) {
    if (count == 0) {
      request.mask = "*.*";  // -c as the last argument lists everything
    } else if (Error error = take_file_argument(request, option.text, values[next++],
                                                option.file == FileArgument::kPathAllowed)) {
      return error;
    }
  }
  if (option.handle != nullptr) {
    if (Error error = option.handle(request, option.text, values[next])) return error;
  }
  if (option.flag != nullptr) options.*option.flag = true;
  return {};
}

// Reads the option at argument `next` with its values.
Error read_option(Options& options, int argc, const char* const* argv, int& next) {
  const char* text = argv[next++];
  const OptionSpec* option = find_option(text);
  if (option == nullptr) return {ERR_UNKNOWN_OPTION, text};

  const int left = argc - next;
  int wanted = 0;
  switch (option->values) {
    case Values::kNone: wanted = 0; break;
    case Values::kOne: wanted = 1; break;
    case Values::kTwo: wanted = 2; break;
    case Values::kOptional: wanted = left >= 1 ? 1 : 0; break;
  }
  if (left < wanted) return {ERR_MISSING_VALUE, option->text};
  const char* const* values = argv + next;
  next += wanted;
  return apply_option(options, *option, values, wanted);
}

// The program path: its directory and its name without extension. A bare
// name (started through the search path) gets the directory the system
// reports for the running executable.
Error read_program_path(CommandLine& line, const char* argv0) {
  std::string dir;
  std::string name;
  split_path(argv0, dir, name);
  if (dir.empty()) dir = platform::executable_dir();
  const std::string program = dir + name;  // as named in a refusal
  if (const std::size_t point = name.rfind('.'); point != std::string::npos) name.erase(point);
  if (!fits(dir, kTextCapacity) || !fits(name, kTextCapacity)) {
    return {ERR_BAD_VALUE, kProgramOption, program};
  }
  line.exe_dir = std::move(dir);
  line.exe_name = std::move(name);
  return {};
}

Error read_image_path(Request& request, const char* argv1) {
  std::string dir;
  std::string name;
  std::string type;
  split_path(argv1, dir, name, &type);
  if (!fits(dir, kDirCapacity) || !fits(name, kTextCapacity)) {
    return {ERR_BAD_VALUE, kImageOption, argv1};
  }
  request.image_dir = std::move(dir);
  request.image_name = std::move(name);
  request.image_type = std::move(type);
  return {};
}

bool is_format(const Options& o) { return o.full_format || o.quick_format; }

// The pairwise rules, in their order of precedence.
Error check_combinations(const Options& o) {
  const Request& request = o.request;
  const bool has_user = request.user != kAllUsers;
  const bool has_label = !request.label.empty();
  const bool system_or_info = o.write_system || o.copy_system || o.save_system || o.type_info;

  if (o.full_format && o.quick_format) return {ERR_BAD_COMBINATION, "-f", "-q"};
  struct Rule {
    bool refused;
    const char* option;
  };
  const Rule rules[] = {
      {request.page_size != -1 && !o.catalogue, "-cp"},
      {o.one_column && !o.catalogue, "-c1"},
      {o.unsorted && !o.catalogue, "-cu"},
      {o.stamps && !o.catalogue, "-cd"},
      {o.overwrite && !o.add, "-ow"},
      {!request.target_name.empty() && !o.add, "-afn"},
      {has_user && (system_or_info || is_format(o)), "-u"},
      {o.ignore_invalid && system_or_info, "-iide"},
      {o.tns && (system_or_info || o.hex_dump || o.type || o.set_attributes || o.set_user),
       "-tns"},
      {has_label && !o.tns, "-lbl"},
      {has_label && !is_format(o), "-lbl"},
      // JSON has no columns, stamp columns or pages.
      {o.json && (!o.catalogue || o.one_column || o.stamps || request.page_size != -1), "-cj"},
      {o.text_mode && !o.add && !o.extract && !o.type, "-txt"},
  };
  for (const Rule& rule : rules) {
    if (rule.refused) return {ERR_BAD_COMBINATION, kNotAllowed, rule.option};
  }
  return {};
}

// Exactly one command, or a format alone, or a format with -a.
Error check_commands(Options& o) {
  const struct {
    bool present;
    const char* text;
    Command command;
  } commands[] = {
      {o.catalogue, "-c ", Command::kCatalogue},
      {o.add, "-a ", Command::kAdd},
      {o.erase, "-e ", Command::kErase},
      {o.extract, "-x ", Command::kExtract},
      {o.set_attributes, "-sa ", Command::kSetAttributes},
      {o.set_user, "-su ", Command::kSetUser},
      {o.hex_dump, "-h ", Command::kHexDump},
      {o.type, "-t ", Command::kType},
      {o.write_system, "-w ", Command::kWriteSystem},
      {o.copy_system, "-i ", Command::kCopySystem},
      {o.save_system, "-s ", Command::kSaveSystem},
      {o.type_info, "-iti ", Command::kTypeInfo},
  };
  int count = 0;
  std::string list;
  for (const auto& command : commands) {
    if (!command.present) continue;
    ++count;
    list += command.text;
    o.request.command = command.command;
  }
  if (count > 1) return {ERR_BAD_COMBINATION, list, ""};
  if (count == 0 && !is_format(o)) return {SHOW_USAGE};
  if (count == 1 && !o.add && is_format(o)) return {ERR_BAD_COMBINATION, kNotAllowed, "-f/-q"};
  return {};
}

// The image path and the options, then the rules on how they combine.
Error read_command_line(Options& options, int argc, const char* const* argv) {
  if (Error error = read_image_path(options.request, argv[1])) return error;
  for (int next = 2; next < argc;) {
    if (Error error = read_option(options, argc, argv, next)) return error;
  }
  if (Error error = check_combinations(options)) return error;
  return check_commands(options);
}

}  // namespace

Error parse_options(int argc, const char* const* argv, CommandLine& out) {
  if (argc < 1) return {SHOW_USAGE};
  if (Error error = read_program_path(out, argv[0])) return error;
  if (argc == 1) return {SHOW_USAGE};
  Options options;
  const Error error = read_command_line(options, argc, argv);
  out.banner = !options.no_banner && !options.json;
  if (error) return error;

  Request& request = options.request;
  // A target name is for one host file only.
  if (!request.target_name.empty() && request.mask.find_first_of("?*") != std::string::npos) {
    return {ERR_BAD_VALUE, "-a", request.mask};
  }
  request.format = options.full_format    ? Format::kFull
                   : options.quick_format ? Format::kQuick
                                          : Format::kNone;
  request.one_column = options.one_column;
  request.unsorted = options.unsorted;
  request.stamps = options.stamps;
  request.overwrite = options.overwrite;
  request.ignore_invalid = options.ignore_invalid;
  request.tns = options.tns;
  request.no_banner = options.no_banner;
  request.json = options.json;
  request.text_mode = options.text_mode;
  out.request = std::move(request);
  return {};
}

void split_path(const std::string& path, std::string& dir, std::string& name,
                std::string* extension) {
  std::size_t separator = path.rfind('/');
  if (separator == std::string::npos) separator = path.rfind('\\');
  const std::size_t name_start = separator == std::string::npos ? 0 : separator + 1;
  // Copy first: `path` may be one of the targets.
  std::string name_part = path.substr(name_start);
  dir = path.substr(0, name_start);
  if (extension != nullptr) {
    const std::size_t point = name_part.rfind('.');
    *extension = point == std::string::npos ? std::string() : name_part.substr(point + 1);
  }
  name = std::move(name_part);
}

}  // namespace xev
