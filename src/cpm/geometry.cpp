#include "cpm/geometry.h"

namespace xev {

std::int64_t Geometry::locate(int au, int record) const {
  if (au < 0 || au >= au_count || record < 0 || record >= records_per_au ||
      sectors_per_track <= 0 || static_cast<int>(skew.size()) != sectors_per_track) {
    return -1;
  }
  // Units run on from track to track; the reserved tracks only number the
  // tracks, the data area always begins right after the system area.
  const std::int64_t logical = std::int64_t{au} * records_per_au + record;
  const std::int64_t track = logical / sectors_per_track;
  const int sector = static_cast<int>(logical % sectors_per_track);
  return system_size + track * track_size +
         std::int64_t{skew[static_cast<std::size_t>(sector)] - 1} * kRecordSize;
}

}  // namespace xev
