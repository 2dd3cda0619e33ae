#include "cpm/image.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <thread>
#include <vector>

#include "cpm/container.h"
#include "platform/platform.h"

namespace xev {
namespace {

constexpr std::size_t kMaxPath = 259;
constexpr std::size_t kReadBufferSize = 64 * 1024;
constexpr std::size_t kFillBlock = 1024 * 1024;
constexpr std::uint8_t kFillByte = 0xE5;
// Enough of a file's start for every container signature.
constexpr std::size_t kSignatureBytes = 64;

using platform::FilePtr;

// Writes `size` bytes of the fill byte from the start, in large blocks.
Error fill_medium(Medium& medium, std::int64_t size) {
  const std::vector<std::uint8_t> block(kFillBlock, kFillByte);
  for (std::int64_t done = 0; done < size;) {
    const auto length = static_cast<std::size_t>(
        std::min<std::int64_t>(size - done, static_cast<std::int64_t>(block.size())));
    if (Error error = medium.write(done, block.data(), length)) return error;
    done += static_cast<std::int64_t>(length);
  }
  return {};
}

// A plain image file: the layout is the file itself.
class RawImage final : public Medium {
 public:
  RawImage(std::string name, FilePtr file, std::int64_t size)
      : Medium(std::move(name)), file_(std::move(file)), size_(size) {}

  std::int64_t size() const override { return size_; }

  Error read(std::int64_t offset, std::uint8_t* data, std::size_t length) override {
    if (offset + static_cast<std::int64_t>(length) > size_ ||
        !platform::seek(file_.get(), offset) || std::fread(data, 1, length, file_.get()) != length) {
      return {ERR_IMAGE_READ, name()};
    }
    return {};
  }

  // Writing streams are unbuffered and flushed, so that a failing write shows
  // at its record and not unnoticed at the close.
  Error write(std::int64_t offset, const std::uint8_t* data, std::size_t length) override {
    if (offset + static_cast<std::int64_t>(length) > size_ ||
        !platform::seek(file_.get(), offset) ||
        std::fwrite(data, 1, length, file_.get()) != length || std::fflush(file_.get()) != 0) {
      return {ERR_IMAGE_WRITE, name()};
    }
    return {};
  }

  // A new image: `size` bytes of the fill byte.
  Error fill(std::int64_t size) {
    size_ = size;
    return fill_medium(*this, size);
  }

 private:
  FilePtr file_;
  std::int64_t size_;
};

// Waits up to `wait_ms` for the lock; a run that cannot get it does nothing.
bool lock(std::FILE* file, bool exclusive, int wait_ms) {
  using Clock = std::chrono::steady_clock;
  const Clock::time_point deadline = Clock::now() + std::chrono::milliseconds(wait_ms);
  while (!platform::try_lock(file, exclusive)) {
    if (Clock::now() >= deadline) return false;
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
  }
  return true;
}

// The container the open `file` announces by its first bytes; kRaw for one
// that has no start to read again (a pipe, a terminal) or holds anything
// else. An ImageDisk header is read up to the end of its comment. `empty`:
// the file holds nothing.
ContainerKind existing_container(std::FILE* file, bool& empty) {
  empty = true;
  if (platform::file_length(file) < 0 || !platform::seek(file, 0)) return ContainerKind::kRaw;
  std::uint8_t head[kSignatureBytes];
  const std::size_t got = std::fread(head, 1, sizeof head, file);
  empty = got == 0;
  const ContainerKind kind = detect_container(head, got);
  if (kind != ContainerKind::kRaw || got < 4 || std::memcmp(head, "IMD ", 4) != 0) return kind;
  // A long ImageDisk comment: look on for its end.
  std::uint8_t block[4096];
  for (std::size_t n = 0; (n = std::fread(block, 1, sizeof block, file)) > 0;) {
    if (std::memchr(block, 0x1A, n) != nullptr) return ContainerKind::kImd;
  }
  return ContainerKind::kRaw;
}

}  // namespace

Error open_image(const std::string& path, const std::string& name, const Geometry& geometry,
                 const ImageAccess& access, OpenedImage& out) {
  const Error open_failure{access.may_create ? ERR_IMAGE_EXISTS : ERR_IMAGE_OPEN, name};
  if (path.size() > kMaxPath || platform::is_directory(path)) return open_failure;
  // Nothing is looked at, cut or created before the lock is ours: two runs
  // that create the same image must not both format it. A run we waited for
  // may have rebuilt a container into a new file under the same name: that
  // one is opened and locked instead.
  FilePtr file;
  do {
    file = platform::open_file(path, !access.read_only, access.may_create);
    if (!file) return open_failure;
    if (!lock(file.get(), !access.read_only, access.lock_wait_ms)) return {ERR_IMAGE_BUSY, name};
  } while (!platform::names_open_file(path, file.get()));
  // Files are read record after record, mostly in order: a reading stream
  // gets a buffer. A writing one has none (see RawImage::write).
  if (access.read_only) {
    std::setvbuf(file.get(), nullptr, _IOFBF, kReadBufferSize);
  } else {
    std::setvbuf(file.get(), nullptr, _IONBF, 0);
  }
  // An existing container is used as it is, whatever the command and the
  // type's container for new images: a full format fills its sectors. So is
  // an existing plain image, also when a full format empties it.
  bool empty = true;
  if (existing_container(file.get(), empty) != ContainerKind::kRaw) {
    if (Error error = open_container(std::move(file), path, name, geometry, !access.read_only,
                                     true, out.medium)) {
      return error;
    }
    out.created = access.truncate;
    return out.created ? fill_medium(*out.medium, geometry.image_size) : Error{};
  }
  // What cannot be cut (a device, a pipe) shows in its length below. A file
  // that is empty already is left alone: on some file systems cutting it
  // makes closing it wait until everything written is on the disk.
  std::int64_t length = platform::file_length(file.get());
  if (access.truncate && length != 0) {
    platform::truncate(file.get());
    length = platform::file_length(file.get());
  }
  out.created = access.may_create && length == 0;
  if (out.created && empty && geometry.container.kind != ContainerKind::kRaw) {
    return create_container(std::move(file), path, name, geometry, out.medium);
  }
  auto image = std::make_unique<RawImage>(name, std::move(file), length);
  if (out.created) {
    if (Error error = image->fill(geometry.image_size)) return error;
  }
  if (image->size() != geometry.image_size) return {ERR_IMAGE_SIZE, name};
  out.medium = std::move(image);
  return {};
}

Error open_image_for_reading(const std::string& path, const std::string& name,
                             const Geometry& geometry, int lock_wait_ms,
                             std::unique_ptr<Medium>& out) {
  if (path.size() > kMaxPath || platform::is_directory(path)) return {ERR_IMAGE_OPEN, name};
  FilePtr file = platform::open_file(path, false, false);
  if (!file) return {ERR_IMAGE_OPEN, name};
  if (lock_wait_ms >= 0 && !lock(file.get(), false, lock_wait_ms)) return {ERR_IMAGE_BUSY, name};
  std::setvbuf(file.get(), nullptr, _IOFBF, kReadBufferSize);
  bool empty = true;
  if (existing_container(file.get(), empty) != ContainerKind::kRaw) {
    return open_container(std::move(file), path, name, geometry, false, false, out);
  }
  const std::int64_t length = platform::file_length(file.get());
  if (length < 0) return {ERR_IMAGE_OPEN, name};
  out = std::make_unique<RawImage>(name, std::move(file), length);
  return {};
}

}  // namespace xev
