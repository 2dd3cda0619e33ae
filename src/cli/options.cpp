// The command line: the program and image paths, the options read from left
// to right with their value tests, and the rules on how options combine.
#include "cli/options.h"

#include <climits>
#include <cstdlib>
#include <cstring>
#include <new>
#include <string>
#include <utility>

#include "platform/platform.h"

namespace xev {
namespace {

// Option values that take part in the combination rules and messages.
constexpr const char* kNotAllowed = "not allowed";
constexpr const char* kProgramOption = "xev";          // argument 0
constexpr const char* kImageOption = "imagefile.ext";  // argument 1

constexpr int kMaxUser = 31;

// The arguments still to be read.
struct ArgCursor {
  int count;
  const char* const* texts;
  int next;

  bool has(int wanted) const { return count - next >= wanted; }
  const char* take() { return texts[next++]; }
};

// How an option takes its values.
enum class Values {
  kNone,      // a flag
  kOne,       // exactly one value
  kTwo,       // exactly two values
  kOptional,  // one value if any argument follows (-c)
};

using Handler = ErrorCode (*)(RunState& state, const char* option,
                              const char* const* values, int value_count);

struct OptionSpec {
  const char* text;
  Values values;
  Handler handle;
};

// A value that is a file argument: its directory part goes to host_dir, its
// name part to mask.
ErrorCode take_file_argument(RunState& state, const char* option, const char* value,
                             bool path_allowed) {
  std::string dir;
  std::string name;
  split_path(value, dir, name);
  if (!path_allowed && !dir.empty()) return raise_error(ERR_PATH_NOT_ALLOWED, option);
  if (!fits_field(dir, kDirCapacity) || !fits_field(name, kTextCapacity)) {
    return raise_error(ERR_BAD_VALUE, option, value);
  }
  state.host_dir = std::move(dir);
  state.mask = std::move(name);
  return ERR_OK;
}

// A user area number, 0 to 31; -1 when the text is not one.
int read_user_number(const char* text) {
  const std::int64_t number = parse_number(text);
  return number >= 0 && number <= kMaxUser ? static_cast<int>(number) : -1;
}

bool is_valid_attrs(const char* text) {
  return std::strlen(text) == 2 && (text[0] == 'R' || text[0] == '-') &&
         (text[1] == 'S' || text[1] == '-');
}

// The label as stored: upper case, padded with blanks to its full length.
std::string make_label(const char* text) {
  std::string label(text);
  for (char& c : label) {
    if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
  }
  label.resize(kLabelLength, ' ');
  return label;
}

// Option handlers. Each tests its values and only then sets its flag.

ErrorCode set_full_format(RunState& state, const char*, const char* const*, int) {
  state.cmd_full_format = true;
  return ERR_OK;
}

ErrorCode set_quick_format(RunState& state, const char*, const char* const*, int) {
  state.cmd_quick_format = true;
  return ERR_OK;
}

ErrorCode set_user_filter(RunState& state, const char* option, const char* const* values,
                          int) {
  const int user = read_user_number(values[0]);
  if (user < 0) return raise_error(ERR_BAD_VALUE, option, values[0]);
  state.user_filter = static_cast<std::uint8_t>(user);
  return ERR_OK;
}

ErrorCode set_catalogue(RunState& state, const char* option, const char* const* values,
                        int value_count) {
  if (value_count == 0) {
    state.mask = "*.*";
  } else if (const ErrorCode code = take_file_argument(state, option, values[0], false)) {
    return code;
  }
  state.cmd_catalogue = true;
  return ERR_OK;
}

ErrorCode set_page_size(RunState& state, const char* option, const char* const* values,
                        int) {
  std::int64_t files = parse_number(values[0]);
  if (files < 1) return raise_error(ERR_BAD_VALUE, option, values[0]);
  // Pages hold two columns, so the size is even. A size beyond any directory
  // simply means one page.
  if (files > INT_MAX - 1) files = INT_MAX - 1;
  if (files % 2 != 0) ++files;
  state.catalogue_page_size = static_cast<int>(files);
  return ERR_OK;
}

ErrorCode set_one_column(RunState& state, const char*, const char* const*, int) {
  state.opt_one_column = true;
  return ERR_OK;
}

ErrorCode set_unsorted(RunState& state, const char*, const char* const*, int) {
  state.opt_unsorted = true;
  return ERR_OK;
}

ErrorCode set_add(RunState& state, const char* option, const char* const* values, int) {
  if (const ErrorCode code = take_file_argument(state, option, values[0], true)) return code;
  state.cmd_add = true;
  return ERR_OK;
}

ErrorCode set_target_name(RunState& state, const char* option, const char* const* values,
                          int) {
  const std::string name(values[0]);
  if (!fits_field(name, kTextCapacity)) return raise_error(ERR_BAD_VALUE, option, values[0]);
  state.afn_name = name;
  return ERR_OK;
}

ErrorCode set_overwrite(RunState& state, const char*, const char* const*, int) {
  state.opt_overwrite = true;
  return ERR_OK;
}

ErrorCode set_erase(RunState& state, const char* option, const char* const* values, int) {
  if (const ErrorCode code = take_file_argument(state, option, values[0], false)) return code;
  state.cmd_erase = true;
  return ERR_OK;
}

ErrorCode set_extract(RunState& state, const char* option, const char* const* values, int) {
  if (const ErrorCode code = take_file_argument(state, option, values[0], true)) return code;
  state.cmd_extract = true;
  return ERR_OK;
}

ErrorCode set_attrs(RunState& state, const char* option, const char* const* values, int) {
  if (const ErrorCode code = take_file_argument(state, option, values[0], false)) return code;
  if (!is_valid_attrs(values[1])) return raise_error(ERR_BAD_VALUE, option, values[1]);
  state.new_attrs = values[1];
  state.cmd_set_attrs = true;
  return ERR_OK;
}

ErrorCode set_user(RunState& state, const char* option, const char* const* values, int) {
  if (const ErrorCode code = take_file_argument(state, option, values[0], false)) return code;
  const int user = read_user_number(values[1]);
  if (user < 0) return raise_error(ERR_BAD_VALUE, option, values[1]);
  state.new_user = static_cast<std::uint8_t>(user);
  state.cmd_set_user = true;
  return ERR_OK;
}

ErrorCode set_hex_dump(RunState& state, const char* option, const char* const* values,
                       int) {
  if (const ErrorCode code = take_file_argument(state, option, values[0], false)) return code;
  state.cmd_hex_dump = true;
  return ERR_OK;
}

ErrorCode set_type(RunState& state, const char* option, const char* const* values, int) {
  if (const ErrorCode code = take_file_argument(state, option, values[0], false)) return code;
  state.cmd_type = true;
  return ERR_OK;
}

ErrorCode set_write_system(RunState& state, const char* option, const char* const* values,
                           int) {
  if (const ErrorCode code = take_file_argument(state, option, values[0], true)) return code;
  state.cmd_write_system = true;
  return ERR_OK;
}

ErrorCode set_copy_system(RunState& state, const char* option, const char* const* values,
                          int) {
  if (const ErrorCode code = take_file_argument(state, option, values[0], true)) return code;
  state.cmd_copy_system = true;
  return ERR_OK;
}

ErrorCode set_save_system(RunState& state, const char* option, const char* const* values,
                          int) {
  if (const ErrorCode code = take_file_argument(state, option, values[0], true)) return code;
  state.cmd_save_system = true;
  return ERR_OK;
}

ErrorCode set_type_info(RunState& state, const char*, const char* const*, int) {
  state.opt_type_info = true;
  return ERR_OK;
}

ErrorCode set_ignore_invalid(RunState& state, const char*, const char* const*, int) {
  state.opt_ignore_invalid = true;
  return ERR_OK;
}

ErrorCode set_tns(RunState& state, const char*, const char* const*, int) {
  state.opt_tns = true;
  return ERR_OK;
}

ErrorCode set_label(RunState& state, const char* option, const char* const* values, int) {
  if (std::strlen(values[0]) > kLabelLength) {
    return raise_error(ERR_BAD_VALUE, option, values[0]);
  }
  state.tns_label = make_label(values[0]);
  return ERR_OK;
}

const OptionSpec kOptions[] = {
    {"-f", Values::kNone, set_full_format},
    {"-q", Values::kNone, set_quick_format},
    {"-u", Values::kOne, set_user_filter},
    {"-c", Values::kOptional, set_catalogue},
    {"-cp", Values::kOne, set_page_size},
    {"-c1", Values::kNone, set_one_column},
    {"-cu", Values::kNone, set_unsorted},
    {"-a", Values::kOne, set_add},
    {"-afn", Values::kOne, set_target_name},
    {"-ow", Values::kNone, set_overwrite},
    {"-e", Values::kOne, set_erase},
    {"-x", Values::kOne, set_extract},
    {"-sa", Values::kTwo, set_attrs},
    {"-su", Values::kTwo, set_user},
    {"-h", Values::kOne, set_hex_dump},
    {"-t", Values::kOne, set_type},
    {"-w", Values::kOne, set_write_system},
    {"-i", Values::kOne, set_copy_system},
    {"-s", Values::kOne, set_save_system},
    {"-iti", Values::kNone, set_type_info},
    {"-iide", Values::kNone, set_ignore_invalid},
    {"-tns", Values::kNone, set_tns},
    {"-lbl", Values::kOne, set_label},
};

const OptionSpec* find_option(const char* text) {
  for (const OptionSpec& option : kOptions) {
    if (std::strcmp(option.text, text) == 0) return &option;
  }
  return nullptr;
}

// Reads one option and its values at the cursor.
ErrorCode read_option(RunState& state, ArgCursor& args) {
  const char* text = args.take();
  const OptionSpec* option = find_option(text);
  if (option == nullptr) return raise_error(ERR_UNKNOWN_OPTION, text);

  int wanted = 0;
  switch (option->values) {
    case Values::kNone: wanted = 0; break;
    case Values::kOne: wanted = 1; break;
    case Values::kTwo: wanted = 2; break;
    case Values::kOptional: wanted = args.has(1) ? 1 : 0; break;
  }
  if (!args.has(wanted)) return raise_error(ERR_MISSING_VALUE, option->text);
  const char* const* values = args.texts + args.next;
  args.next += wanted;
  return option->handle(state, option->text, values, wanted);
}

// The program path: its directory and its name without extension. A bare
// name (started through the search path) gets the directory the system
// reports for the running executable.
ErrorCode read_program_path(RunState& state, const char* argv0) {
  std::string dir;
  std::string name;
  split_path(argv0, dir, name);
  if (dir.empty()) dir = platform::executable_dir();
  const std::string program = dir + name;  // as named in a refusal
  if (const std::size_t point = name.rfind('.'); point != std::string::npos) {
    name.erase(point);
  }
  if (!fits_field(dir, kTextCapacity) || !fits_field(name, kTextCapacity)) {
    return raise_error(ERR_BAD_VALUE, kProgramOption, program.c_str());
  }
  state.exe_dir = std::move(dir);
  state.exe_name = std::move(name);
  return ERR_OK;
}

ErrorCode read_image_path(RunState& state, const char* argv1) {
  std::string dir;
  std::string name;
  std::string type;
  split_path(argv1, dir, name, &type);
  if (!fits_field(dir, kDirCapacity) || !fits_field(name, kTextCapacity)) {
    return raise_error(ERR_BAD_VALUE, kImageOption, argv1);
  }
  state.image_dir = std::move(dir);
  state.image_name = std::move(name);
  state.image_type_name = std::move(type);
  return ERR_OK;
}

bool is_format(const RunState& state) {
  return state.cmd_full_format || state.cmd_quick_format;
}

bool is_system_command(const RunState& state) {
  return state.cmd_write_system || state.cmd_copy_system || state.cmd_save_system;
}

// The pairwise rules, in their order of precedence.
ErrorCode check_combinations(const RunState& state) {
  const bool has_user = state.user_filter != kAllUsers;
  const bool has_label = !state.tns_label.empty();
  const bool system_or_info = is_system_command(state) || state.opt_type_info;

  if (state.cmd_full_format && state.cmd_quick_format) {
    return raise_error(ERR_BAD_COMBINATION, "-f", "-q");
  }
  struct Rule {
    bool refused;
    const char* option;
  };
  const Rule rules[] = {
      {state.catalogue_page_size != -1 && !state.cmd_catalogue, "-cp"},
      {state.opt_one_column && !state.cmd_catalogue, "-c1"},
      {state.opt_unsorted && !state.cmd_catalogue, "-cu"},
      {state.opt_overwrite && !state.cmd_add, "-ow"},
      {!state.afn_name.empty() && !state.cmd_add, "-afn"},
      {has_user && (system_or_info || is_format(state)), "-u"},
      {state.opt_ignore_invalid && system_or_info, "-iide"},
      {state.opt_tns && (system_or_info || state.cmd_hex_dump || state.cmd_type ||
                         state.cmd_set_attrs || state.cmd_set_user),
       "-tns"},
      {has_label && !state.opt_tns, "-lbl"},
      {has_label && !is_format(state), "-lbl"},
  };
  for (const Rule& rule : rules) {
    if (rule.refused) return raise_error(ERR_BAD_COMBINATION, kNotAllowed, rule.option);
  }
  return ERR_OK;
}

// Exactly one command, or a format alone, or a format with -a.
ErrorCode check_commands(const RunState& state) {
  const struct {
    bool present;
    const char* text;
  } commands[] = {
      {state.cmd_catalogue, "-c "},     {state.cmd_add, "-a "},
      {state.cmd_erase, "-e "},         {state.cmd_extract, "-x "},
      {state.cmd_set_attrs, "-sa "},    {state.cmd_set_user, "-su "},
      {state.cmd_hex_dump, "-h "},      {state.cmd_type, "-t "},
      {state.cmd_write_system, "-w "},  {state.cmd_copy_system, "-i "},
      {state.cmd_save_system, "-s "},   {state.opt_type_info, "-iti "},
  };
  int count = 0;
  std::string list;
  for (const auto& command : commands) {
    if (!command.present) continue;
    ++count;
    list += command.text;
  }
  if (count > 1) return raise_error(ERR_BAD_COMBINATION, list.c_str(), "");
  if (count == 0 && !is_format(state)) return SHOW_USAGE;
  if (count == 1 && !state.cmd_add && is_format(state)) {
    return raise_error(ERR_BAD_COMBINATION, kNotAllowed, "-f/-q");
  }
  return ERR_OK;
}

}  // namespace

ErrorCode parse_options(int argc, const char* const* argv, std::unique_ptr<RunState>& out) {
  out.reset();
  try {
    out = std::make_unique<RunState>();
  } catch (const std::bad_alloc&) {
    return raise_error(ERR_OUT_OF_MEMORY);
  }
  RunState& state = *out;
  if (const ErrorCode code = alloc_zeroed(state.io_buffer, kIoBufferSize)) return code;
  state.user_filter = kAllUsers;
  state.new_user = kAllUsers;
  state.catalogue_page_size = -1;

  if (argc < 1) return SHOW_USAGE;
  if (const ErrorCode code = read_program_path(state, argv[0])) return code;
  if (argc == 1) return SHOW_USAGE;
  if (const ErrorCode code = read_image_path(state, argv[1])) return code;

  ArgCursor args{argc, argv, 2};
  while (args.has(1)) {
    if (const ErrorCode code = read_option(state, args)) return code;
  }

  if (const ErrorCode code = check_combinations(state)) return code;
  if (const ErrorCode code = check_commands(state)) return code;

  // A target name is for one host file only.
  if (!state.afn_name.empty() && state.mask.find_first_of("?*") != std::string::npos) {
    return raise_error(ERR_BAD_VALUE, "-a", state.mask.c_str());
  }
  return ERR_OK;
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

std::int64_t parse_number(const char* text) {
  if (text == nullptr) return -1;
  char* end = nullptr;
  const long long number = std::strtoll(text, &end, 10);
  if (number < 0) return -1;
  if (number == 0 && *end != '\0') return -1;
  return number;
}

}  // namespace xev
