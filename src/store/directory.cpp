#include "store/directory.h"
namespace xev {
int directory_au_count(const RunState&) { return 0; }
ErrorCode load_directory(RunState&) { return raise_error(ERR_FATAL); }
ErrorCode save_directory(RunState&) { return raise_error(ERR_FATAL); }
bool parse_cpm_name(RunState&, char*, const std::string&) { return false; }
const char* pad_name_field(char*, const char* t, int) { return t; }
void load_entry_name(RunState&, int) {}
int entry_pointer(const RunState&, const std::uint8_t*, int) { return 0; }
void set_entry_pointer(const RunState&, std::uint8_t*, int, int) {}
bool set_au_bit(RunState&, int, bool) { return false; }
int first_free_au(const RunState&) { return 0; }
int count_free_aus(const RunState&) { return 0; }
int count_free_entries(const RunState&) { return 0; }
int first_free_entry(const RunState&) { return -1; }
ExtentKey extent_key_of(const RunState&, int) { return {}; }
int find_entry_from(const RunState&, const ExtentKey&, int) { return -1; }
int file_records(const RunState&, const ExtentKey&) { return 0; }
int search_first(RunState&, const FcbName&) { return -1; }
int search_next(RunState&) { return -1; }
}  // namespace xev
