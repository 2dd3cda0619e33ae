// Opening an image file: its creation where the command may create it, its
// length check against the geometry, and the medium that reads and writes it.
#pragma once

#include <memory>
#include <string>

#include "cpm/error.h"
#include "cpm/geometry.h"
#include "cpm/medium.h"

namespace xev {

struct ImageAccess {
  bool read_only = false;  // the command only looks
  bool may_create = false;  // a missing (or empty) image is created
  bool truncate = false;    // a full format: start from an empty file
  // How long to wait for another program that has the image: a run holds a
  // shared lock when it only looks, an exclusive one otherwise.
  int lock_wait_ms = 0;
};

struct OpenedImage {
  std::unique_ptr<Medium> medium;
  bool created = false;  // filled with 0xE5 just now: it needs a full format
};

// Opens `path` (named `name` in messages) and locks it. A file that is a
// container (see container.h) is read through it, whatever its name; any
// other file is a plain image. A created image is filled with 0xE5 to its
// full size, as a plain image or as the container the geometry names for
// new images; a full format (truncate) of an existing container fills its
// sectors and keeps the container. Failures: ERR_IMAGE_EXISTS (may create)
// or ERR_IMAGE_OPEN, ERR_IMAGE_BUSY, ERR_IMAGE_WRITE while filling,
// ERR_IMAGE_SIZE (for a container with a hint that says what it lacks).
Error open_image(const std::string& path, const std::string& name, const Geometry& geometry,
                 const ImageAccess& access, OpenedImage& out);

// Opens a file read-only as a medium without looking at its size: the second
// image that system tracks are copied from. A container is read through it
// with the geometry's tracks. Locked shared unless `lock_wait_ms` is
// kNoLock: a look at the image before the run opens and locks it.
constexpr int kNoLock = -1;
Error open_image_for_reading(const std::string& path, const std::string& name,
                             const Geometry& geometry, int lock_wait_ms,
                             std::unique_ptr<Medium>& out);

}  // namespace xev
