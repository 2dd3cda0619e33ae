// CPCEMU DSK and extended DSK files: a 256-byte disk header, then for each
// track a 256-byte track header with its sector list, followed by the
// sectors' data in list order.
//
// Disk header: the signature, the creator (14 bytes) at 0x22, the cylinders
// at 0x30, the sides at 0x31; DSK has the size of every track block at 0x32
// (16 bits), extended DSK the size of each block in units of 256 bytes from
// 0x34 on, 0 for a track that is not formatted.
// Track header: "Track-Info\r\n", cylinder at 0x10, side at 0x11, data rate
// and recording mode at 0x12 and 0x13, sector size code at 0x14, sector
// count at 0x15, gap 3 length and filler byte at 0x16 and 0x17; from 0x18
// eight bytes per sector: C, H, R (the ID), N (size code), FDC status 1 and
// 2, and (extended DSK) the stored data length.
#include <algorithm>
#include <cstring>
#include <string_view>

#include "cpm/container.h"

namespace xev::container {
namespace {

constexpr std::size_t kBlock = 256;
constexpr std::size_t kSectorList = 0x18;
constexpr std::size_t kSectorEntry = 8;
constexpr std::size_t kTrackTable = 0x34;
constexpr char kDskSignature[] = "MV - CPCEMU Disk-File\r\nDisk-Info\r\n";
constexpr char kEdskSignature[] = "EXTENDED CPC DSK File\r\nDisk-Info\r\n";
constexpr char kTrackSignature[] = "Track-Info\r\n";
constexpr std::string_view kCreator = "xev";
constexpr std::uint8_t kGap3 = 0x52;
constexpr std::uint8_t kFill = 0xE5;

// FDC status 2 bits of a sector read that did not deliver its data: a data
// CRC error, a missing data address mark.
constexpr std::uint8_t kStatus2Failed = 0x21;

int read16(const std::uint8_t* p) {
  return p[0] | (p[1] << 8);
}

void put16(std::uint8_t* p, std::size_t value) {
  p[0] = static_cast<std::uint8_t>(value & 0xFF);
  p[1] = static_cast<std::uint8_t>((value >> 8) & 0xFF);
}

int size_code(int size) {
  int code = 0;
  while ((kRecordSize << code) < size) ++code;
  return code;
}

// The track headers hold the sector list in their first 256 bytes; a longer
// list (more than 29 sectors) takes further whole blocks.
std::size_t header_size(std::size_t sectors) {
  return std::max(kBlock, (kSectorList + sectors * kSectorEntry + kBlock - 1) / kBlock * kBlock);
}

// Reads the track block at `at` (`length` bytes, 0 when unknown) into
// `track`, a fresh one. False when the block does not fit the file or is no
// track.
bool parse_track(Reader& reader, std::int64_t at, std::int64_t length, bool extended,
                 Track& track) {
  std::vector<std::uint8_t> header(kBlock);
  if (!reader.get(at, header.data(), kBlock) ||
      std::memcmp(header.data(), kTrackSignature, 10) != 0) {
    return false;
  }
  const std::size_t count = header[0x15];
  // A sector list longer than one block goes on in the next ones.
  const std::size_t listed = header_size(count);
  if (listed > kBlock) {
    header.resize(listed);
    if (!reader.get(at, header.data(), listed)) return false;
  }
  std::int64_t data = at + static_cast<std::int64_t>(listed);
  if (length != 0 && data > at + length) return false;
  for (std::size_t i = 0; i < count; ++i) {
    const std::uint8_t* entry = &header.at(kSectorList + i * kSectorEntry);
    Sector sector;
    sector.id = entry[2];
    const int code = extended ? entry[3] : header[0x14];
    if (code > 6) return false;
    sector.size = kRecordSize << code;
    const std::int64_t stored = extended ? read16(entry + 6) : sector.size;
    sector.data = data;
    if (stored != sector.size || (entry[5] & kStatus2Failed) != 0) {
      sector.state = SectorState::kUnreadable;
    }
    data += stored;
    track.sectors.push_back(sector);
  }
  if (data > reader.size()) return false;
  track.present = true;
  index_sectors(track);
  return true;
}

}  // namespace

Parsed parse_dsk(Reader& reader, ContainerKind kind) {
  Parsed parsed;
  parsed.kind = kind;
  std::uint8_t disk[kBlock];
  const bool extended = kind == ContainerKind::kEdsk;
  if (!reader.get(0, disk, kBlock) || disk[0x31] < 1 || disk[0x31] > 2) {
    parsed.cut_short = true;
    return parsed;
  }
  parsed.heads = disk[0x31];
  std::size_t slots = std::size_t{disk[0x30]} * disk[0x31];
  if (extended) slots = std::min(slots, kBlock - kTrackTable);
  const std::int64_t dsk_length = read16(&disk[0x32]);
  if (!extended && dsk_length < static_cast<std::int64_t>(kBlock)) {
    parsed.cut_short = slots > 0;
    return parsed;
  }
  parsed.tracks.resize(slots);
  std::int64_t at = kBlock;
  for (std::size_t slot = 0; slot < slots; ++slot) {
    const std::int64_t length =
        extended ? std::int64_t{disk[kTrackTable + slot]} * static_cast<std::int64_t>(kBlock)
                 : dsk_length;
    if (length == 0) continue;  // not formatted
    if (!parse_track(reader, at, length, extended, parsed.tracks[slot])) {
      parsed.cut_short = true;
      break;
    }
    at += length;
  }
  return parsed;
}

std::vector<std::uint8_t> build_dsk(const Geometry& geometry, ContainerKind kind) {
  const ContainerLayout& layout = geometry.container;
  const bool extended = kind == ContainerKind::kEdsk;
  const int cylinders = container_cylinders(geometry);
  const std::size_t sectors = static_cast<std::size_t>(geometry.track_size / layout.sector_size);
  const std::size_t block =
      (header_size(sectors) + std::size_t{static_cast<std::size_t>(geometry.track_size)} + kBlock -
       1) /
      kBlock * kBlock;
  const std::size_t slots =
      static_cast<std::size_t>(cylinders) * static_cast<std::size_t>(layout.heads);

  std::vector<std::uint8_t> bytes(kBlock + slots * block, 0);
  std::memcpy(bytes.data(), extended ? kEdskSignature : kDskSignature, 34);
  std::copy(kCreator.begin(), kCreator.end(), &bytes[0x22]);
  bytes[0x30] = static_cast<std::uint8_t>(cylinders);
  bytes[0x31] = static_cast<std::uint8_t>(layout.heads);
  if (!extended) put16(&bytes[0x32], block);

  const std::uint8_t code = static_cast<std::uint8_t>(size_code(layout.sector_size));
  for (std::size_t slot = 0; slot < slots; ++slot) {
    if (extended) bytes[kTrackTable + slot] = static_cast<std::uint8_t>(block / kBlock);
    std::uint8_t* header = &bytes[kBlock + slot * block];
    std::memcpy(header, kTrackSignature, sizeof kTrackSignature - 1);
    header[0x10] = static_cast<std::uint8_t>(slot / static_cast<std::size_t>(layout.heads));
    header[0x11] = static_cast<std::uint8_t>(slot % static_cast<std::size_t>(layout.heads));
    header[0x12] = is_high_rate(geometry) ? 2 : 1;
    header[0x13] = is_fm(geometry) ? 1 : 2;
    header[0x14] = code;
    header[0x15] = static_cast<std::uint8_t>(sectors);
    header[0x16] = kGap3;
    header[0x17] = kFill;
    for (std::size_t i = 0; i < sectors; ++i) {
      std::uint8_t* entry = header + kSectorList + i * kSectorEntry;
      entry[0] = header[0x10];
      entry[1] = header[0x11];
      entry[2] = static_cast<std::uint8_t>(static_cast<std::size_t>(layout.first_id) + i);
      entry[3] = code;
      if (extended) put16(entry + 6, static_cast<std::size_t>(layout.sector_size));
    }
    std::fill_n(header + header_size(sectors), geometry.track_size, kFill);
  }
  return bytes;
}

}  // namespace xev::container
