// Formatting, and the TNS-DOS label and map entries.
#pragma once

#include <cstdint>
#include <string>

#include "cpm/disk.h"
#include "cpm/error.h"

namespace xev {

constexpr const char* kDefaultTnsLabel = "TNS-DOS/XEV";
constexpr std::size_t kTnsLabelLength = 11;

// The records of a full format, on an image that is all 0xE5: 0xC9 at the
// start of the system area (when there is one) and the signature in the last
// record of the image.
Error write_format_records(Disk& disk);

// Writes empty entries into every directory record of the image; the
// directory in memory is not touched.
Error clear_directory(Disk& disk);

// The first free entry from `from` on whose byte 15 holds `mark`; failing
// that the first plain free entry; -1 when there is neither.
int find_tns_entry(const Directory& directory, std::uint8_t mark, int from);

// Puts the label entry at index 0 with `label` (11 characters). An empty
// label keeps the text of an existing label entry, or gives the default.
// ERR_DIRECTORY_FULL when no entry is left for it.
Error write_tns_label(Directory& directory, const std::string& label);

// Copies the allocation map into the map entries from index 1 on (the label
// entry is expected at index 0). ERR_DIRECTORY_FULL when no entry is left for
// them.
Error store_tns_map(Directory& directory, const AllocationMap& map);

// The label of a TNS-DOS disk (trimmed), empty without a label entry.
std::string read_tns_label(const Directory& directory);

// A directory with a label entry and a map entry was likely written by
// TNS-DOS.
bool looks_like_tns_disk(const Directory& directory);

std::uint8_t reverse_bits(std::uint8_t byte);

}  // namespace xev
