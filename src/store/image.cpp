// The image file and its record addressing, and the host file stream.
#ifndef _WIN32
#define _FILE_OFFSET_BITS 64  // 64-bit fseeko/ftello on 32-bit systems too
#endif
#include "store/image.h"

#include <algorithm>
#include <cstring>
#include <filesystem>
#include <system_error>

#include "platform/platform.h"

namespace xev {
namespace {

// A path of more than this many characters cannot be opened; it is refused
// before the file system is asked, exactly as a failed open.
constexpr std::size_t kReadBufferSize = 64 * 1024;

bool path_fits(const std::string& path) {
  return path.size() <= kMaxJoinedPath;
}

bool is_directory(const std::string& path) {
  std::error_code error;
  return std::filesystem::is_directory(path, error);
}

// True when `path` names the image's own file rather than a link to it:
// creating a host file there would delete the disk.
bool names_the_image(const RunState& state, const std::string& path) {
  namespace fs = std::filesystem;
  std::error_code error;
  if (fs::is_symlink(fs::symlink_status(path, error))) return false;
  return fs::equivalent(path, state.image_dir + state.image_name, error);
}

FilePtr open_file(const std::string& path, const char* mode) {
  return FilePtr(std::fopen(path.c_str(), mode));
}

// The commands that only look at the image.
bool opens_read_only(const RunState& state) {
  return state.cmd_catalogue || state.cmd_type || state.cmd_hex_dump ||
         state.cmd_extract || state.cmd_save_system;
}

bool may_create(const RunState& state) {
  return state.cmd_full_format || state.cmd_quick_format || state.cmd_add;
}

// Fills the whole image with 0xE5, in blocks of the work buffer.
ErrorCode fill_new_image(RunState& state) {
  if (const ErrorCode code = alloc_zeroed(state.io_buffer, kIoBufferSize)) return code;
  std::fill(state.io_buffer.begin(), state.io_buffer.end(), kFreeMark);
  std::FILE* file = state.image_file.get();
  const std::int64_t total = state.image_size;
  bool ok = seek_stream(file, 0);
  for (std::int64_t written = 0; ok && written < total;) {
    const auto block = static_cast<std::size_t>(std::min<std::int64_t>(
        total - written, static_cast<std::int64_t>(state.io_buffer.size())));
    ok = std::fwrite(state.io_buffer.data(), 1, block, file) == block;
    written += static_cast<std::int64_t>(block);
  }
  if (!ok || std::fflush(file) != 0) {
    return raise_error(ERR_IMAGE_WRITE, state.image_name.c_str());
  }
  std::printf("Image '%s' was created.\n", state.image_name.c_str());
  return ERR_OK;
}

// File offset of the record at `track` and logical `sector`, or -1 when the
// record does not lie inside the image.
std::int64_t record_offset(const RunState& state, int track, int sector) {
  if (sector < 0 || sector >= state.sectors_per_track ||
      static_cast<std::size_t>(sector) >= state.skew_table.size()) {
    return -1;
  }
  const std::int64_t offset =
      static_cast<std::int64_t>(state.system_size) +
      static_cast<std::int64_t>(track - state.reserved_tracks) * state.track_size +
      static_cast<std::int64_t>(state.skew_table[static_cast<std::size_t>(sector)] - 1) *
          kRecordSize;
  if (offset < state.system_size || offset + kRecordSize > state.image_size) return -1;
  return offset;
}

}  // namespace

bool seek_stream(std::FILE* file, std::int64_t offset) {
  if (file == nullptr || offset < 0) return false;
#ifdef _WIN32
  return _fseeki64(file, offset, SEEK_SET) == 0;
#else
  return fseeko(file, static_cast<off_t>(offset), SEEK_SET) == 0;
#endif
}

std::int64_t stream_length(std::FILE* file) {
  if (file == nullptr) return -1;
#ifdef _WIN32
  if (_fseeki64(file, 0, SEEK_END) != 0) return -1;
  return _ftelli64(file);
#else
  if (fseeko(file, 0, SEEK_END) != 0) return -1;
  return static_cast<std::int64_t>(ftello(file));
#endif
}

ErrorCode open_image(RunState& state) {
  const std::string path = state.image_dir + state.image_name;
  const bool creatable = may_create(state);
  const ErrorCode open_failure = creatable ? ERR_IMAGE_EXISTS : ERR_IMAGE_OPEN;
  if (!path_fits(path) || is_directory(path)) {
    return raise_error(open_failure, state.image_name.c_str());
  }

  // Create the file (or cut it for a full format); a failure shows up at the
  // open below.
  if (creatable) open_file(path, state.cmd_full_format ? "w+b" : "a+b");

  state.image_file = open_file(path, opens_read_only(state) ? "rb" : "r+b");
  if (!state.image_file) return raise_error(open_failure, state.image_name.c_str());
  // A writing stream stays unbuffered, so that a failing write shows at its
  // record and not unnoticed at the close. A reading stream gets a buffer:
  // files are read record after record, mostly in order.
  if (opens_read_only(state)) {
    std::setvbuf(state.image_file.get(), nullptr, _IOFBF, kReadBufferSize);
  } else {
    std::setvbuf(state.image_file.get(), nullptr, _IONBF, 0);
  }

  std::int64_t length = stream_length(state.image_file.get());
  if (creatable && length == 0) {
    state.cmd_full_format = true;
    if (const ErrorCode code = fill_new_image(state)) return code;
    length = stream_length(state.image_file.get());
  }
  if (length != state.image_size)
    return raise_error(ERR_IMAGE_SIZE, state.image_name.c_str());
  return ERR_OK;
}

void close_image(RunState& state) {
  state.image_file.reset();
}

bool locate_record(const RunState& state, int au, int record, int& track, int& sector) {
  if (au < 0 || au >= state.au_count || record < 0 || record >= state.records_per_au ||
      state.sectors_per_track <= 0) {
    return false;
  }
  const std::int64_t logical =
      static_cast<std::int64_t>(au) * state.records_per_au + record;
  track = static_cast<int>(logical / state.sectors_per_track) + state.reserved_tracks;
  sector = static_cast<int>(logical % state.sectors_per_track);
  return true;
}

ErrorCode read_record(RunState& state, std::uint8_t* buffer, int track, int sector) {
  std::FILE* file = state.image_file.get();
  const std::int64_t offset = record_offset(state, track, sector);
  if (offset < 0 || !seek_stream(file, offset) ||
      std::fread(buffer, 1, kRecordSize, file) != static_cast<std::size_t>(kRecordSize)) {
    return raise_error(ERR_IMAGE_READ, state.image_name.c_str());
  }
  return ERR_OK;
}

ErrorCode write_record(RunState& state, const std::uint8_t* buffer, int track,
                       int sector) {
  std::FILE* file = state.image_file.get();
  const std::int64_t offset = record_offset(state, track, sector);
  // The flush makes a failing write show here, not unnoticed at the close.
  if (offset < 0 || !seek_stream(file, offset) ||
      std::fwrite(buffer, 1, kRecordSize, file) !=
          static_cast<std::size_t>(kRecordSize) ||
      std::fflush(file) != 0) {
    return raise_error(ERR_IMAGE_WRITE, state.image_name.c_str());
  }
  return ERR_OK;
}

ErrorCode open_host_file(RunState& state, bool for_writing) {
  close_host_file(state);
  const std::string path = state.host_dir + state.host_name;
  const ErrorCode failure = for_writing ? ERR_FILE_CREATE : ERR_FILE_OPEN;
  if (!path_fits(path) || is_directory(path) ||
      (for_writing && names_the_image(state, path))) {
    return raise_error(failure, state.host_name.c_str());
  }

  if (for_writing) {
    platform::remove_regular_file(path);
    open_file(path, "a+b");
    state.host_file = open_file(path, "r+b");
  } else {
    state.host_file = open_file(path, "rb");
  }
  if (!state.host_file) return raise_error(failure, state.host_name.c_str());

  if (for_writing) {
    state.host_file_size = 0;
  } else {
    state.host_file_size = stream_length(state.host_file.get());
    if (state.host_file_size < 0) {
      state.host_file.reset();
      return raise_error(failure, state.host_name.c_str());
    }
  }
  // A device such as /dev/full cannot seek; it is still usable from its start.
  if (!seek_stream(state.host_file.get(), 0)) std::clearerr(state.host_file.get());
  return ERR_OK;
}

void close_host_file(RunState& state) {
  state.host_file.reset();
}

}  // namespace xev
