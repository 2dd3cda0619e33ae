// Where the bytes of a disk live. Every record the core reads or writes goes
// through this interface, by its offset in the plain image layout (system
// area, then the data tracks in order, each sector at its place in the
// track), so the directory and file code never learn whether the disk is a
// plain image file or something that holds one.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <utility>

#include "cpm/error.h"

namespace xev {

class Medium {
 public:
  explicit Medium(std::string name) : name_(std::move(name)) {}
  virtual ~Medium() = default;
  Medium(const Medium&) = delete;
  Medium& operator=(const Medium&) = delete;

  // The name that messages about the image use.
  const std::string& name() const { return name_; }

  // Bytes in the plain layout.
  virtual std::int64_t size() const = 0;

  // ERR_IMAGE_READ / ERR_IMAGE_WRITE with the name when not every byte moved.
  virtual Error read(std::int64_t offset, std::uint8_t* data, std::size_t length) = 0;
  virtual Error write(std::int64_t offset, const std::uint8_t* data, std::size_t length) = 0;

  // Makes every write so far part of the file. Most media write in place
  // and have nothing left to do; one that has to rebuild its file does it
  // here, once. ERR_IMAGE_WRITE when that fails (the file is then unchanged
  // since the rebuild began).
  virtual Error commit() { return {}; }

 private:
  std::string name_;
};

}  // namespace xev
