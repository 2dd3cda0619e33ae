#include "store/image.h"
namespace xev {
ErrorCode open_image(RunState&) { return raise_error(ERR_FATAL); }
void close_image(RunState& s) { s.image_file.reset(); }
bool locate_record(const RunState&, int, int, int&, int&) { return false; }
ErrorCode read_record(RunState&, std::uint8_t*, int, int) { return raise_error(ERR_FATAL); }
ErrorCode write_record(RunState&, const std::uint8_t*, int, int) { return raise_error(ERR_FATAL); }
ErrorCode open_host_file(RunState&, bool) { return raise_error(ERR_FATAL); }
void close_host_file(RunState& s) { s.host_file.reset(); }
bool seek_stream(std::FILE*, std::int64_t) { return false; }
std::int64_t stream_length(std::FILE*) { return -1; }
}  // namespace xev
