#include "cpm/stamps.h"

#include <cstdio>
#include <cstring>

namespace xev {
namespace {

// Days from 1 March of year 0 in the proleptic Gregorian calendar.
long days_from_civil(long year, long month, long day) {
  year -= month <= 2 ? 1 : 0;
  const long era = year / 400;  // no year before 1978 is ever asked for
  const long year_of_era = year - era * 400;
  const long day_of_year = (153 * (month + (month > 2 ? -3 : 9)) + 2) / 5 + day - 1;
  const long day_of_era = year_of_era * 365 + year_of_era / 4 - year_of_era / 100 + day_of_year;
  return era * 146097 + day_of_era;
}

const long kDayZero = days_from_civil(1977, 12, 31);

// The stamp's day number of a date: 1 is 1 January 1978.
int day_number(int year, int month, int day) {
  return static_cast<int>(days_from_civil(year, month, day) - kDayZero);
}

int from_bcd(std::uint8_t value) { return (value >> 4) * 10 + (value & 0x0F); }
std::uint8_t to_bcd(int value) { return static_cast<std::uint8_t>((value / 10) << 4 | value % 10); }

}  // namespace

DateStamp stamp_of(int year, int month, int day, int hour, int minute) {
  return {day_number(year, month, day), hour, minute};
}

DateStamp read_stamp(const std::uint8_t* bytes) {
  return {bytes[0] | bytes[1] << 8, from_bcd(bytes[2]), from_bcd(bytes[3])};
}

std::string format_stamp(const DateStamp& stamp) {
  if (stamp.day <= 0) return {};
  // Back from the day count, a year at a time and then a month.
  int year = 1978;
  while (day_number(year + 1, 1, 1) <= stamp.day) ++year;
  int month = 1;
  while (month < 12 && day_number(year, month + 1, 1) <= stamp.day) ++month;
  const int day = stamp.day - day_number(year, month, 1) + 1;
  char text[64];  // room for any int the format could be given
  std::snprintf(text, sizeof text, "%04d-%02d-%02d %02d:%02d", year, month, day, stamp.hour,
                stamp.minute);
  return text;
}

void stamp_new_file(Directory& directory, int first, const DateStamp& now) {
  std::uint8_t* slot = directory.stamps(first);
  if (slot == nullptr) return;
  const std::uint8_t flags = directory.label_flags();
  std::memset(slot, 0, kStampSlotSize);
  const std::uint8_t bytes[4] = {static_cast<std::uint8_t>(now.day & 0xFF),
                                 static_cast<std::uint8_t>(now.day >> 8), to_bcd(now.hour),
                                 to_bcd(now.minute)};
  // Create (or access) stamp first, then the update stamp.
  if ((flags & (kLabelCreateStamps | kLabelAccessStamps)) != 0) {
    std::memcpy(slot, bytes, sizeof bytes);
  }
  if ((flags & kLabelUpdateStamps) != 0) std::memcpy(slot + sizeof bytes, bytes, sizeof bytes);
}

}  // namespace xev
