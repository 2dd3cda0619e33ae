// The image file: opening, size check, record addressing through the skew
// table; and the host file stream shared by the file commands.
#pragma once

#include <cstdint>
#include <cstdio>
#include <string>

#include "cli/errors.h"
#include "cli/run_state.h"

namespace xev {

// Opens the image, or creates and fills it where the command allows; a new
// image sets cmd_full_format. The length must equal image_size.
ErrorCode open_image(RunState& state);
void close_image(RunState& state);

// Track and logical sector of record `record` of allocation unit `au`; false
// (outputs untouched) when either is out of range.
bool locate_record(const RunState& state, int au, int record, int& track,
                   int& sector);

// One 128-byte record at `track` and logical `sector`.
ErrorCode read_record(RunState& state, std::uint8_t* buffer, int track, int sector);
ErrorCode write_record(RunState& state, const std::uint8_t* buffer, int track,
                       int sector);

// Opens host_dir + host_name into host_file: for reading (host_file_size
// becomes its length) or as a new empty file for writing (size 0).
ErrorCode open_host_file(RunState& state, bool for_writing);
void close_host_file(RunState& state);

// Stream helpers with 64-bit offsets.
bool seek_stream(std::FILE* file, std::int64_t offset);
std::int64_t stream_length(std::FILE* file);  // -1 on failure; position at end

}  // namespace xev
