// What the command line asks for, as the commands read it.
#pragma once

#include <string>

#include "cpm/directory.h"

namespace xev {

enum class Command {
  kNone,  // a format alone
  kCatalogue,
  kAdd,
  kErase,
  kExtract,
  kSetAttributes,
  kSetUser,
  kHexDump,
  kType,
  kWriteSystem,
  kCopySystem,
  kSaveSystem,
  kTypeInfo,
};

enum class Format { kNone, kFull, kQuick };

struct Request {
  Command command = Command::kNone;
  Format format = Format::kNone;

  std::string image_dir;  // with its trailing separator, or empty
  std::string image_name;
  std::string image_type;  // the image name's extension
  std::string type_name;   // -it: the image type named instead, or empty

  // The command's file argument: a host folder (with its trailing separator)
  // and a CP/M name or mask, a host file name or mask, or a second image.
  std::string host_dir;
  std::string mask;
  std::string target_name;  // -afn

  int user = kAllUsers;      // -u
  int new_user = kAllUsers;  // -su
  std::string new_attributes;  // -sa: "--", "R-", "-S" or "RS"
  std::string label;           // -lbl: 11 characters, or empty
  int page_size = -1;          // -cp: files per page (even), -1: no pages
  bool one_column = false;     // -c1
  bool unsorted = false;       // -cu
  bool stamps = false;         // -cd: the CP/M 3 date stamps, one file a line
  bool overwrite = false;      // -ow
  bool ignore_invalid = false;  // -iide
  bool tns = false;             // -tns
  bool no_banner = false;       // -nb: -t and -h show the file alone
  bool json = false;            // -cj: the catalogue as one JSON document
  bool text_mode = false;       // -txt: CR LF lines ended by Ctrl-Z on the CP/M side

  std::string image_path() const { return image_dir + image_name; }
};

}  // namespace xev
