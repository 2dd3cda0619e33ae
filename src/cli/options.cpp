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

// Whether the first value is a file argument, and whether it may have a
// directory part.
enum class FileArgument { kNone, kNameOnly, kPathAllowed };

// Tests and stores the values that are not a file argument.
using ValueHandler = ErrorCode (*)(RunState& state, const char* option,
                                   const char* value);

struct OptionSpec {
  const char* text;
  Values values;
  FileArgument file;
  bool RunState::*flag;  // set once the values have passed, or null
  ValueHandler handle;   // for the value after the file argument, or null
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

ErrorCode set_user_filter(RunState& state, const char* option, const char* value) {
  const int user = read_user_number(value);
  if (user < 0) return raise_error(ERR_BAD_VALUE, option, value);
  state.user_filter = static_cast<std::uint8_t>(user);
  return ERR_OK;
}

ErrorCode set_new_user(RunState& state, const char* option, const char* value) {
  const int user = read_user_number(value);
  if (user < 0) return raise_error(ERR_BAD_VALUE, option, value);
  state.new_user = static_cast<std::uint8_t>(user);
  return ERR_OK;
}

ErrorCode set_page_size(RunState& state, const char* option, const char* value) {
  std::int64_t files = parse_number(value);
  if (files < 1) return raise_error(ERR_BAD_VALUE, option, value);
  // Pages hold two columns, so the size is even. A size beyond any directory
  // simply means one page.
  if (files > INT_MAX - 1) files = INT_MAX - 1;
  if (files % 2 != 0) ++files;
  state.catalogue_page_size = static_cast<int>(files);
  return ERR_OK;
}

ErrorCode set_target_name(RunState& state, const char* option, const char* value) {
  if (!fits_field(value, kTextCapacity)) return raise_error(ERR_BAD_VALUE, option, value);
  state.afn_name = value;
  return ERR_OK;
}

// Exactly one of "--", "R-", "-S" and "RS".
ErrorCode set_new_attrs(RunState& state, const char* option, const char* value) {
  const bool valid = std::strlen(value) == 2 && (value[0] == 'R' || value[0] == '-') &&
                     (value[1] == 'S' || value[1] == '-');
  if (!valid) return raise_error(ERR_BAD_VALUE, option, value);
  state.new_attrs = value;
  return ERR_OK;
}

// The label as stored: upper case, padded with blanks to its full length.
ErrorCode set_label(RunState& state, const char* option, const char* value) {
  if (std::strlen(value) > kLabelLength) return raise_error(ERR_BAD_VALUE, option, value);
  std::string label(value);
  for (char& c : label) {
    if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
  }
  label.resize(kLabelLength, ' ');
  state.tns_label = std::move(label);
  return ERR_OK;
}

using V = Values;
using F = FileArgument;
using S = RunState;

const OptionSpec kOptions[] = {
    {"-f", V::kNone, F::kNone, &S::cmd_full_format, nullptr},
    {"-q", V::kNone, F::kNone, &S::cmd_quick_format, nullptr},
    {"-u", V::kOne, F::kNone, nullptr, set_user_filter},
    {"-c", V::kOptional, F::kNameOnly, &S::cmd_catalogue, nullptr},
    {"-cp", V::kOne, F::kNone, nullptr, set_page_size},
    {"-c1", V::kNone, F::kNone, &S::opt_one_column, nullptr},
    {"-cu", V::kNone, F::kNone, &S::opt_unsorted, nullptr},
    {"-a", V::kOne, F::kPathAllowed, &S::cmd_add, nullptr},
    {"-afn", V::kOne, F::kNone, nullptr, set_target_name},
    {"-ow", V::kNone, F::kNone, &S::opt_overwrite, nullptr},
    {"-e", V::kOne, F::kNameOnly, &S::cmd_erase, nullptr},
    {"-x", V::kOne, F::kPathAllowed, &S::cmd_extract, nullptr},
    {"-sa", V::kTwo, F::kNameOnly, &S::cmd_set_attrs, set_new_attrs},
    {"-su", V::kTwo, F::kNameOnly, &S::cmd_set_user, set_new_user},
    {"-h", V::kOne, F::kNameOnly, &S::cmd_hex_dump, nullptr},
    {"-t", V::kOne, F::kNameOnly, &S::cmd_type, nullptr},
    {"-w", V::kOne, F::kPathAllowed, &S::cmd_write_system, nullptr},
    {"-i", V::kOne, F::kPathAllowed, &S::cmd_copy_system, nullptr},
    {"-s", V::kOne, F::kPathAllowed, &S::cmd_save_system, nullptr},
    {"-iti", V::kNone, F::kNone, &S::opt_type_info, nullptr},
    {"-iide", V::kNone, F::kNone, &S::opt_ignore_invalid, nullptr},
    {"-tns", V::kNone, F::kNone, &S::opt_tns, nullptr},
    {"-lbl", V::kOne, F::kNone, nullptr, set_label},
};

const OptionSpec* find_option(const char* text) {
  for (const OptionSpec& option : kOptions) {
    if (std::strcmp(option.text, text) == 0) return &option;
  }
  return nullptr;
}

// Tests the values of one option in order (file argument first, then the
// other value) and sets the option's flag only when all have passed.
ErrorCode apply_option(RunState& state, const OptionSpec& option,
                       const char* const* values, int count) {
  int next = 0;
  if (option.file != FileArgument::kNone) {
    if (count == 0) {
      state.mask = "*.*";  // -c as the last argument lists everything
    } else if (const ErrorCode code = take_file_argument(
                   state, option.text, values[next++],
                   option.file == FileArgument::kPathAllowed)) {
      return code;
    }
  }
  if (option.handle != nullptr) {
    if (const ErrorCode code = option.handle(state, option.text, values[next])) {
      return code;
    }
  }
  if (option.flag != nullptr) state.*option.flag = true;
  return ERR_OK;
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
  return apply_option(state, *option, values, wanted);
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
