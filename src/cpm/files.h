// Files on the disk: reading one record by record, writing a new one into
// free entries and units, and erasing one.
#pragma once

#include <cstdint>
#include <functional>
#include <vector>

#include "cpm/disk.h"
#include "cpm/error.h"
#include "cpm/names.h"

namespace xev {

// Receives one 128-byte record of a file; a failure stops the reading.
using RecordSink = std::function<Error(const std::uint8_t* record)>;

// Reads the file whose first entry is `first`, as many records as its
// record count says, each from its place as CP/M's random access finds it:
// record n lies in the entry of logical entry number n / (128 * (EXM + 1)),
// in the pointer slot of its offset within that entry. A zero pointer, a
// missing entry or a slot past the pointers reads as a record of zeros.
Error read_file(Disk& disk, int first, const RecordSink& sink);

// What a file of `size` bytes needs: directory entries (at least one) and
// allocation units.
struct FileRoom {
  std::int64_t entries = 0;
  std::int64_t units = 0;
};
FileRoom room_for(const Geometry& geometry, std::int64_t size);

// Whether an entry's pointers can hold the logical extents EXM gives it.
bool entries_hold_their_extents(const Geometry& geometry);

// Adds `data` as file `name` of user area `user`: entries and units taken
// lowest first, every unit written whole, the space behind the data filled
// with 0xE5; `first` receives the index of its first entry. The caller has
// made sure room_for() is free. On failure the units written so far stay
// marked; the caller does not save then.
Error write_file(Disk& disk, const CpmName& name, int user, const std::vector<std::uint8_t>& data,
                 int& first);

// Frees the entries of the file whose first entry is `first`, its password
// entries too; the date stamps stay as they are. Its units come free with
// Disk::rebuild_map(), which keeps those that another entry names as well.
void erase_file(Directory& directory, int first);

}  // namespace xev
