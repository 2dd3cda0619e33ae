#include "cli/run.h"

#include <cstdio>
#include <cstring>
#include <new>
#include <utility>

#include "cli/definitions.h"
#include "cli/options.h"
#include "cli/usage.h"
#include "commands/commands.h"

namespace xev {
namespace {

// The file commands need the directory; the system-track commands work on
// images whose directory would be refused.
ErrorCode dispatch(Disk& disk, const Request& request, const std::string& type_name,
                   Output& out) {
  switch (request.command) {
    case Command::kWriteSystem: run_write_system(disk, request, out); return ERR_OK;
    case Command::kCopySystem: run_copy_system(disk, request, out); return ERR_OK;
    case Command::kSaveSystem: run_save_system(disk, request, out); return ERR_OK;
    default: break;
  }
  if (Error error = load_directory(disk, request, out)) {
    out.report(error);
    return error.code;
  }
  switch (request.command) {
    case Command::kCatalogue: run_catalogue(disk, request, type_name, out); break;
    case Command::kAdd: run_add(disk, request, out); break;
    case Command::kErase: run_erase(disk, request, out); break;
    case Command::kExtract: run_extract(disk, request, out); break;
    case Command::kSetAttributes: run_set_attributes(disk, request, out); break;
    case Command::kSetUser: run_set_user(disk, request, out); break;
    case Command::kType: run_type(disk, request, out); break;
    case Command::kHexDump: run_hex_dump(disk, request, out); break;
    default: break;  // a format alone
  }
  return ERR_OK;
}

// Everything up to the command; returns the failure that stopped the run.
ErrorCode run(int argc, const char* const* argv, Output& out) {
  CommandLine line;
  Error error = argc <= 1 ? Error(SHOW_USAGE) : parse_options(argc, argv, line);
  // The banner comes before everything else the run prints, a refusal of
  // the command line included; reading the options prints nothing.
  if (line.banner) print_banner(out);
  if (error.code == SHOW_USAGE) return SHOW_USAGE;
  const Request& request = line.request;
  ImageType type;
  if (!error) error = load_image_type(line, type, out);
  if (!error && request.command == Command::kTypeInfo) {
    run_type_info(type, out);
    return ERR_OK;
  }
  OpenedImage image;
  if (!error) {
    error = open_image(request.image_path(), request.image_name, type.geometry,
                       image_access(request), image);
  }
  if (error) {
    out.report(error);
    return error.code;
  }
  if (image.created) std::fprintf(out.text(), "Image '%s' was created.\n", request.image_name.c_str());

  Disk disk(std::move(type.geometry), std::move(image.medium));
  ErrorCode code = ERR_OK;
  if (image.created || request.format != Format::kNone) {
    if (Error failure = run_format(disk, request, image.created, out)) {
      out.report(failure);
      code = failure.code;
    }
  }
  if (code == ERR_OK) code = dispatch(disk, request, type.name, out);
  // A container that has to be rebuilt is written once, after everything.
  if (Error error = disk.medium().commit()) out.fail(error);
  return code;
}

// --help and --version, alone where the image name stands otherwise: the
// usage text without a pause, or the version line. True when answered.
bool answer_query(int argc, const char* const* argv, Output& out) {
  if (argc != 2) return false;
  if (std::strcmp(argv[1], "--help") == 0) {
    print_usage(out, false);
  } else if (std::strcmp(argv[1], "--version") == 0) {
    print_version(out);
  } else {
    return false;
  }
  std::fflush(out.text());
  return true;
}

}  // namespace

int run_program(int argc, const char* const* argv, Output& out) {
  if (answer_query(argc, argv, out)) return 0;
  ErrorCode code = ERR_OK;
  try {
    code = run(argc, argv, out);
  } catch (const std::bad_alloc&) {
    out.report({ERR_OUT_OF_MEMORY});
    code = ERR_OUT_OF_MEMORY;
  }
  if (code == SHOW_USAGE) {
    print_usage(out);
    code = ERR_OK;
  } else if (code != ERR_OK) {
    std::fprintf(out.text(), "\n");
  }
  std::fflush(out.text());
  // A failure the command itself reported counts as well: a script must not
  // go on after "Disk full".
  return code != ERR_OK ? -code : -out.first_failure();
}

}  // namespace xev

