// -w, -i and -s: move the system area (the first bytes of the image, up to
// the data area) as one block: from a host file, from a second image of the
// same type, or into a host file. The directory is never read.
#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "commands/commands.h"
#include "commands/host_files.h"

namespace xev {
namespace {

constexpr std::size_t kBlockSize = 16384;

// Moves one block at `offset`; false when it could not be moved whole.
using BlockMove = std::function<bool(std::int64_t offset, std::uint8_t* data, std::size_t size)>;

// Copies `length` bytes from the start of the source to the start of the
// target in blocks of 16 KiB. A failure ends the copy with its report; the
// blocks before it stay written.
Error copy_blocks(std::int64_t length, const BlockMove& read, const Error& read_failure,
                  const BlockMove& write, const Error& write_failure) {
  std::vector<std::uint8_t> block(kBlockSize);
  for (std::int64_t offset = 0; offset < length;) {
    const auto size = static_cast<std::size_t>(
        std::min<std::int64_t>(length - offset, static_cast<std::int64_t>(kBlockSize)));
    if (!read(offset, block.data(), size)) return read_failure;
    if (!write(offset, block.data(), size)) return write_failure;
    offset += static_cast<std::int64_t>(size);
  }
  return {};
}

BlockMove read_medium(Medium& medium) {
  return [&medium](std::int64_t offset, std::uint8_t* data, std::size_t size) {
    return !medium.read(offset, data, size);
  };
}

BlockMove write_medium(Medium& medium) {
  return [&medium](std::int64_t offset, std::uint8_t* data, std::size_t size) {
    return !medium.write(offset, data, size);
  };
}

// A host file is read and written from its start, block after block.
BlockMove read_host(std::FILE* file) {
  return [file](std::int64_t, std::uint8_t* data, std::size_t size) {
    return std::fread(data, size, 1, file) == 1;
  };
}

BlockMove write_host(std::FILE* file) {
  return [file](std::int64_t, std::uint8_t* data, std::size_t size) {
    return std::fwrite(data, size, 1, file) == 1;
  };
}

// The check every command begins with.
bool has_system_area(const Disk& disk, Output& out) {
  if (disk.geometry().system_size > 0) return true;
  out.fail({ERR_NO_SYSTEM_TRACK, disk.name()});
  return false;
}

}  // namespace

void run_write_system(Disk& disk, const Request& request, Output& out) {
  if (!has_system_area(disk, out)) return;
  const std::string& name = request.mask;
  FilePtr file;
  std::int64_t size = 0;
  if (Error error = open_host_input(request.host_dir, name, file, size)) {
    out.fail(error);
    return;
  }
  const int system_size = disk.geometry().system_size;
  if (size > system_size) {
    out.fail({ERR_SYSTEM_TOO_LONG, name, std::to_string(system_size)});
    return;
  }
  if (!platform::seek(file.get(), 0)) {
    out.fail({ERR_FILE_READ, name});
    return;
  }
  const Error error = copy_blocks(size, read_host(file.get()), {ERR_FILE_READ, name},
                                  write_medium(disk.medium()), {ERR_IMAGE_WRITE, disk.name()});
  if (error) {
    out.fail(error);
    return;
  }
  std::fprintf(out.text(), "\nDone. System written.\n\n");
}

void run_copy_system(Disk& disk, const Request& request, Output& out) {
  if (!has_system_area(disk, out)) return;
  const std::string& name = request.mask;
  // The type is the name's extension, compared exactly; a type named with
  // -it is the type of both images.
  const std::size_t point = name.rfind('.');
  if (request.type_name.empty() &&
      (point == std::string::npos ||
       name.compare(point + 1, std::string::npos, request.image_type) != 0)) {
    out.fail({ERR_TYPE_MISMATCH, name, disk.name()});
    return;
  }
  // The image itself is locked already, by this run.
  const std::string path = request.host_dir + name;
  const int wait_ms = platform::same_file(path, request.image_path()) ? -1 : kLockWaitMs;
  std::unique_ptr<Medium> second;
  if (Error error = open_image_for_reading(path, name, disk.geometry(), wait_ms, second)) {
    out.fail(error.code == ERR_IMAGE_BUSY ? error : Error{ERR_FILE_OPEN, name});
    return;
  }
  const Error error =
      copy_blocks(disk.geometry().system_size, read_medium(*second), {ERR_FILE_READ, name},
                  write_medium(disk.medium()), {ERR_IMAGE_WRITE, disk.name()});
  if (error) {
    out.fail(error);
    return;
  }
  std::fprintf(out.text(), "\nDone. System copied.\n\n");
}

void run_save_system(Disk& disk, const Request& request, Output& out) {
  if (!has_system_area(disk, out)) return;
  const std::string& name = request.mask;
  FilePtr file;
  if (Error error = create_host_output(request.host_dir, name, request.image_path(), file)) {
    out.fail(error);
    return;
  }
  if (!platform::seek(file.get(), 0)) {
    out.fail({ERR_FILE_WRITE, name});
    return;
  }
  Error error = copy_blocks(disk.geometry().system_size, read_medium(disk.medium()),
                            {ERR_IMAGE_READ, disk.name()}, write_host(file.get()),
                            {ERR_FILE_WRITE, name});
  // Buffered data that cannot reach the disk is a failed write as well.
  if (!error && std::fflush(file.get()) != 0) error = {ERR_FILE_WRITE, name};
  if (error) {
    out.fail(error);
    return;
  }
  std::fprintf(out.text(), "\nDone. System extracted.\n\n");
}

}  // namespace xev
