#include "cli/detection.h"

#include <cstdio>
#include <memory>
#include <utility>

#include "cpm/container.h"
#include "cpm/disk.h"
#include "cpm/image.h"
#include "cpm/text.h"

namespace xev {
namespace {

// Two sections that describe the same disk are one candidate.
bool same_disk(const Geometry& a, const Geometry& b) {
  return a.skew == b.skew && a.system_size == b.system_size && a.image_size == b.image_size &&
         a.au_size == b.au_size && a.au_count == b.au_count &&
         a.extents_per_entry == b.extents_per_entry && a.dir_entry_count == b.dir_entry_count &&
         a.reserved_units() == b.reserved_units();
}

// A unit named by two pointers, or by a pointer and the directory itself.
bool claims_a_unit_twice(const Disk& disk) {
  const Geometry& geometry = disk.geometry();
  const Directory& directory = disk.directory();
  AllocationMap claimed(geometry.au_count);
  for (int au = 0; au < geometry.reserved_units(); ++au) claimed.set(au, true);
  for (int i = 0; i < directory.size(); ++i) {
    if (!directory.is_file(i)) continue;
    for (int slot = 0; slot < directory.pointers_per_entry(); ++slot) {
      const int au = directory.pointer(i, slot);
      if (au == 0) continue;
      if (claimed.in_use(au)) return true;
      claimed.set(au, true);
    }
  }
  return false;
}

// The image read through `type`: a directory that loads without an invalid
// entry or a unit claimed twice.
bool fits(const Request& request, const ImageType& type) {
  std::unique_ptr<Medium> medium;
  if (open_image_for_reading(request.image_path(), request.image_name, type.geometry, kNoLock,
                             medium)) {
    return false;
  }
  Disk disk(type.geometry, std::move(medium));
  std::vector<Error> invalid;
  return !disk.load({}, invalid) && invalid.empty() && !claims_a_unit_twice(disk);
}

constexpr int kCpcSystemId = 0x41;
constexpr int kCpcDataId = 0xC1;
constexpr int kPcwTracks = 40;
constexpr int kPcwSectors = 9;
constexpr int kPcwSectorSize = 512;

// The Amstrad type the first track of a container names, or nullptr.
const char* amstrad_type(const ContainerSummary& summary) {
  if (summary.first_id == kCpcSystemId) return "cps";
  if (summary.first_id == kCpcDataId) return "cpd";
  if (summary.first_id == 1 && summary.heads == 1 &&
      summary.track_bytes.size() == static_cast<std::size_t>(kPcwTracks) &&
      summary.first_track_sectors == kPcwSectors && summary.first_sector_size == kPcwSectorSize) {
    return "pcw";
  }
  return nullptr;
}

// The line before the output that names a type found so. JSON names the
// type itself and stands alone; -nb asks for no preamble.
void announce(const Request& request, const ImageType& type, Output& out) {
  if (!request.json && !request.no_banner) {
    std::fprintf(out.text(), "Image type `%s` detected\n", type.name.c_str());
  }
}

// Takes the Amstrad type a DSK or EDSK container's first track names, when
// a definition file has that section. False when there is none, or when the
// section is broken (the type asked for then fails on its own).
bool take_amstrad_type(const Request& request, const ContainerSummary& summary,
                       const std::vector<DefinitionFile>& files, ImageType& type, Output& out) {
  if (summary.kind != ContainerKind::kDsk && summary.kind != ContainerKind::kEdsk) return false;
  const char* name = amstrad_type(summary);
  if (name == nullptr) return false;
  for (const DefinitionFile& file : files) {
    ImageType found;
    const Error error = find_image_type(file.lines, name, found);
    if (error.code == ERR_NO_DEFINITION) continue;
    if (error) return false;
    found.source = file.path;
    type = std::move(found);
    announce(request, type, out);
    return true;
  }
  return false;
}

}  // namespace

void identify_amstrad_disk(const Request& request, const std::vector<DefinitionFile>& files,
                           ImageType& type, Output& out) {
  if (!equals_ignoring_case(request.image_type, "dsk")) return;
  const ContainerSummary summary = summarize_container(request.image_path());
  if (!summary.fits(type.geometry)) take_amstrad_type(request, summary, files, type, out);
}

Error detect_image_type(const Request& request, const std::vector<DefinitionFile>& files,
                        Error failure, ImageType& type, Output& out) {
  // A container has tracks rather than a length: the sections it may hold
  // are those whose tracks it holds.
  // An Amstrad container says what it is by its sector IDs.
  const ContainerSummary container = summarize_container(request.image_path());
  if (take_amstrad_type(request, container, files, type, out)) return {};
  std::unique_ptr<Medium> image;  // a plain image: its length decides
  if (container.kind == ContainerKind::kRaw &&
      open_image_for_reading(request.image_path(), request.image_name, {}, kNoLock, image)) {
    return failure;
  }

  std::vector<std::string> tried;
  std::vector<ImageType> fitting;
  for (const DefinitionFile& file : files) {
    for (const std::string& name : image_type_names(file.lines)) {
      bool seen = false;
      for (const std::string& earlier : tried) seen = seen || equals_ignoring_case(earlier, name);
      if (seen) continue;
      tried.push_back(name);

      ImageType candidate;
      if (find_image_type(file.lines, name, candidate)) continue;
      if (image ? candidate.geometry.image_size != image->size()
                : !container.fits(candidate.geometry)) {
        continue;
      }
      candidate.source = file.path;
      bool twin = false;
      for (const ImageType& found : fitting) twin = twin || same_disk(found.geometry, candidate.geometry);
      if (!twin && fits(request, candidate)) fitting.push_back(std::move(candidate));
    }
  }
  if (fitting.size() == 1) {
    type = std::move(fitting.front());
    // JSON names the type itself and stands alone; -nb asks for no preamble.
    announce(request, type, out);
    return {};
  }
  if (fitting.size() > 1) {
    failure.hint = "Image types that fit:";
    for (std::size_t i = 0; i < fitting.size(); ++i) {
      failure.hint += (i == 0 ? " `" : ", `") + fitting[i].name + "`";
    }
    failure.hint += " (choose one with -it TYPE)";
  }
  return failure;
}

}  // namespace xev
