// Finding the image type of an existing image whose name does not give it:
// among all known sections, the ones whose image is exactly as long as the
// file and whose directory reads as a sound one.
#pragma once

#include <vector>

#include "cli/definitions.h"

namespace xev {

// Tries the sections of `files` (a name given twice: its first section) on
// the image of `request`. A DSK or EDSK container whose first track names an
// Amstrad type (see identify_amstrad_disk) is of that type; the sections a
// container may hold are those whose tracks it holds. Exactly one fits: `type` becomes it, and "Image
// type `NAME` detected" is printed. Otherwise `failure` is returned: as it
// is when nothing fits or the image cannot be read, with a hint that lists
// the candidates and -it when several fit.
Error detect_image_type(const Request& request, const std::vector<DefinitionFile>& files,
                        Error failure, ImageType& type, Output& out);

// Amstrad CPC, PCW and Spectrum +3 disks come as `.dsk` files, the extension
// of the 8-inch type. A DSK or extended DSK container named so that `type`
// does not fit is taken by its first track: sector IDs from 0x41 make it
// `cps` (CPC system format), from 0xC1 `cpd` (CPC data format), from 0x01 on
// 40 single-sided tracks of nine 512-byte sectors `pcw`. `type` becomes that
// section, announced as a detected type; without such a section it stays.
void identify_amstrad_disk(const Request& request, const std::vector<DefinitionFile>& files,
                           ImageType& type, Output& out);

}  // namespace xev
