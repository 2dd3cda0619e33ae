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

void check_accepted(const RunState& s) {
  for (const std::string* text : {&s.exe_dir, &s.exe_name, &s.image_name, &s.image_type_name,
                                  &s.mask, &s.afn_name}) {
    FUZZ_CHECK(fits_field(*text, kTextCapacity));
  }
  FUZZ_CHECK(fits_field(s.image_dir, kDirCapacity) && fits_field(s.host_dir, kDirCapacity));
  FUZZ_CHECK(s.tns_label.empty() || s.tns_label.size() == kLabelLength);
  FUZZ_CHECK(s.user_filter == kAllUsers || s.user_filter <= 31);
  FUZZ_CHECK(s.cmd_set_user ? s.new_user <= 31 : s.new_user == kAllUsers);
  FUZZ_CHECK(!s.cmd_set_attrs || s.new_attrs == "--" || s.new_attrs == "R-" ||
             s.new_attrs == "-S" || s.new_attrs == "RS");
  FUZZ_CHECK(s.catalogue_page_size == -1 ||
             (s.catalogue_page_size >= 2 && s.catalogue_page_size % 2 == 0));
  const int commands = s.cmd_catalogue + s.cmd_add + s.cmd_erase + s.cmd_extract + s.cmd_type +
                       s.cmd_set_attrs + s.cmd_set_user + s.cmd_hex_dump + s.cmd_write_system +
                       s.cmd_copy_system + s.cmd_save_system + s.opt_type_info;
  const bool format = s.cmd_full_format || s.cmd_quick_format;
  FUZZ_CHECK(!(s.cmd_full_format && s.cmd_quick_format));
  FUZZ_CHECK(commands == 1 ? !format || s.cmd_add : commands == 0 && format);
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  fuzz::silence_tool_output();
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  std::vector<std::string> arguments{"xev"};
  const char* text = reinterpret_cast<const char*>(data);
  for (std::size_t start = 0; start <= size && arguments.size() < 16;) {
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
