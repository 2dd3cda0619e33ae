// -iti: what a definition says, as read, and the disk it describes.
#include <cinttypes>
#include <cstdio>

#include "commands/commands.h"
#include "cpm/container.h"

namespace xev {
namespace {

// Block shift and mask of an allocation unit size; 0 and 0 for other sizes.
void block_shift_and_mask(std::int64_t bls, int& bsh, int& blm) {
  bsh = 0;
  blm = 0;
  for (int shift = 3; shift <= 7; ++shift) {
    if (bls == std::int64_t{1} << (shift - 3)) {
      bsh = shift;
      blm = (1 << shift) - 1;
    }
  }
}

}  // namespace

void run_type_info(const ImageType& type, Output& out) {
  std::FILE* text = out.text();
  const DefinitionValues& read = type.as_read;
  const Geometry& g = type.geometry;
  std::fprintf(text, "Definition parameters for `%s`\n", type.name.c_str());
  std::fprintf(text, "  SPT=%" PRId64 "\n", read.spt);
  std::fprintf(text, "  XLT=");
  if (read.xlt == 0) {
    std::fprintf(text, "0");
  } else {
    for (std::size_t i = 0; i < g.skew.size(); ++i) std::fprintf(text, i == 0 ? "%d" : ",%d", g.skew[i]);
  }
  std::fprintf(text, "\n");
  int bsh = 0;
  int blm = 0;
  block_shift_and_mask(read.bls, bsh, blm);
  std::fprintf(text, "  BLS=%" PRId64 " (BSH=%d, BLM=%d)\n", read.bls, bsh, blm);
  std::fprintf(text, "  EXM=%" PRId64 "\n", read.exm);
  std::fprintf(text, "  DSM=%" PRId64 "\n", read.dsm);
  std::fprintf(text, "  DRM=%" PRId64 "\n", read.drm);
  std::fprintf(text, "  OFF=%" PRId64 "\n", read.off);
  if (read.offx > 0) std::fprintf(text, "  OFFX=%" PRId64 "\n", read.offx);
  if (read.dirau > 0) std::fprintf(text, "  DIRAU=%" PRId64 "\n", read.dirau);
  std::fprintf(text, "\n");
  std::fprintf(text, "Other info:\n");
  std::fprintf(text, "  Sectors Per Track: %d\n", g.sectors_per_track);
  std::fprintf(text, "  Allocation Unit Size: %d Bytes\n", g.au_size);
  std::fprintf(text, "  Extents Per Dir Entry: %d\n", g.extents_per_entry);
  std::fprintf(text, "  Allocation Units: %d\n", g.au_count);
  std::fprintf(text, "  Directory Entries: %d\n", g.dir_entry_count);
  std::fprintf(text, "  System Size: %d Bytes\n", g.system_size);
  std::fprintf(text, "  Track Size: %d Bytes\n", g.track_size);
  std::fprintf(text, "  Total Disk Size: %d Bytes (%g kB)\n", g.image_size, g.image_size / 1024.0);
  if (!type.source.empty()) std::fprintf(text, "  Definition File: %s\n", type.source.c_str());

  // The container that new images of the type get.
  const ContainerLayout& c = g.container;
  if (c.kind == ContainerKind::kRaw) return;
  const int cylinders = container_cylinders(g);
  const int sectors = g.track_size / c.sector_size;
  std::fprintf(text, "\nContainer for new images: %s\n", container_name(c.kind));
  std::fprintf(text, "  Tracks: %d (%d cylinders, %s)\n", cylinders * c.heads, cylinders,
               c.heads == 1 ? "1 head" : "2 heads in turns");
  std::fprintf(text, "  Sectors Per Track: %d of %d Bytes, IDs 0x%02X to 0x%02X\n", sectors,
               c.sector_size, c.first_id, c.first_id + sectors - 1);
}

}  // namespace xev
