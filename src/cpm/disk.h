// The open disk: its geometry, the medium that holds it, and, once loaded,
// its directory and allocation map. Records of the data area are addressed
// by allocation unit and record; the skew is applied here and nowhere else.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "cpm/allocation.h"
#include "cpm/directory.h"
#include "cpm/error.h"
#include "cpm/geometry.h"
#include "cpm/medium.h"

namespace xev {

struct DirectoryPolicy {
  bool ignore_invalid = false;  // report invalid entries and go on
  bool tns = false;             // TNS-DOS label and map entries are not free
};

class Disk {
 public:
  Disk(Geometry geometry, std::unique_ptr<Medium> medium);

  const Geometry& geometry() const { return geometry_; }
  Medium& medium() { return *medium_; }
  const std::string& name() const { return medium_->name(); }
  Directory& directory() { return directory_; }
  const Directory& directory() const { return directory_; }
  AllocationMap& map() { return map_; }
  const AllocationMap& map() const { return map_; }

  // One record of allocation unit `au`; ERR_FATAL for a unit or record the
  // disk does not have.
  Error read_record(int au, int record, std::uint8_t* data);
  Error write_record(int au, int record, const std::uint8_t* data);
  // A whole unit: records that lie one after the other in the image go out
  // in one write.
  Error write_unit(int au, const std::uint8_t* data);

  // Reads the directory and builds the map. Every entry in use is checked;
  // each failed check is added to `invalid` (ERR_CORRUPT_ENTRY with the
  // entry's name and the reason). Without ignore_invalid the first one ends
  // the load and is returned.
  Error load(const DirectoryPolicy& policy, std::vector<Error>& invalid);
  Error save();

  // Builds the map again from the directory: its own units and every unit
  // its entries in use name.
  void rebuild_map();

 private:
  // Reads or writes every directory record, unit by unit.
  Error transfer_directory(bool writing);
  // The map with the directory's own units in use and no other.
  void clear_map();
  // Marks the units entry `index` names in use; returns those past the disk.
  std::vector<int> mark_units(int index);

  Geometry geometry_;
  std::unique_ptr<Medium> medium_;
  Directory directory_;
  AllocationMap map_;
};

}  // namespace xev
