#include "cli/usage.h"

#include <cstdio>

#include "cpm/version.h"

namespace xev {
namespace {

constexpr const char* kProgramName = "xev";
constexpr const char* kUsagePrompt = "\nPress ENTER ...\n";

// Usage lines after the pause, printed as they stand.
constexpr const char* kOptionHelp[] = {
    "  -c\tshow catalogue of the image\n",
    "  -f\tfull format of the image (image will be created if not exist)\n",
    "  -q\tquick format of the image (image will be created if not exist)\n",
    "  -a\tadd file(s) to the image (image will be created if not exist)\n",
    "  -afn  target 'cpm_name' without wildcards for single file\n",
    "\tIn this case file name in switch -a may be with long name,\n",
    "\tbut must not contain wildcards.\n",
    "  -ow\toverwrite existing file(s)\n",
    "  -e\terase file(s) from the image\n",
    "  -x\textract file(s) from the image\n",
    "  -sa\tset attributes for file(s)\n",
    "  -su\tset user area for file(s)\n",
    "  -h\tdisplay hex dump of the file\n",
    "  -t\tdisplay content of the ASCII file\n",
    "  -w\twrite system to the image from file\n",
    "  -i\twrite system to the image from another image of the same type\n",
    "  -s\textract system from the image and save to file\n",
    "  -iide\tignore invalid directory entries\n",
    "  -iti\tdisplay Image Type info\n",
    "  -tns\tconsider disk as TNS-DOS\n",
    "  -lbl\tset label for TNS-DOS disk; \"TNS-DOS/XEV\" if not used\n",
    "  -u\tuse user area number 'usr' - 0 to 31\n",
    "\tif not specified, files of all users are processed\n",
    "\tand for switch -a user 0 is always used\n",
    "  -cp\tdetermines number of files on one catalogue page\n",
    "  -c1\tone column catalogue\n",
    "  -cu\tdo not sort catalogue\n",
    "  'tns_disk_label' is label for TNS-DOS disk (max. 11 chars)\n",
    "  'attrs' can be -- / R- / -S / RS\n",
    "  'req_usr' is requested user area number 0 to 31\n",
    "  'imagefile.ext', 'imagefile2.ext' are image file names with extension\n",
    "  'cpm_name' is the file name in CP/M 8.3 format\n",
    "\t     which can contain wildcards '*' or '?'\n",
    "\t     and can be with dir-path of the file(s) to add or extract.\n",
    "  'system_file' is binary file with CP/M system itself\n",
    "\n",
};

}  // namespace

void print_banner(Output& out) {
  std::FILE* text = out.text();
  std::fprintf(text, "\n");
  std::fprintf(text, "%s v%d.%d\n", kProductText, kVersionMajor, kVersionMinor);
  std::fprintf(text, "%s\n", kMakerText);
  std::fprintf(text, "\n");
}

void print_version(Output& out) {
  std::fprintf(out.text(), "%s v%d.%d %s\n", kProductText, kVersionMajor, kVersionMinor,
               kMakerText);
}

void print_usage(Output& out, bool pause) {
  std::FILE* text = out.text();
  const char* const name = kProgramName;
  std::fprintf(text, "Usage:\n");
  std::fprintf(text,
               "  %s imagefile.ext [ -u usr ] [ -iide ] [ -tns] [ -cp files ] [ -c1 ] "
               "[ -cu ] -c [ %s ]\n",
               name, "cpm_name");
  std::fprintf(text, "  %s imagefile.ext -f | -q [ -tns [ -lbl tns_disk_label ] ]\n", name);
  std::fprintf(text, "  %s imagefile.ext -a %s [ -afn %s ] [ -ow ] [ -u usr ] [ -iide ] [ -tns ]\n",
               name, "[path/]cpm_name", "cpm_name");
  std::fprintf(text, "  %s imagefile.ext -e %s [ -u usr ] [ -iide ] [ -tns ]\n", name, "cpm_name");
  std::fprintf(text, "  %s imagefile.ext -x %s [ -u usr ] [ -iide ]\n", name, "[path/]cpm_name");
  std::fprintf(text, "  %s imagefile.ext -sa %s attrs [ -u usr ] [ -iide ]\n", name, "cpm_name");
  std::fprintf(text, "  %s imagefile.ext -su %s req_usr [ -u usr ] [ -iide ]\n", name, "cpm_name");
  std::fprintf(text, "  %s imagefile.ext -h %s [ -u usr ] [ -iide ]\n", name, "cpm_name");
  std::fprintf(text, "  %s imagefile.ext -t %s [ -u usr ] [ -iide ]\n", name, "cpm_name");
  std::fprintf(text, "  %s imagefile.ext -w [path/]in_system_file\n", name);
  std::fprintf(text, "  %s imagefile.ext -i [path/]imagefile2.ext\n", name);
  std::fprintf(text, "  %s imagefile.ext -s [path/]out_system_file\n", name);
  std::fprintf(text, "  %s dummy.ext -iti\n", name);
  if (pause) {
    out.wait_for_enter(kUsagePrompt);
  } else {
    std::fprintf(text, "\n");
  }
  for (const char* line : kOptionHelp) std::fputs(line, text);
}

}  // namespace xev
