// The option parser on any argument vector: the input split at NUL bytes,
// after a fixed program name. A command line it accepts must fit the fields
// and ask for exactly one thing to do.
#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "cli/options.h"
#include "cli/run_state.h"
#include "fuzz_support.h"

namespace {

using namespace xev;

constexpr std::size_t kMaxArguments = 16;

bool is_user_area(std::uint8_t user) { return user <= 31; }

void check_accepted(const RunState& state) {
  FUZZ_CHECK(fits_field(state.exe_dir, kTextCapacity));
  FUZZ_CHECK(fits_field(state.exe_name, kTextCapacity));
  FUZZ_CHECK(fits_field(state.image_dir, kDirCapacity));
  FUZZ_CHECK(fits_field(state.image_name, kTextCapacity));
  FUZZ_CHECK(fits_field(state.image_type_name, kTextCapacity));
  FUZZ_CHECK(fits_field(state.host_dir, kDirCapacity));
  FUZZ_CHECK(fits_field(state.mask, kTextCapacity));
  FUZZ_CHECK(fits_field(state.afn_name, kTextCapacity));
  FUZZ_CHECK(state.tns_label.empty() || state.tns_label.size() == kLabelLength);

  FUZZ_CHECK(state.user_filter == kAllUsers || is_user_area(state.user_filter));
  FUZZ_CHECK(state.cmd_set_user ? is_user_area(state.new_user) : state.new_user == kAllUsers);
  if (state.cmd_set_attrs) {
    FUZZ_CHECK(state.new_attrs == "--" || state.new_attrs == "R-" ||
               state.new_attrs == "-S" || state.new_attrs == "RS");
  }
  FUZZ_CHECK(state.catalogue_page_size == -1 ||
             (state.catalogue_page_size >= 2 && state.catalogue_page_size % 2 == 0));

  const int commands = state.cmd_catalogue + state.cmd_add + state.cmd_erase +
                       state.cmd_extract + state.cmd_set_attrs + state.cmd_set_user +
                       state.cmd_hex_dump + state.cmd_type + state.cmd_write_system +
                       state.cmd_copy_system + state.cmd_save_system + state.opt_type_info;
  const bool format = state.cmd_full_format || state.cmd_quick_format;
  FUZZ_CHECK(!(state.cmd_full_format && state.cmd_quick_format));
  FUZZ_CHECK(commands == 1 || (commands == 0 && format));
  FUZZ_CHECK(!format || commands == 0 || state.cmd_add);
  // Only commands that work on files take a mask.
  if (state.cmd_catalogue || state.cmd_erase || state.cmd_set_attrs || state.cmd_set_user ||
      state.cmd_hex_dump || state.cmd_type) {
    FUZZ_CHECK(state.host_dir.empty());
  }
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  fuzz::silence_tool_output();
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  std::vector<std::string> arguments{"xev"};
  const char* text = reinterpret_cast<const char*>(data);
  for (std::size_t start = 0; start <= size && arguments.size() < kMaxArguments;) {
    std::size_t end = start;
    while (end < size && text[end] != '\0') ++end;
    arguments.emplace_back(text + start, end - start);
    start = end + 1;
  }
  std::vector<const char*> argv;
  for (const std::string& argument : arguments) argv.push_back(argument.c_str());

  std::unique_ptr<RunState> state;
  const ErrorCode code = parse_options(static_cast<int>(argv.size()), argv.data(), state);
  FUZZ_CHECK(state != nullptr);
  if (code == ERR_OK) check_accepted(*state);
  return 0;
}
