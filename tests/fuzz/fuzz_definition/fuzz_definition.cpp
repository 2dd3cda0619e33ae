// The definition reader on any definition file. Whatever it accepts must be
// a disk whose every record lies inside the image, and a freshly formatted
// image of it must load as an empty directory.
#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <vector>

#include "cpm/definition.h"
#include "cpm/disk.h"
#include "cpm/format.h"
#include "fuzz_support.h"

using namespace xev;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  std::FILE* file = fmemopen(const_cast<std::uint8_t*>(data), size, "r");
  if (file == nullptr) return 0;
  const std::vector<std::string> lines = read_definition_lines(file);
  std::fclose(file);
  ImageType type;
  if (find_image_type(lines, "dsk", type)) return 0;

  const Geometry& g = type.geometry;
  std::vector<int> skew = g.skew;
  std::sort(skew.begin(), skew.end());
  FUZZ_CHECK(g.sectors_per_track >= 1 && skew.size() == std::size_t(g.sectors_per_track));
  for (std::size_t i = 0; i < skew.size(); ++i) FUZZ_CHECK(skew[i] == int(i) + 1);
  FUZZ_CHECK(g.dir_entry_count >= 1 && g.dir_entry_count * kEntrySize % g.au_size == 0);
  FUZZ_CHECK(g.system_size >= 0 && (g.image_size - g.system_size) % g.track_size == 0);
  const std::int64_t last = g.locate(g.au_count - 1, g.records_per_au - 1);
  FUZZ_CHECK(last >= g.system_size && last + kRecordSize <= g.image_size);
  if (g.image_size > 256 * 1024) return 0;  // small ones only

  auto memory = std::make_unique<fuzz::MemoryImage>(
      std::vector<std::uint8_t>(std::size_t(g.image_size), kFreeMark));
  Disk disk(g, std::move(memory));
  FUZZ_CHECK(!write_format_records(disk));
  const bool fits = g.directory_units() <= g.au_count;
  FUZZ_CHECK(bool(clear_directory(disk)) != fits);
  if (!fits) return 0;
  std::vector<Error> invalid;
  FUZZ_CHECK(!disk.load({false, true}, invalid) && invalid.empty());
  FUZZ_CHECK(disk.directory().count_free() == g.dir_entry_count);
  FUZZ_CHECK(disk.map().count_free() == g.au_count - g.reserved_units());
  return 0;
}
