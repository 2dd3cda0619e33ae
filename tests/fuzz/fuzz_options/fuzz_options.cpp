// The option parser on any argument vector: the input split at NUL bytes,
// after a fixed program name. A command line it accepts must fit the fields
// and ask for one thing to do.
#include <cstdint>
#include <string>
#include <vector>

#include "cli/options.h"
#include "fuzz_support.h"

using namespace xev;

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
  CommandLine line;
  if (parse_options(static_cast<int>(argv.size()), argv.data(), line)) return 0;

  const Request& r = line.request;
  for (const std::string* field : {&r.image_name, &r.mask, &r.target_name}) {
    FUZZ_CHECK(field->size() < 256);
  }
  FUZZ_CHECK(r.image_dir.size() < 260 && r.host_dir.size() < 260);
  FUZZ_CHECK(r.label.empty() || r.label.size() == 11);
  FUZZ_CHECK(r.user == kAllUsers || (r.user >= 0 && r.user <= 31));
  FUZZ_CHECK(r.command == Command::kSetUser ? r.new_user >= 0 && r.new_user <= 31
                                            : r.new_user == kAllUsers);
  FUZZ_CHECK(r.command != Command::kSetAttributes || r.new_attributes == "--" ||
             r.new_attributes == "R-" || r.new_attributes == "-S" || r.new_attributes == "RS");
  FUZZ_CHECK(r.page_size == -1 || (r.page_size >= 2 && r.page_size % 2 == 0));
  FUZZ_CHECK(r.format == Format::kNone ? r.command != Command::kNone
                                       : r.command == Command::kNone || r.command == Command::kAdd);
  FUZZ_CHECK(!r.json || (r.command == Command::kCatalogue && !r.one_column && r.page_size == -1 &&
                         !line.banner));
  FUZZ_CHECK(!r.text_mode || r.command == Command::kAdd || r.command == Command::kExtract ||
             r.command == Command::kType);
  return 0;
}
