#include "cpm/container.h"

#include <algorithm>
#include <cstdio>
#include <cstring>

#include "cpm/text.h"
#include "platform/platform.h"

namespace xev {
namespace {

using container::Parsed;
using container::Sector;
using container::SectorState;
using container::Track;
using platform::FilePtr;

constexpr char kDskMagic[] = "MV - CPC";
constexpr char kEdskMagic[] = "EXTENDED CPC DSK File\r\nDisk-Info\r\n";
constexpr char kImdMagic[] = "IMD ";

constexpr std::size_t kDskChunk = 512;        // a track header and a little more
constexpr std::size_t kImdChunk = 64 * 1024;  // tracks one after the other

// Limits of the formats for new containers: sector list entries in a DSK
// track header, track slots in the extended DSK table, bytes of a track.
constexpr int kMaxDskSectors = 29;
constexpr int kMaxEdskSlots = 204;
constexpr int kMaxEdskTrack = 0xFF00;
constexpr int kMaxDskTrack = 0xFFFF;
constexpr int kMaxCylinders = 255;
constexpr int kDoubleDensityTrack = 6656;  // bytes: 26 sectors of 256, or 13 of 512

bool starts_with(const std::uint8_t* data, std::size_t size, const char* magic) {
  const std::size_t length = std::strlen(magic);
  return size >= length && std::memcmp(data, magic, length) == 0;
}

// Parses the container `path`; kind kRaw when it is none or cannot be read.
Parsed parse(const std::string& path) {
  FilePtr file = platform::open_file(path, false, false);
  if (!file) return {};
  std::setvbuf(file.get(), nullptr, _IONBF, 0);
  std::uint8_t head[64];
  const std::size_t got = std::fread(head, 1, sizeof head, file.get());
  ContainerKind kind = detect_container(head, got);
  // A long ImageDisk comment: the parser looks for its end (and finds no
  // tracks without one).
  if (kind == ContainerKind::kRaw && got >= 4 && std::memcmp(head, kImdMagic, 4) == 0) {
    kind = ContainerKind::kImd;
  }
  if (kind == ContainerKind::kRaw) return {};
  container::Reader reader(file.get(), kind == ContainerKind::kImd ? kImdChunk : kDskChunk);
  return kind == ContainerKind::kImd ? container::parse_imd(reader)
                                     : container::parse_dsk(reader, kind);
}

// Bytes of plain track `t` that lie inside the image.
int needed_bytes(const Geometry& geometry, int t) {
  return static_cast<int>(std::min<std::int64_t>(
      geometry.track_size, geometry.image_size - std::int64_t{t} * geometry.track_size));
}

// A sentence that says what of the geometry the container lacks, empty when
// it lacks nothing.
std::string missing_part(const Parsed& parsed, const Geometry& geometry) {
  char text[160];
  for (int t = 0; t < container_tracks(geometry); ++t) {
    const int cylinder = t / parsed.heads;
    const int head = t % parsed.heads;
    const bool present = static_cast<std::size_t>(t) < parsed.tracks.size() &&
                         parsed.tracks[static_cast<std::size_t>(t)].present;
    if (!present) {
      std::snprintf(text, sizeof text,
                    parsed.cut_short ? "The container ends before track %d (cylinder %d, head %d)."
                                     : "The container has no track %d (cylinder %d, head %d).",
                    t, cylinder, head);
      return text;
    }
    const int bytes = parsed.tracks[static_cast<std::size_t>(t)].bytes;
    if (bytes < needed_bytes(geometry, t)) {
      std::snprintf(text, sizeof text,
                    "Track %d (cylinder %d, head %d) of the container holds %d bytes of "
                    "sectors; the type needs %d.",
                    t, cylinder, head, bytes, needed_bytes(geometry, t));
      return text;
    }
  }
  return {};
}

// The container as a medium. Sectors are read and written in place, in the
// file, through the track tables found when it was opened. A write that
// changes how a sector is stored (an ImageDisk sector kept as one byte)
// needs the file rebuilt: from then on every write is kept in memory, and
// commit() replaces the file as a whole.
class ContainerImage final : public Medium {
 public:
  ContainerImage(std::string name, std::string path, FilePtr file, bool writable, Parsed parsed,
                 const Geometry& geometry)
      : Medium(std::move(name)),
        path_(std::move(path)),
        file_(std::move(file)),
        writable_(writable),
        parsed_(std::move(parsed)),
        track_size_(geometry.track_size),
        size_(geometry.image_size) {}

  std::int64_t size() const override { return size_; }

  Error read(std::int64_t offset, std::uint8_t* data, std::size_t length) override {
    while (length > 0) {
      Sector* sector = nullptr;
      std::size_t within = 0;
      std::size_t piece = 0;
      if (!locate(offset, length, sector, within, piece) ||
          sector->state == SectorState::kUnreadable) {
        return {ERR_IMAGE_READ, name()};
      }
      if (!sector->pending.empty()) {
        std::memcpy(data, sector->pending.data() + within, piece);
      } else if (sector->state == SectorState::kFilled) {
        std::memset(data, sector->fill, piece);
      } else if (!read_at(sector->data + static_cast<std::int64_t>(within), data, piece)) {
        return {ERR_IMAGE_READ, name()};
      }
      offset += static_cast<std::int64_t>(piece);
      data += piece;
      length -= piece;
    }
    return {};
  }

  Error write(std::int64_t offset, const std::uint8_t* data, std::size_t length) override {
    while (length > 0) {
      Sector* sector = nullptr;
      std::size_t within = 0;
      std::size_t piece = 0;
      if (!writable_ || !locate(offset, length, sector, within, piece) ||
          sector->state == SectorState::kUnreadable) {
        return {ERR_IMAGE_WRITE, name()};
      }
      const bool kept =
          !sector->pending.empty() || rewrite_ ||
          (sector->state == SectorState::kFilled && changes_fill(*sector, data, piece));
      if (kept) {
        if (sector->pending.empty() && !take_into_memory(*sector)) return {ERR_IMAGE_WRITE, name()};
        std::memcpy(sector->pending.data() + within, data, piece);
      } else if (sector->state == SectorState::kData &&
                 !write_at(sector->data + static_cast<std::int64_t>(within), data, piece)) {
        return {ERR_IMAGE_WRITE, name()};
      }
      offset += static_cast<std::int64_t>(piece);
      data += piece;
      length -= piece;
    }
    return {};
  }

  // The file is replaced through a new file beside it, so that it holds
  // either its old or its new contents whatever happens on the way. The
  // stream is closed meanwhile: some hosts cannot replace an open file.
  Error commit() override {
    if (!rewrite_) return {};
    const std::int64_t length = platform::file_length(file_.get());
    if (length < 0) return {ERR_IMAGE_WRITE, name()};
    std::vector<std::uint8_t> bytes(static_cast<std::size_t>(length));
    if (!platform::seek(file_.get(), 0) ||
        std::fread(bytes.data(), 1, bytes.size(), file_.get()) != bytes.size()) {
      return {ERR_IMAGE_WRITE, name()};
    }
    const std::vector<std::uint8_t> rebuilt = container::rebuild_imd(bytes, parsed_);
    file_.reset();
    const bool replaced = platform::replace_file(path_, rebuilt.data(), rebuilt.size());
    // The lock went with the old file; the new one is locked again at once.
    file_ = platform::open_file(path_, true, false);
    if (file_) {
      std::setvbuf(file_.get(), nullptr, _IONBF, 0);
      platform::try_lock(file_.get(), true);
    }
    if (!replaced || !file_) return {ERR_IMAGE_WRITE, name()};
    // The records have moved: the tables are read again when next needed.
    stale_ = true;
    rewrite_ = false;
    return {};
  }

 private:
  // The sector that holds plain offset `offset`, where in it, and how many
  // of `length` bytes lie in it. False when the container has no sector
  // there.
  bool locate(std::int64_t offset, std::size_t length, Sector*& sector, std::size_t& within,
              std::size_t& piece) {
    if (stale_) {
      parsed_ = parse(path_);
      stale_ = false;
    }
    if (offset < 0 || offset >= size_) return false;
    const auto t = static_cast<std::size_t>(offset / track_size_);
    const auto position = static_cast<int>(offset % track_size_);
    if (t >= parsed_.tracks.size()) return false;
    Track& track = parsed_.tracks[t];
    if (!track.present || position >= track.bytes) return false;
    const auto next =
        std::upper_bound(track.by_id.begin(), track.by_id.end(), position, [&](int p, int index) {
          return p < track.sectors[static_cast<std::size_t>(index)].position;
        });
    sector = &track.sectors[static_cast<std::size_t>(*(next - 1))];
    within = static_cast<std::size_t>(position - sector->position);
    piece = std::min({length, static_cast<std::size_t>(sector->size) - within,
                      static_cast<std::size_t>(track_size_ - position)});
    return true;
  }

  bool read_at(std::int64_t at, std::uint8_t* data, std::size_t length) {
    return platform::seek(file_.get(), at) && std::fread(data, 1, length, file_.get()) == length;
  }

  // Flushed at once, as for plain images.
  bool write_at(std::int64_t at, const std::uint8_t* data, std::size_t length) {
    return platform::seek(file_.get(), at) && std::fwrite(data, 1, length, file_.get()) == length &&
           std::fflush(file_.get()) == 0;
  }

  static bool changes_fill(const Sector& sector, const std::uint8_t* data, std::size_t length) {
    return std::any_of(data, data + length, [&](std::uint8_t b) { return b != sector.fill; });
  }

  // Holds the sector's contents in memory until the file is rebuilt.
  bool take_into_memory(Sector& sector) {
    sector.pending.assign(static_cast<std::size_t>(sector.size), sector.fill);
    if (sector.state == SectorState::kData &&
        !read_at(sector.data, sector.pending.data(), sector.pending.size())) {
      sector.pending.clear();
      return false;
    }
    rewrite_ = true;
    return true;
  }

  std::string path_;
  FilePtr file_;
  bool writable_;
  Parsed parsed_;
  int track_size_;
  std::int64_t size_;
  bool rewrite_ = false;
  bool stale_ = false;
};

}  // namespace

ContainerKind detect_container(const std::uint8_t* data, std::size_t size) {
  if (starts_with(data, size, kEdskMagic)) return ContainerKind::kEdsk;
  if (starts_with(data, size, kDskMagic)) return ContainerKind::kDsk;
  if (starts_with(data, size, kImdMagic) && std::find(data, data + size, 0x1A) != data + size) {
    return ContainerKind::kImd;
  }
  return ContainerKind::kRaw;
}

const char* container_name(ContainerKind kind) {
  switch (kind) {
    case ContainerKind::kDsk:
      return "DSK";
    case ContainerKind::kEdsk:
      return "EDSK";
    case ContainerKind::kImd:
      return "IMD";
    case ContainerKind::kRaw:
      break;
  }
  return "RAW";
}

bool parse_container_kind(const std::string& text, ContainerKind& kind) {
  for (const ContainerKind candidate :
       {ContainerKind::kRaw, ContainerKind::kDsk, ContainerKind::kEdsk, ContainerKind::kImd}) {
    if (equals_ignoring_case(text, container_name(candidate))) {
      kind = candidate;
      return true;
    }
  }
  return false;
}

int container_tracks(const Geometry& geometry) {
  if (geometry.track_size <= 0) return 0;
  return static_cast<int>((std::int64_t{geometry.image_size} + geometry.track_size - 1) /
                          geometry.track_size);
}

int container_cylinders(const Geometry& geometry) {
  const int heads = std::max(1, geometry.container.heads);
  return (container_tracks(geometry) + heads - 1) / heads;
}

bool container_can_hold(const Geometry& geometry) {
  const ContainerLayout& layout = geometry.container;
  if (layout.kind == ContainerKind::kRaw) return true;
  if (geometry.track_size % layout.sector_size != 0) return false;
  const int sectors = geometry.track_size / layout.sector_size;
  if (layout.first_id + sectors - 1 > 255 || container_cylinders(geometry) > kMaxCylinders) {
    return false;
  }
  const int block = (256 + geometry.track_size + 255) / 256 * 256;
  switch (layout.kind) {
    case ContainerKind::kEdsk:
      return sectors <= kMaxDskSectors && block <= kMaxEdskTrack &&
             container_cylinders(geometry) * layout.heads <= kMaxEdskSlots;
    case ContainerKind::kDsk:
      return sectors <= kMaxDskSectors && block <= kMaxDskTrack;
    default:
      return true;  // an ImageDisk track holds up to 255 sectors
  }
}

bool ContainerSummary::fits(const Geometry& geometry) const {
  if (track_bytes.empty() || track_bytes[0] != geometry.track_size) return false;
  for (int t = 0; t < container_tracks(geometry); ++t) {
    if (static_cast<std::size_t>(t) >= track_bytes.size() ||
        track_bytes[static_cast<std::size_t>(t)] < needed_bytes(geometry, t)) {
      return false;
    }
  }
  return true;
}

ContainerSummary summarize_container(const std::string& path) {
  ContainerSummary summary;
  if (platform::is_directory(path)) return summary;
  const Parsed parsed = parse(path);
  summary.kind = parsed.kind;
  summary.heads = parsed.heads;
  for (const Track& track : parsed.tracks)
    summary.track_bytes.push_back(track.present ? track.bytes : 0);
  if (!parsed.tracks.empty() && !parsed.tracks[0].by_id.empty()) {
    const Track& first = parsed.tracks[0];
    const Sector& lowest = first.sectors[static_cast<std::size_t>(first.by_id[0])];
    summary.first_id = lowest.id;
    summary.first_track_sectors = static_cast<int>(first.sectors.size());
    summary.first_sector_size = lowest.size;
  }
  return summary;
}

Error open_container(FilePtr file, const std::string& path, const std::string& name,
                     const Geometry& geometry, bool writable, bool check,
                     std::unique_ptr<Medium>& out) {
  Parsed parsed = parse(path);
  if (check) {
    Error error{ERR_IMAGE_SIZE, name};
    error.hint = missing_part(parsed, geometry);
    if (!error.hint.empty()) return error;
  }
  out = std::make_unique<ContainerImage>(name, path, std::move(file), writable, std::move(parsed),
                                         geometry);
  return {};
}

Error create_container(FilePtr file, const std::string& path, const std::string& name,
                       const Geometry& geometry, std::unique_ptr<Medium>& out) {
  const ContainerKind kind = geometry.container.kind;
  const std::vector<std::uint8_t> bytes = kind == ContainerKind::kImd
                                              ? container::build_imd(geometry)
                                              : container::build_dsk(geometry, kind);
  if (!platform::seek(file.get(), 0) ||
      std::fwrite(bytes.data(), 1, bytes.size(), file.get()) != bytes.size() ||
      std::fflush(file.get()) != 0) {
    return {ERR_IMAGE_WRITE, name};
  }
  return open_container(std::move(file), path, name, geometry, true, true, out);
}

namespace container {

Reader::Reader(std::FILE* file, std::size_t chunk)
    : file_(file), chunk_(chunk), size_(platform::file_length(file)) {}

bool Reader::get(std::int64_t offset, std::uint8_t* data, std::size_t length) {
  const auto end = offset + static_cast<std::int64_t>(length);
  if (offset < 0 || end > size_) return false;
  if (length == 0) return true;
  if (offset < start_ || end > start_ + static_cast<std::int64_t>(buffer_.size())) {
    buffer_.resize(std::max(length, chunk_));
    start_ = offset;
    if (!platform::seek(file_, offset)) return false;
    buffer_.resize(std::fread(buffer_.data(), 1, buffer_.size(), file_));
    if (buffer_.size() < length) return false;
  }
  std::memcpy(data, buffer_.data() + (offset - start_), length);
  return true;
}

void index_sectors(Track& track) {
  track.by_id.resize(track.sectors.size());
  for (std::size_t i = 0; i < track.by_id.size(); ++i) track.by_id[i] = static_cast<int>(i);
  std::stable_sort(track.by_id.begin(), track.by_id.end(), [&](int a, int b) {
    return track.sectors[static_cast<std::size_t>(a)].id <
           track.sectors[static_cast<std::size_t>(b)].id;
  });
  track.bytes = 0;
  for (const int index : track.by_id) {
    Sector& sector = track.sectors[static_cast<std::size_t>(index)];
    sector.position = track.bytes;
    track.bytes += sector.size;
  }
}

bool is_fm(const Geometry& geometry) {
  return geometry.container.sector_size == kRecordSize;
}

bool is_high_rate(const Geometry& geometry) {
  return geometry.track_size > (is_fm(geometry) ? kDoubleDensityTrack / 2 : kDoubleDensityTrack);
}

}  // namespace container
}  // namespace xev
