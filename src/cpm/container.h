// Emulator and archive containers: CPCEMU DSK, extended DSK and ImageDisk
// files that hold a disk as tracks of sectors. A container is read through
// a medium that shows it in the plain image layout: logical track t is the
// container's t-th track (cylinder by cylinder, heads in turn), and its bytes
// are the track's sectors by ascending sector ID, one after the other. The
// directory and file code never see the difference.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <memory>
#include <string>
#include <vector>

#include "cpm/error.h"
#include "cpm/geometry.h"
#include "cpm/medium.h"
#include "platform/platform.h"

namespace xev {

// The kind a file's first bytes announce ("MV - CPC", "EXTENDED CPC DSK
// File\r\nDisk-Info\r\n", or "IMD " with its header line up to 0x1A); kRaw
// for anything else. `size` is what the caller has of the file; an IMD
// header needs its 0x1A within it.
ContainerKind detect_container(const std::uint8_t* data, std::size_t size);

// "RAW", "DSK", "EDSK", "IMD"; parsing ignores letter case.
const char* container_name(ContainerKind kind);
bool parse_container_kind(const std::string& text, ContainerKind& kind);

// Tracks (of one side each) that a container of the geometry needs, and the
// cylinders a new one gets: the tracks rounded up to whole cylinders.
int container_tracks(const Geometry& geometry);
int container_cylinders(const Geometry& geometry);

// Whether a new image of the type can be made as its container: the
// sectors fill the track exactly, their IDs stay below 256, and the counts
// and sizes fit the format. Always true for a plain image.
bool container_can_hold(const Geometry& geometry);

// What identifies an existing container: its kind (kRaw when the file is no
// container or cannot be read), its sides, the bytes each track slot holds
// (0 for a missing track), and the sectors of its first track.
struct ContainerSummary {
  ContainerKind kind = ContainerKind::kRaw;
  int heads = 1;
  std::vector<int> track_bytes;
  int first_id = -1;  // the lowest sector ID of the first track
  int first_track_sectors = 0;
  int first_sector_size = 0;

  // True when every track the geometry needs is there and the first one
  // holds exactly one track of it.
  bool fits(const Geometry& geometry) const;
};
ContainerSummary summarize_container(const std::string& path);

// The container `file` (open at `path`, locked by the caller, buffered as
// it likes) as a medium in the plain layout. With `check` the container
// must hold every sector the geometry needs, else ERR_IMAGE_SIZE with a
// hint that says what is missing.
Error open_container(platform::FilePtr file, const std::string& path, const std::string& name,
                     const Geometry& geometry, bool writable, bool check,
                     std::unique_ptr<Medium>& out);

// Writes a new container of the geometry's kind into the empty, writable
// `file` (open at `path`): every sector present and filled with 0xE5; then
// opens it as open_container does.
Error create_container(platform::FilePtr file, const std::string& path, const std::string& name,
                       const Geometry& geometry, std::unique_ptr<Medium>& out);

namespace container {

enum class SectorState : std::uint8_t {
  kData,        // its bytes are stored at `data`
  kFilled,      // stored as one byte (ImageDisk compression) at `data`
  kUnreadable,  // recorded without data or with a data error
};

struct Sector {
  int id = 0;
  int size = 0;
  SectorState state = SectorState::kData;
  std::int64_t data = 0;  // where its bytes lie in the file
  std::uint8_t fill = 0;  // the byte of a filled sector
  int position = 0;       // where it starts in the plain track
  // ImageDisk: where the stored record (type byte and data) lies, and its
  // type.
  std::int64_t record = 0;
  std::int64_t record_length = 0;
  std::uint8_t type = 0;
  // New contents, kept until the container is rewritten.
  std::vector<std::uint8_t> pending;
};

struct Track {
  bool present = false;
  int cylinder = 0;  // ImageDisk: as the track records them
  int head = 0;
  std::vector<Sector> sectors;  // in stored order
  std::vector<int> by_id;       // indices into `sectors`, lowest ID first
  int bytes = 0;                // all its sectors together
};

// A container as read: track slots by cylinder * heads + head.
struct Parsed {
  ContainerKind kind = ContainerKind::kRaw;
  int heads = 1;
  std::vector<Track> tracks;
  bool cut_short = false;  // the file ends or stops making sense early
};

// Sorts each track's sectors by ID and sets their positions and the track's
// bytes.
void index_sectors(Track& track);

// Reads the parts of a file that parsing needs, through a buffer of its
// own: track headers lie apart (DSK: small chunks), or follow each other
// with data in between (ImageDisk: large chunks).
class Reader {
 public:
  Reader(std::FILE* file, std::size_t chunk);
  // The `length` bytes at `offset`; false when the file ends before.
  bool get(std::int64_t offset, std::uint8_t* data, std::size_t length);
  std::int64_t size() const { return size_; }

 private:
  std::FILE* file_;
  std::size_t chunk_;
  std::vector<std::uint8_t> buffer_;
  std::int64_t start_ = 0;
  std::int64_t size_ = 0;
};

Parsed parse_dsk(Reader& reader, ContainerKind kind);
Parsed parse_imd(Reader& reader);

// New formatted containers.
std::vector<std::uint8_t> build_dsk(const Geometry& geometry, ContainerKind kind);
std::vector<std::uint8_t> build_imd(const Geometry& geometry);

// The ImageDisk file again, with the pending contents of sectors in place
// of their records.
std::vector<std::uint8_t> rebuild_imd(const std::vector<std::uint8_t>& bytes, const Parsed& parsed);

// The density a new track is recorded in: FM for 128-byte sectors, MFM for
// larger ones; the high data rate when the track holds more than a
// double-density track does at 250 kbit/s.
bool is_fm(const Geometry& geometry);
bool is_high_rate(const Geometry& geometry);

}  // namespace container
}  // namespace xev
