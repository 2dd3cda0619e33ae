// The commands. Each works on the open disk, prints its listing or progress
// through `out` and reports its failures there; none of them ends the run.
#pragma once

#include <string>

#include "commands/output.h"
#include "commands/request.h"
#include "cpm/definition.h"
#include "cpm/disk.h"
#include "cpm/image.h"

namespace xev {

// How long a run waits for an image another program has.
constexpr int kLockWaitMs = 10000;

// How the image is opened for the request.
ImageAccess image_access(const Request& request);

// A requested format, after the image has been opened (`created`: it has
// just been made, so it is formatted fully whatever was asked). A failure
// stops the run.
Error run_format(Disk& disk, const Request& request, bool created, Output& out);

// Reads the directory for the file commands. Invalid entries are reported;
// without -iide the first one stops the run, with it an empty line follows
// them and the command runs.
Error load_directory(Disk& disk, const Request& request, Output& out);

// `type_name`: the image type the run uses, as -cj names it.
void run_catalogue(Disk& disk, const Request& request, const std::string& type_name, Output& out);
void run_add(Disk& disk, const Request& request, Output& out);
void run_erase(Disk& disk, const Request& request, Output& out);
void run_extract(Disk& disk, const Request& request, Output& out);
void run_set_attributes(Disk& disk, const Request& request, Output& out);
void run_set_user(Disk& disk, const Request& request, Output& out);
void run_type(Disk& disk, const Request& request, Output& out);
void run_hex_dump(Disk& disk, const Request& request, Output& out);

// The system area; the directory is never read.
void run_write_system(Disk& disk, const Request& request, Output& out);
void run_copy_system(Disk& disk, const Request& request, Output& out);
void run_save_system(Disk& disk, const Request& request, Output& out);

// -iti: the definition of the image type as read, and what follows from it.
void run_type_info(const ImageType& type, Output& out);

}  // namespace xev
