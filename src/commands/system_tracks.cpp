// -w, -i and -s: move the system area (the first system_size bytes of the
// image) as one block, from a host file, from a second image of the same
// type, or into a host file. The directory is never read.
#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <string>

#include "commands/commands.h"
#include "store/image.h"

namespace xev {
namespace {

// One side of a block copy and the failure reported when it lets us down.
struct Stream {
  std::FILE* file;
  ErrorCode failure;
  const char* name;
};

// Copies `length` bytes from the start of `source` to the start of `target`
// through io_buffer, in blocks of at most 16 KiB. The target is flushed at
// the end, so a write the system refuses late is still reported here. False
// once a failure has been reported; the blocks before it stay written.
bool copy_blocks(RunState& state, const Stream& source, const Stream& target,
                 std::int64_t length) {
  if (!seek_stream(source.file, 0)) {
    raise_error(source.failure, source.name);
    return false;
  }
  if (!seek_stream(target.file, 0)) {
    raise_error(target.failure, target.name);
    return false;
  }
  std::uint8_t* buffer = state.io_buffer.data();
  for (std::int64_t remaining = length; remaining > 0;) {
    const auto block = static_cast<std::size_t>(
        std::min<std::int64_t>(remaining, static_cast<std::int64_t>(kIoBufferSize)));
    if (std::fread(buffer, block, 1, source.file) != 1) {
      raise_error(source.failure, source.name);
      return false;
    }
    if (std::fwrite(buffer, block, 1, target.file) != 1) {
      raise_error(target.failure, target.name);
      return false;
    }
    remaining -= static_cast<std::int64_t>(block);
  }
  if (std::fflush(target.file) != 0) {
    raise_error(target.failure, target.name);
    return false;
  }
  return true;
}

// The checks all three commands begin with; on success host_name holds the
// name part of the file argument, which the messages use.
bool begin_system_command(RunState& state) {
  if (state.system_size == 0) {
    raise_error(ERR_NO_SYSTEM_TRACK, state.image_name.c_str());
    return false;
  }
  state.host_name = state.mask;
  return true;
}

Stream image_stream(const RunState& state, ErrorCode failure) {
  return {state.image_file.get(), failure, state.image_name.c_str()};
}

Stream host_stream(const RunState& state, ErrorCode failure) {
  return {state.host_file.get(), failure, state.host_name.c_str()};
}

}  // namespace

void run_write_system(RunState& state) {
  if (!begin_system_command(state)) return;
  if (open_host_file(state, false) != ERR_OK) return;
  if (state.host_file_size > state.system_size) {
    close_host_file(state);
    raise_error(ERR_SYSTEM_TOO_LONG, state.host_name.c_str(),
                static_cast<std::int64_t>(state.system_size));
    return;
  }
  if (!copy_blocks(state, host_stream(state, ERR_FILE_READ),
                   image_stream(state, ERR_IMAGE_WRITE), state.host_file_size)) {
    return;
  }
  close_host_file(state);
  std::printf("\nDone. System written.\n\n");
}

void run_copy_system(RunState& state) {
  if (!begin_system_command(state)) return;
  const std::string::size_type point = state.host_name.rfind('.');
  if (point == std::string::npos ||
      state.host_name.compare(point + 1, std::string::npos, state.image_type_name) != 0) {
    raise_error(ERR_TYPE_MISMATCH, state.host_name.c_str(), state.image_name.c_str());
    return;
  }
  if (open_host_file(state, false) != ERR_OK) return;
  if (!copy_blocks(state, host_stream(state, ERR_FILE_READ),
                   image_stream(state, ERR_IMAGE_WRITE), state.system_size)) {
    return;
  }
  close_host_file(state);
  std::printf("\nDone. System copied.\n\n");
}

void run_save_system(RunState& state) {
  if (!begin_system_command(state)) return;
  if (open_host_file(state, true) != ERR_OK) return;
  if (!copy_blocks(state, image_stream(state, ERR_IMAGE_READ),
                   host_stream(state, ERR_FILE_WRITE), state.system_size)) {
    return;
  }
  close_host_file(state);
  std::printf("\nDone. System extracted.\n\n");
}

}  // namespace xev
