#include "cpm/image.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <thread>
#include <vector>

#include "platform/platform.h"

namespace xev {
namespace {

constexpr std::size_t kMaxPath = 259;
constexpr std::size_t kReadBufferSize = 64 * 1024;
constexpr std::size_t kFillBlock = 1024 * 1024;
constexpr std::uint8_t kFillByte = 0xE5;

using platform::FilePtr;

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

  // A new image: `size` bytes of the fill byte, in large blocks.
  Error fill(std::int64_t size) {
    const std::vector<std::uint8_t> block(kFillBlock, kFillByte);
    size_ = size;
    for (std::int64_t done = 0; done < size;) {
      const auto length = static_cast<std::size_t>(
          std::min<std::int64_t>(size - done, static_cast<std::int64_t>(block.size())));
      if (Error error = write(done, block.data(), length)) return error;
      done += static_cast<std::int64_t>(length);
    }
    return {};
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

}  // namespace

Error open_image(const std::string& path, const std::string& name, const Geometry& geometry,
                 const ImageAccess& access, OpenedImage& out) {
  const Error open_failure{access.may_create ? ERR_IMAGE_EXISTS : ERR_IMAGE_OPEN, name};
  if (path.size() > kMaxPath || platform::is_directory(path)) return open_failure;
  FilePtr file = platform::open_file(path, !access.read_only, access.may_create);
  if (!file) return open_failure;
  // Nothing is looked at, cut or created before the lock is ours: two runs
  // that create the same image must not both format it.
  if (!lock(file.get(), !access.read_only, access.lock_wait_ms)) return {ERR_IMAGE_BUSY, name};
  // What cannot be cut (a device, a pipe) shows in its length below.
  if (access.truncate) platform::truncate(file.get());
  // Files are read record after record, mostly in order: a reading stream
  // gets a buffer. A writing one has none (see RawImage::write).
  if (access.read_only) {
    std::setvbuf(file.get(), nullptr, _IOFBF, kReadBufferSize);
  } else {
    std::setvbuf(file.get(), nullptr, _IONBF, 0);
  }

  const std::int64_t length = platform::file_length(file.get());
  auto image = std::make_unique<RawImage>(name, std::move(file), length);
  out.created = access.may_create && length == 0;
  if (out.created) {
    if (Error error = image->fill(geometry.image_size)) return error;
  }
  if (image->size() != geometry.image_size) return {ERR_IMAGE_SIZE, name};
  out.medium = std::move(image);
  return {};
}

Error open_image_for_reading(const std::string& path, const std::string& name, int lock_wait_ms,
                             std::unique_ptr<Medium>& out) {
  if (path.size() > kMaxPath || platform::is_directory(path)) return {ERR_IMAGE_OPEN, name};
  FilePtr file = platform::open_file(path, false, false);
  if (!file) return {ERR_IMAGE_OPEN, name};
  if (lock_wait_ms >= 0 && !lock(file.get(), false, lock_wait_ms)) return {ERR_IMAGE_BUSY, name};
  const std::int64_t length = platform::file_length(file.get());
  if (length < 0) return {ERR_IMAGE_OPEN, name};
  out = std::make_unique<RawImage>(name, std::move(file), length);
  return {};
}

}  // namespace xev
