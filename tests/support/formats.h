// The image types of the shipped xev.ini that Debian's cpmtools describes as
// well, for interoperability tests: mkfs.cpm/cpmcp/cpmls with `diskdef` on
// an image named *.<extension> must see the same disk as xev.
#pragma once

#include <ostream>

namespace xev::test {

struct InteropFormat {
  const char* extension;  // xev.ini section
  const char* diskdef;    // cpmtools format name (-f)
  int image_size;         // bytes, equal for both tools
  bool skewed;            // XLT is not the identity
  bool wide_pointers;     // DSM > 255: eight 16-bit pointers per entry
  int system_size;        // bytes before the data area
};

// Parameterised tests show the format by its extension.
inline void PrintTo(const InteropFormat& format, std::ostream* out) {
  *out << format.extension;
}

// mkfs.cpm writes only the system area and the directory; extend its image
// to image_size (e.g. truncate) before using it. For the diskdefs marked
// "os 3" below, mkfs.cpm also writes a directory label entry (first byte
// 0x20) at directory index 0; cpmcp and cpmls work either way.
inline constexpr InteropFormat kInteropFormats[] = {
    {"dsk", "ibm-3740", 256256, true, false, 6656},
    {"cps", "cpcsys", 184320, false, false, 9216},  // os 3
    {"cpd", "cpcdata", 184320, false, false, 0},    // os 3
    {"pcw", "pcw", 184320, false, false, 4608},     // os 3
    {"osb", "osborne1", 204800, false, false, 15360},
    {"mbe", "microbee40", 409600, true, false, 10240},
    {"a2d", "apple-do", 143360, true, false, 12288},
    {"nsd", "nsfd", 358400, true, false, 10240},
    {"qx", "epsqx10", 409600, false, false, 20480},
    {"p12", "p112", 1474560, false, true, 18432},  // os 3
    {"ahd", "8megAltairSIMH", 8388608, false, true, 24576},
};

}  // namespace xev::test
