#include "cpm/image.h"

#include <algorithm>
#include <cstdio>
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

FilePtr open_file(const std::string& path, const char* mode) {
  return FilePtr(std::fopen(path.c_str(), mode));
}

}  // namespace

Error open_image(const std::string& path, const std::string& name, const Geometry& geometry,
                 const ImageAccess& access, OpenedImage& out) {
  const Error open_failure{access.may_create ? ERR_IMAGE_EXISTS : ERR_IMAGE_OPEN, name};
  if (path.size() > kMaxPath || platform::is_directory(path)) return open_failure;

  // Create the file (or cut it for a full format); a failure shows at the
  // open below.
  if (access.may_create) open_file(path, access.truncate ? "w+b" : "a+b");

  FilePtr file = open_file(path, access.read_only ? "rb" : "r+b");
  if (!file) return open_failure;
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

Error open_image_for_reading(const std::string& path, const std::string& name,
                             std::unique_ptr<Medium>& out) {
  if (path.size() > kMaxPath || platform::is_directory(path)) return {ERR_IMAGE_OPEN, name};
  FilePtr file = open_file(path, "rb");
  if (!file) return {ERR_IMAGE_OPEN, name};
  const std::int64_t length = platform::file_length(file.get());
  if (length < 0) return {ERR_IMAGE_OPEN, name};
  out = std::make_unique<RawImage>(name, std::move(file), length);
  return {};
}

}  // namespace xev
