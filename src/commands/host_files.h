// Host files that commands read and write: the files of -a and -w, the
// files -x and -s create, and the search for the files of -a.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "cpm/error.h"
#include "platform/platform.h"

namespace xev {

using platform::FilePtr;

// Opens `dir + name` for reading and finds its size. ERR_FILE_OPEN with
// `name`.
Error open_host_input(const std::string& dir, const std::string& name, FilePtr& file,
                      std::int64_t& size);

// Creates `dir + name` anew (an existing file of that name is replaced) and
// opens it for writing. ERR_FILE_CREATE with `name`; the image's own file
// (`image_path`) is never replaced.
Error create_host_output(const std::string& dir, const std::string& name,
                         const std::string& image_path, FilePtr& file);

// The names of the host files that `dir + mask` matches, in ascending byte
// order. ERR_NO_MATCH when the folder has none, ERR_BAD_PATH when the search
// fails, both with the pattern.
Error find_host_files(const std::string& dir, const std::string& mask,
                      std::vector<std::string>& names);

}  // namespace xev
