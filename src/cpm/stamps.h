// CP/M 3 date stamps: a day count from 1 January 1978 (day 1), little
// endian, then hour and minute in BCD.
#pragma once

#include <cstdint>
#include <string>

#include "cpm/directory.h"

namespace xev {

struct DateStamp {
  int day = 0;  // 0: no stamp
  int hour = 0;
  int minute = 0;
};

DateStamp stamp_of(int year, int month, int day, int hour, int minute);
DateStamp read_stamp(const std::uint8_t* bytes);

// "YYYY-MM-DD HH:MM", or empty for no stamp.
std::string format_stamp(const DateStamp& stamp);

// Gives the file whose first entry is `first` the stamps the label asks for,
// at `now`, in its whole stamp slot (the others as zero). Nothing on a disk
// without date stamps.
void stamp_new_file(Directory& directory, int first, const DateStamp& now);

}  // namespace xev
