// Any image under four fixed geometries. The first input byte picks the
// geometry and a file, the second the options; the rest is laid over a blank
// image from the directory on, in logical record order. The directory is
// loaded strictly and with invalid entries ignored; then every file command
// runs. The reading ones must leave the image as it was. The writing ones
// must leave every record that belongs to no unit as it was, the data of the
// other files too (all data, for erase and the attribute changes), and must
// not turn a clean directory into one that no longer loads.
#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <set>
#include <string>
#include <vector>

#include "commands/commands.h"
#include "cpm/definition.h"
#include "fuzz_support.h"

namespace {

using namespace xev;
using Bytes = std::vector<std::uint8_t>;

// g0: 8-bit pointers, 3740 skew; g1: two extents per entry; g2: 16-bit
// pointers, no system area; g3: 16-bit pointers, skew, OFFX not whole tracks.
constexpr const char kDefinitions[] =
    "[g0]\nSPT=26\nXLT=1,7,13,19,25,5,11,17,23,3,9,15,21,2,8,14,20,26,6,12,18,24,4,10,16,22\n"
    "BLS=1\nEXM=0\nDSM=242\nDRM=63\nOFF=2\n"
    "[g1]\nSPT=36\nXLT=0\nBLS=2\nEXM=1\nDSM=149\nDRM=63\nOFF=1\n"
    "[g2]\nSPT=32\nXLT=0\nBLS=2\nEXM=0\nDSM=299\nDRM=127\nOFF=0\n"
    "[g3]\nSPT=16\nXLT=1,4,7,10,13,16,3,6,9,12,15,2,5,8,11,14\n"
    "BLS=2\nEXM=0\nDSM=279\nDRM=63\nOFF=2\nOFFX=5\n";
// Host files offered to -a: empty, one record and a bit, more than an extent.
constexpr const char* kHostFiles[] = {"EMPTY.TXT", "SMALL.COM", "LARGE.DAT", "*.*"};
constexpr std::size_t kHostSizes[] = {0, 300, 20000};
constexpr const char* kAttributes[] = {"--", "R-", "-S", "RS"};

std::string g_dir;
Geometry g_geometries[4];

// The image's records by the unit they belong to: the directory's, the
// others', and those of no unit at all.
struct Regions {
  std::vector<std::int64_t> directory, units, none;
};

Regions regions(const Geometry& g) {
  Regions result;
  std::set<std::int64_t> in_units;
  for (int au = 0; au < g.au_count; ++au) {
    for (int r = 0; r < g.records_per_au; ++r) {
      const std::int64_t offset = g.locate(au, r);
      in_units.insert(offset);
      (au < g.directory_units() ? result.directory : result.units).push_back(offset);
    }
  }
  for (std::int64_t offset = 0; offset < g.image_size; offset += kRecordSize) {
    if (in_units.count(offset) == 0) result.none.push_back(offset);
  }
  return result;
}

bool same_records(const Bytes& a, const Bytes& b, const std::vector<std::int64_t>& offsets) {
  return std::all_of(offsets.begin(), offsets.end(), [&](std::int64_t offset) {
    return std::equal(a.begin() + offset, a.begin() + offset + kRecordSize, b.begin() + offset);
  });
}

// Loads strictly, true when that works; else with invalid entries ignored,
// which must always work.
bool load_either_way(Disk& disk, bool tns) {
  std::vector<Error> invalid;
  if (!disk.load({false, tns}, invalid)) return true;
  FUZZ_CHECK(!disk.load({true, tns}, invalid));
  return false;
}

Disk disk_of(int geometry, const Bytes& image) {
  return Disk(g_geometries[geometry], std::make_unique<fuzz::MemoryImage>(image));
}

const Bytes& bytes_of(Disk& disk) { return static_cast<fuzz::MemoryImage&>(disk.medium()).bytes; }

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  g_dir = fuzz::make_work_dir("image");
  std::filesystem::create_directory(g_dir + "in");
  std::FILE* ini = fmemopen(const_cast<char*>(kDefinitions), sizeof kDefinitions - 1, "r");
  const std::vector<std::string> lines = read_definition_lines(ini);
  std::fclose(ini);
  for (int g = 0; g < 4; ++g) {
    ImageType type;
    FUZZ_CHECK(!find_image_type(lines, "g" + std::to_string(g), type));
    g_geometries[g] = type.geometry;
  }
  for (int n = 0; n < 3; ++n) {
    std::FILE* host = std::fopen((g_dir + "in/" + kHostFiles[n]).c_str(), "wb");
    FUZZ_CHECK(host != nullptr);
    for (std::size_t i = 0; i < kHostSizes[n]; ++i) std::fputc(int(i * 7 % 251), host);
    std::fclose(host);
  }
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size < 2) return 0;
  // Byte 1: TNS-DOS (1), overwrite (2), target name (4), host mask (0x18),
  // attributes (0x60), user filter (0x80).
  const int geometry = data[0] & 3;
  const int pick = data[0] >> 2;
  const int flags = data[1];
  data += 2;
  size -= 2;
  const Geometry& g = g_geometries[geometry];
  static const Regions kRegions[] = {regions(g_geometries[0]), regions(g_geometries[1]),
                                     regions(g_geometries[2]), regions(g_geometries[3])};
  const Regions& layout = kRegions[geometry];

  // A blank image with the input laid over the units in logical order.
  Bytes image(std::size_t(g.image_size), kFreeMark);
  const std::vector<std::int64_t>& directory = layout.directory;
  std::vector<std::int64_t> order = directory;
  order.insert(order.end(), layout.units.begin(), layout.units.end());
  for (std::size_t n = 0; n < order.size() && n * kRecordSize < size; ++n) {
    std::copy_n(data + n * kRecordSize, std::min<std::size_t>(kRecordSize, size - n * kRecordSize),
                image.begin() + order[n]);
  }

  fuzz::NoOutput out;
  Disk reading = disk_of(geometry, image);
  const bool clean = load_either_way(reading, false);
  // The single-file commands use the name of a file picked by the input.
  Request request;
  request.image_type = "g" + std::to_string(geometry);
  std::string name = "NONE.TXT";
  int user = 0;
  const CpmName all = *parse_cpm_name("*.*");
  for (int i = reading.directory().find_file(all, kAllUsers, 0), n = 0; i >= 0 && n++ <= pick;
       i = reading.directory().find_file(all, kAllUsers, i + 1)) {
    name = entry_name(reading.directory().entry(i));
    user = reading.directory().entry(i)[kUserByte];
  }

  request.mask = "*.*";
  for (int layout_bits = 7; layout_bits >= 0; --layout_bits) {
    request.unsorted = (layout_bits & 1) != 0;
    request.one_column = (layout_bits & 2) != 0;
    request.tns = (layout_bits & 4) != 0;
    request.page_size = layout_bits == 5 ? 2 : -1;
    run_catalogue(reading, request, request.image_type, out);
  }
  request.host_dir = g_dir + "out/";
  std::filesystem::create_directory(request.host_dir);
  run_extract(reading, request, out);
  std::filesystem::remove_all(request.host_dir);
  request.mask = name;
  run_type(reading, request, out);
  run_hex_dump(reading, request, out);
  FUZZ_CHECK(bytes_of(reading) == image);

  for (int command = 0; command < 4; ++command) {
    Disk disk = disk_of(geometry, image);
    Request change = request;
    change.tns = (flags & 1) != 0;
    change.overwrite = (flags & 2) != 0;
    load_either_way(disk, change.tns);
    if ((flags & 0x80) != 0) change.user = user;
    change.mask = command == 0 && change.overwrite ? "*.*" : name;
    if (command == 0) {
      run_erase(disk, change, out);
    } else if (command == 1) {
      change.new_attributes = kAttributes[(flags >> 5) & 3];
      run_set_attributes(disk, change, out);
    } else if (command == 2) {
      change.new_user = pick & 31;
      run_set_user(disk, change, out);
    } else {
      change.host_dir = g_dir + "in/";
      change.mask = kHostFiles[(flags >> 3) & 3];
      // As on the command line, a target name goes with one host file only.
      if ((flags & 4) != 0 && (flags & 0x18) != 0x18) change.target_name = name;
      run_add(disk, change, out);
    }
    const Bytes& after = bytes_of(disk);
    FUZZ_CHECK(load_either_way(disk, change.tns) || !clean);
    FUZZ_CHECK(same_records(image, after, layout.none));
    if (command < 3) FUZZ_CHECK(same_records(image, after, layout.units));
  }
  return 0;
}
