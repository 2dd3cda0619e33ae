// Runs xev in-process, the way main() does, in a temporary folder that holds
// its definition file; and builds images byte by byte.
#pragma once

#include <cstdint>
#include <initializer_list>
#include <string>
#include <vector>

namespace xev::test {

// What every run prints first.
extern const std::string kBanner;

// The 8-inch type: 26 records a track with skew 6, two system tracks, 243
// units of 1 KiB, 64 entries.
extern const std::string kEightInch;

// A section [name] without skew: SPT, BLS, EXM, DSM, DRM and OFF.
std::string section(const std::string& name, int spt, int bls, int exm, int dsm, int drm,
                    int off = 0);

// A fresh folder, removed with everything in it at the end.
class Folder {
 public:
  Folder();
  ~Folder();
  Folder(const Folder&) = delete;
  Folder& operator=(const Folder&) = delete;

  std::string path(const std::string& name = "") const { return dir_ + "/" + name; }
  void write(const std::string& name, const std::string& bytes) const;
  std::string read(const std::string& name) const;
  bool exists(const std::string& name) const;

 private:
  std::string dir_;
};

struct Result {
  std::string out;  // after the banner, when one is expected
  std::string err;
  int status = -1;
};

// `xev args...` with the folder as working directory and the folder's xev.ini
// as definition file (write it first); standard input is not a console.
// Without `banner`, `out` is the whole output (none is expected).
Result xev(const Folder& folder, const std::vector<std::string>& args, bool banner = true);

// The same with the words of `line` as arguments.
Result run(const Folder& folder, const std::string& line);

// A 32-byte directory entry; `name` and `type` are padded with blanks.
std::string entry(int user, std::string name, std::string type, int ex, int s2, int rc,
                  std::initializer_list<int> pointers = {}, bool wide = false);

// Writes `bytes` into the image file at `offset`.
void patch(const Folder& folder, const std::string& image, std::size_t offset,
           const std::string& bytes);

// `size` bytes of seeded noise.
std::string noise(std::size_t size, unsigned seed);

}  // namespace xev::test
