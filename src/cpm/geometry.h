// The shape of a disk: where its system area ends, how records sit on the
// tracks (the skew), how big an allocation unit is and how many there are,
// and how large the directory is. Everything here comes from a definition.
#pragma once

#include <cstdint>
#include <vector>

namespace xev {

constexpr int kRecordSize = 128;  // the unit of every image access
constexpr int kEntrySize = 32;    // one directory entry
constexpr int kExtentRecords = 128;
constexpr int kExtentBytes = kExtentRecords * kRecordSize;  // one logical extent

// The file format that holds an image: a plain image, or an emulator or
// archive container (CPCEMU DSK, extended DSK, ImageDisk).
enum class ContainerKind { kRaw, kDsk, kEdsk, kImd };

// How a new image of the type is laid out when it is created as a
// container: sectors of `sector_size` bytes numbered from `first_id` on
// every track, tracks on `heads` sides taken in turns.
struct ContainerLayout {
  ContainerKind kind = ContainerKind::kRaw;
  int sector_size = 128;
  int first_id = 1;
  int heads = 1;
};

struct Geometry {
  int sectors_per_track = 0;  // 128-byte records per track (SPT)
  // skew[s]: the 1-based position within its track of logical sector s.
  std::vector<int> skew;
  int reserved_tracks = 0;  // OFF: numbers the first data track
  int track_size = 0;       // bytes
  int system_size = 0;      // bytes before the data area
  int image_size = 0;       // bytes of the whole image file
  int au_size = 0;          // bytes per allocation unit
  int au_count = 0;         // DSM + 1
  int records_per_au = 0;
  int extents_per_entry = 0;  // EXM + 1
  int pointers_per_entry = 0;  // 16 one-byte or 8 two-byte pointers
  int dir_entry_count = 0;     // DRM + 1
  int held_units = 0;          // DIRAU: units held for the directory, 0: those it fills
  ContainerLayout container;   // for new images; existing ones are read as they are

  // Allocation units the directory occupies, from unit 0 on.
  int directory_units() const {
    return au_size <= 0 ? 0
                        : static_cast<int>(std::int64_t{dir_entry_count} * kEntrySize / au_size);
  }

  // Units never given to files: the directory's own and any held beyond
  // them (a directory block count larger than the entries need).
  int reserved_units() const { return held_units > directory_units() ? held_units : directory_units(); }

  // Byte offset in the image of record `record` of allocation unit `au`,
  // through the skew of its track; -1 when the unit or the record does not
  // exist.
  std::int64_t locate(int au, int record) const;
};

}  // namespace xev
