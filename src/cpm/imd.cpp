// ImageDisk files: a header line ("IMD " and the version and date) and a
// comment ended by 0x1A, then the tracks one after the other. A track is
// its recording mode, cylinder, head (bit 7: a cylinder map follows, bit 6:
// a head map follows), sector count and size code (0xFF: a table of 16-bit
// sizes follows the maps), the sector ID map, the optional maps, and one
// record per sector in map order: a type byte, then the data (types 1, 3, 5
// and 7), one byte that fills the whole sector (2, 4, 6 and 8), or nothing
// (0, data unavailable). Types 3 and 4 carry a deleted-data mark, 5 to 8 a
// data error.
#include <algorithm>
#include <cstdio>
#include <ctime>

#include "cpm/container.h"
#include "cpm/version.h"

namespace xev::container {
namespace {

constexpr std::uint8_t kEndOfComment = 0x1A;
constexpr std::uint8_t kCylinderMap = 0x80;
constexpr std::uint8_t kHeadMap = 0x40;
constexpr std::uint8_t kSizeTable = 0xFF;
constexpr std::uint8_t kFill = 0xE5;

// Recording modes: 500, 300 and 250 kbit/s in FM (0 to 2) and MFM (3 to 5).
constexpr std::uint8_t kFmHigh = 0;
constexpr std::uint8_t kFmLow = 2;
constexpr std::uint8_t kMfmHigh = 3;
constexpr std::uint8_t kMfmLow = 5;

bool has_data(std::uint8_t type) {
  return type % 2 == 1;
}
bool has_error(std::uint8_t type) {
  return type >= 5;
}
bool is_deleted(std::uint8_t type) {
  return type == 3 || type == 4 || type == 7 || type == 8;
}

// Reads one track from `at` into `track`, a fresh one; false when it does
// not fit the file or makes no sense. `at` moves past it.
bool parse_track(Reader& reader, std::int64_t& at, Track& track) {
  std::uint8_t head[5];
  if (!reader.get(at, head, sizeof head)) return false;
  const std::uint8_t mode = head[0];
  const std::uint8_t flags = head[2];
  const std::size_t count = head[3];
  const std::uint8_t code = head[4];
  if (mode > kMfmLow || (flags & 0x3E) != 0 || (code > 6 && code != kSizeTable)) return false;
  track.cylinder = head[1];
  track.head = flags & 1;
  // The ID map, the optional maps and the size table.
  std::size_t maps = count;
  if ((flags & kCylinderMap) != 0) maps += count;
  if ((flags & kHeadMap) != 0) maps += count;
  std::vector<std::uint8_t> table(maps + (code == kSizeTable ? 2 * count : 0));
  if (!reader.get(at + 5, table.data(), table.size())) return false;
  std::int64_t next = at + 5 + static_cast<std::int64_t>(table.size());

  for (std::size_t i = 0; i < count; ++i) {
    Sector sector;
    sector.id = table[i];
    sector.size = code == kSizeTable ? table[maps + 2 * i] | (table[maps + 2 * i + 1] << 8)
                                     : kRecordSize << code;
    std::uint8_t record[2] = {};
    if (!reader.get(next, record, 1) || record[0] > 8 || sector.size <= 0) return false;
    sector.record = next;
    sector.type = record[0];
    sector.data = next + 1;
    if (sector.type == 0 || has_error(sector.type)) {
      sector.state = SectorState::kUnreadable;
    } else if (!has_data(sector.type)) {
      sector.state = SectorState::kFilled;
      if (!reader.get(next + 1, &sector.fill, 1)) return false;
    }
    sector.record_length = sector.type == 0 ? 1 : has_data(sector.type) ? 1 + sector.size : 2;
    next += sector.record_length;
    if (next > reader.size()) return false;
    track.sectors.push_back(sector);
  }
  track.present = true;
  index_sectors(track);
  at = next;
  return true;
}

void append(std::vector<std::uint8_t>& out, const std::vector<std::uint8_t>& bytes, std::int64_t at,
            std::int64_t length) {
  out.insert(out.end(), bytes.begin() + static_cast<std::ptrdiff_t>(at),
             bytes.begin() + static_cast<std::ptrdiff_t>(at + length));
}

}  // namespace

Parsed parse_imd(Reader& reader) {
  Parsed parsed;
  parsed.kind = ContainerKind::kImd;
  // The tracks follow the comment.
  std::int64_t at = 0;
  for (std::uint8_t byte = 0; byte != kEndOfComment; ++at) {
    if (!reader.get(at, &byte, sizeof byte)) return parsed;
  }
  std::vector<Track> stored;
  while (at < reader.size()) {
    Track track;
    if (!parse_track(reader, at, track)) {
      parsed.cut_short = true;
      break;
    }
    parsed.heads = std::max(parsed.heads, track.head + 1);
    stored.push_back(std::move(track));
  }
  for (Track& track : stored) {
    const auto slot = static_cast<std::size_t>(track.cylinder * parsed.heads + track.head);
    if (slot >= parsed.tracks.size()) parsed.tracks.resize(slot + 1);
    // A track recorded twice: the first counts.
    if (!parsed.tracks[slot].present) parsed.tracks[slot] = std::move(track);
  }
  return parsed;
}

std::vector<std::uint8_t> build_imd(const Geometry& geometry) {
  const ContainerLayout& layout = geometry.container;
  char header[96];
  const std::time_t now = std::time(nullptr);
  const std::tm* local = std::localtime(&now);
  std::snprintf(header, sizeof header, "IMD 1.18: %02d/%02d/%04d %02d:%02d:%02d\r\n%s v%d.%d\r\n",
                local->tm_mday, local->tm_mon + 1, local->tm_year + 1900, local->tm_hour,
                local->tm_min, local->tm_sec, kProductText, kVersionMajor, kVersionMinor);
  std::vector<std::uint8_t> bytes(header, header + std::char_traits<char>::length(header));
  bytes.push_back(kEndOfComment);

  const int sectors = geometry.track_size / layout.sector_size;
  int code = 0;
  while ((kRecordSize << code) < layout.sector_size) ++code;
  const std::uint8_t mode = is_fm(geometry) ? (is_high_rate(geometry) ? kFmHigh : kFmLow)
                                            : (is_high_rate(geometry) ? kMfmHigh : kMfmLow);
  // Every sector is stored whole, so that writing into it never needs the
  // file to be rewritten.
  const int cylinders = container_cylinders(geometry);
  for (int cylinder = 0; cylinder < cylinders; ++cylinder) {
    for (int head = 0; head < layout.heads; ++head) {
      bytes.insert(bytes.end(),
                   {mode, static_cast<std::uint8_t>(cylinder), static_cast<std::uint8_t>(head),
                    static_cast<std::uint8_t>(sectors), static_cast<std::uint8_t>(code)});
      for (int i = 0; i < sectors; ++i)
        bytes.push_back(static_cast<std::uint8_t>(layout.first_id + i));
      for (int i = 0; i < sectors; ++i) {
        bytes.push_back(1);
        bytes.insert(bytes.end(), static_cast<std::size_t>(layout.sector_size), kFill);
      }
    }
  }
  return bytes;
}

std::vector<std::uint8_t> rebuild_imd(const std::vector<std::uint8_t>& bytes,
                                      const Parsed& parsed) {
  // Only the records of the changed sectors are replaced; everything else
  // (header, comment, track headers, other records) is copied as it was.
  std::vector<const Sector*> changed;
  for (const Track& track : parsed.tracks) {
    for (const Sector& sector : track.sectors) {
      if (!sector.pending.empty()) changed.push_back(&sector);
    }
  }
  std::sort(changed.begin(), changed.end(),
            [](const Sector* a, const Sector* b) { return a->record < b->record; });
  std::vector<std::uint8_t> out;
  out.reserve(bytes.size());
  std::int64_t copied = 0;
  for (const Sector* sector : changed) {
    append(out, bytes, copied, sector->record - copied);
    copied = sector->record + sector->record_length;
    // A sector of one byte value stays compressed; any other content is
    // stored whole. The deleted-data mark is kept.
    const std::vector<std::uint8_t>& data = sector->pending;
    const bool filled =
        std::all_of(data.begin(), data.end(), [&](std::uint8_t b) { return b == data[0]; });
    const int deleted = is_deleted(sector->type) ? 2 : 0;
    out.push_back(static_cast<std::uint8_t>((filled ? 2 : 1) + deleted));
    if (filled) {
      out.push_back(data[0]);
    } else {
      out.insert(out.end(), data.begin(), data.end());
    }
  }
  append(out, bytes, copied, static_cast<std::int64_t>(bytes.size()) - copied);
  return out;
}

}  // namespace xev::container
