#include "store/format.h"
namespace xev {
ErrorCode format_image(RunState&, bool) { return raise_error(ERR_FATAL); }
ErrorCode clear_directory(RunState&) { return raise_error(ERR_FATAL); }
int find_tns_entry(const RunState&, std::uint8_t, int) { return -1; }
ErrorCode write_tns_label(RunState&) { return raise_error(ERR_FATAL); }
ErrorCode store_tns_map(RunState&) { return raise_error(ERR_FATAL); }
std::uint8_t reverse_bits(std::uint8_t b) { return b; }
}  // namespace xev
