// The usage text as a user sees it, split at its pause.
#pragma once

#include <string>

namespace xev::test {

inline const std::string kUsageHead =
    "Usage:\n"
    "  xev imagefile.ext [ -u usr ] [ -iide ] [ -tns] [ -cp files ] [ -c1 ] [ -cu ] -c "
    "[ cpm_name ]\n"
    "  xev imagefile.ext -f | -q [ -tns [ -lbl tns_disk_label ] ]\n"
    "  xev imagefile.ext -a [path/]cpm_name [ -afn cpm_name ] [ -ow ] [ -u usr ] [ -iide ] "
    "[ -tns ]\n"
    "  xev imagefile.ext -e cpm_name [ -u usr ] [ -iide ] [ -tns ]\n"
    "  xev imagefile.ext -x [path/]cpm_name [ -u usr ] [ -iide ]\n"
    "  xev imagefile.ext -sa cpm_name attrs [ -u usr ] [ -iide ]\n"
    "  xev imagefile.ext -su cpm_name req_usr [ -u usr ] [ -iide ]\n"
    "  xev imagefile.ext -h cpm_name [ -u usr ] [ -iide ]\n"
    "  xev imagefile.ext -t cpm_name [ -u usr ] [ -iide ]\n"
    "  xev imagefile.ext -w [path/]in_system_file\n"
    "  xev imagefile.ext -i [path/]imagefile2.ext\n"
    "  xev imagefile.ext -s [path/]out_system_file\n"
    "  xev dummy.ext -iti\n";

inline const std::string kUsagePause = "\nPress ENTER ...\n";

inline const std::string kUsageTail =
    "  -c\tshow catalogue of the image\n"
    "  -f\tfull format of the image (image will be created if not exist)\n"
    "  -q\tquick format of the image (image will be created if not exist)\n"
    "  -a\tadd file(s) to the image (image will be created if not exist)\n"
    "  -afn  target 'cpm_name' without wildcards for single file\n"
    "\tIn this case file name in switch -a may be with long name,\n"
    "\tbut must not contain wildcards.\n"
    "  -ow\toverwrite existing file(s)\n"
    "  -e\terase file(s) from the image\n"
    "  -x\textract file(s) from the image\n"
    "  -sa\tset attributes for file(s)\n"
    "  -su\tset user area for file(s)\n"
    "  -h\tdisplay hex dump of the file\n"
    "  -t\tdisplay content of the ASCII file\n"
    "  -w\twrite system to the image from file\n"
    "  -i\twrite system to the image from another image of the same type\n"
    "  -s\textract system from the image and save to file\n"
    "  -iide\tignore invalid directory entries\n"
    "  -iti\tdisplay Image Type info\n"
    "  -tns\tconsider disk as TNS-DOS\n"
    "  -lbl\tset label for TNS-DOS disk; \"TNS-DOS/XEV\" if not used\n"
    "  -u\tuse user area number 'usr' - 0 to 31\n"
    "\tif not specified, files of all users are processed\n"
    "\tand for switch -a user 0 is always used\n"
    "  -cp\tdetermines number of files on one catalogue page\n"
    "  -c1\tone column catalogue\n"
    "  -cu\tdo not sort catalogue\n"
    "  'tns_disk_label' is label for TNS-DOS disk (max. 11 chars)\n"
    "  'attrs' can be -- / R- / -S / RS\n"
    "  'req_usr' is requested user area number 0 to 31\n"
    "  'imagefile.ext', 'imagefile2.ext' are image file names with extension\n"
    "  'cpm_name' is the file name in CP/M 8.3 format\n"
    "\t     which can contain wildcards '*' or '?'\n"
    "\t     and can be with dir-path of the file(s) to add or extract.\n"
    "  'system_file' is binary file with CP/M system itself\n"
    "\n";

}  // namespace xev::test
