// Any image under four fixed geometries. The first input byte picks the
// geometry and a file, the second the options; the rest is laid over a blank
// image from the directory on, in logical record order. The directory is
// loaded strictly and with invalid entries ignored; then every file command
// runs. The reading ones must leave the image as it was. The writing ones
// must leave every record that belongs to no unit as it was, the data area
// too (all but adding), and must not turn a clean directory into one that no
// longer loads.
#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <vector>

#include "commands/commands.h"
#include "fuzz_support.h"

namespace {

using namespace xev;
using Bytes = std::vector<std::uint8_t>;
using Offsets = std::vector<std::int64_t>;

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
constexpr const char* kAttributes[] = {"--", "R-", "-S", "RS"};

std::string g_dir;
struct Layout {
  Geometry geometry;
  Offsets units;  // in logical order, the directory's first
  Offsets none;   // the records of no unit
};
Layout g_layouts[4];

bool same_records(const Bytes& a, const Bytes& b, const Offsets& offsets) {
  return std::all_of(offsets.begin(), offsets.end(), [&](std::int64_t at) {
    return std::equal(a.begin() + at, a.begin() + at + kRecordSize, b.begin() + at);
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
    Layout& layout = g_layouts[g];
    layout.geometry = type.geometry;
    std::vector<bool> in_unit(std::size_t(type.geometry.image_size / kRecordSize));
    for (int au = 0; au < type.geometry.au_count; ++au) {
      for (int r = 0; r < type.geometry.records_per_au; ++r) {
        layout.units.push_back(type.geometry.locate(au, r));
        in_unit[std::size_t(layout.units.back() / kRecordSize)] = true;
      }
    }
    for (std::size_t n = 0; n < in_unit.size(); ++n) {
      if (!in_unit[n]) layout.none.push_back(std::int64_t(n) * kRecordSize);
    }
  }
  for (int n = 0; n < 3; ++n) {
    std::FILE* host = std::fopen((g_dir + "in/" + kHostFiles[n]).c_str(), "wb");
    FUZZ_CHECK(host != nullptr);
    for (int i = 0; i < (n == 0 ? 0 : n == 1 ? 300 : 20000); ++i) std::fputc(i * 7 % 251, host);
    std::fclose(host);
  }
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size < 2) return 0;
  // Byte 1: TNS-DOS (1), overwrite (2), target name (4), host mask (0x18),
  // attributes (0x60), user filter (0x80).
  const Layout& layout = g_layouts[data[0] & 3];
  const int pick = data[0] >> 2;
  const int flags = data[1];
  Bytes image(std::size_t(layout.geometry.image_size), kFreeMark);
  for (std::size_t n = 0; n < layout.units.size() && 2 + n * kRecordSize < size; ++n) {
    std::copy_n(data + 2 + n * kRecordSize, std::min<std::size_t>(kRecordSize, size - 2 - n * kRecordSize),
                image.begin() + layout.units[n]);
  }
  const auto disk_of = [&] { return Disk(layout.geometry, std::make_unique<fuzz::MemoryImage>(image)); };
  const auto bytes_of = [](Disk& disk) { return static_cast<fuzz::MemoryImage&>(disk.medium()).bytes; };

  fuzz::NoOutput out;
  Disk reading = disk_of();
  const bool clean = load_either_way(reading, false);
  // The single-file commands use the name of a file picked by the input.
  Request request;
  request.mask = "NONE.TXT";
  int user = 0;
  const CpmName all = *parse_cpm_name("*.*");
  const Directory& directory = reading.directory();
  for (int i = directory.find_file(all, kAllUsers, 0), n = 0; i >= 0 && n++ <= pick;
       i = directory.find_file(all, kAllUsers, i + 1)) {
    // A sparse file may claim 64 MiB; showing one is slow, not interesting.
    if (directory.records(directory.key(i)) > 4096) continue;
    request.mask = entry_name(directory.entry(i));
    user = directory.entry(i)[kUserByte];
  }
  for (int bits = 7; bits >= 0; --bits) {  // every layout, the plain one last
    Request listing = request;
    listing.mask = "*.*";
    listing.unsorted = (bits & 1) != 0;
    listing.one_column = (bits & 2) != 0;
    listing.tns = (bits & 4) != 0;
    listing.page_size = bits == 5 ? 2 : -1;
    run_catalogue(reading, listing, "g", out);
  }
  request.host_dir = g_dir + "out/";
  std::filesystem::create_directory(request.host_dir);
  run_extract(reading, request, out);
  std::filesystem::remove_all(request.host_dir);
  run_type(reading, request, out);
  run_hex_dump(reading, request, out);
  FUZZ_CHECK(bytes_of(reading) == image);

  for (int command = 0; command < 4; ++command) {
    Disk disk = disk_of();
    Request change = request;
    change.tns = (flags & 1) != 0;
    change.overwrite = (flags & 2) != 0;
    load_either_way(disk, change.tns);
    if ((flags & 0x80) != 0) change.user = user;
    if (command == 0) {
      if (change.overwrite) change.mask = "*.*";
      run_erase(disk, change, out);
    } else if (command == 1) {
      change.new_attributes = kAttributes[(flags >> 5) & 3];
      run_set_attributes(disk, change, out);
    } else if (command == 2) {
      change.new_user = pick & 31;
      run_set_user(disk, change, out);
    } else {
      // As on the command line, a target name goes with one host file only.
      if ((flags & 4) != 0 && (flags & 0x18) != 0x18) change.target_name = request.mask;
      change.host_dir = g_dir + "in/";
      change.mask = kHostFiles[(flags >> 3) & 3];
      run_add(disk, change, out);
    }
    const Bytes after = bytes_of(disk);
    FUZZ_CHECK(load_either_way(disk, change.tns) || !clean);
    FUZZ_CHECK(same_records(image, after, layout.none));
    const Offsets data_units(layout.units.begin() + layout.geometry.directory_units() *
                                                        layout.geometry.records_per_au,
                             layout.units.end());
    FUZZ_CHECK(command == 3 || same_records(image, after, data_units));
  }
  return 0;
}
