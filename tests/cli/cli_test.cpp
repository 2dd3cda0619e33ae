// The front end as a user meets it: exact output, messages and exit status.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "support/sandbox.h"

namespace xev::test {
namespace {

const std::string kUsage =
    "Usage:\n"
    "  xev imagefile.ext [ -u usr ] [ -iide ] [ -tns] [ -cp files ] [ -c1 ] [ -cu ] -c "
    "[ cpm_name ]\n"
    "  xev imagefile.ext -f | -q [ -tns [ -lbl tns_disk_label ] ]\n"
    "  xev imagefile.ext -a [path/]cpm_name [ -afn cpm_name ] [ -ow ] [ -u usr ] "
    "[ -iide ] [ -tns ]\n"
    "  xev imagefile.ext -e cpm_name [ -u usr ] [ -iide ] [ -tns ]\n"
    "  xev imagefile.ext -x [path/]cpm_name [ -u usr ] [ -iide ]\n"
    "  xev imagefile.ext -sa cpm_name attrs [ -u usr ] [ -iide ]\n"
    "  xev imagefile.ext -su cpm_name req_usr [ -u usr ] [ -iide ]\n"
    "  xev imagefile.ext -h cpm_name [ -u usr ] [ -iide ]\n"
    "  xev imagefile.ext -t cpm_name [ -u usr ] [ -iide ]\n"
    "  xev imagefile.ext -w [path/]in_system_file\n"
    "  xev imagefile.ext -i [path/]imagefile2.ext\n"
    "  xev imagefile.ext -s [path/]out_system_file\n"
    "  xev dummy.ext -iti\n"
    "\nPress ENTER ...\n"
    "  -c\tshow catalogue of the image\n"
    "  -f\tfull format of the image (image will be created if not exist)\n"
    "  -q\tquick format of the image (image will be created if not exist)\n"
    "  -a\tadd file(s) to the image (image will be created if not exist)\n"
    "  -afn  target 'cpm_name' without wildcards for single file\n"
    "\tIn this case file name in switch -a may be with long name,\n"
    "\tbut must not contain wildcards.\n"
    "  -ow\toverwrite existing file(s)\n"
    "  -e\terase file(s) from the image\n  -x\textract file(s) from the image\n"
    "  -sa\tset attributes for file(s)\n  -su\tset user area for file(s)\n"
    "  -h\tdisplay hex dump of the file\n  -t\tdisplay content of the ASCII file\n"
    "  -w\twrite system to the image from file\n"
    "  -i\twrite system to the image from another image of the same type\n"
    "  -s\textract system from the image and save to file\n"
    "  -iide\tignore invalid directory entries\n  -iti\tdisplay Image Type info\n"
    "  -tns\tconsider disk as TNS-DOS\n"
    "  -lbl\tset label for TNS-DOS disk; \"TNS-DOS/XEV\" if not used\n"
    "  -u\tuse user area number 'usr' - 0 to 31\n"
    "\tif not specified, files of all users are processed\n"
    "\tand for switch -a user 0 is always used\n"
    "  -cp\tdetermines number of files on one catalogue page\n"
    "  -c1\tone column catalogue\n  -cu\tdo not sort catalogue\n"
    "  'tns_disk_label' is label for TNS-DOS disk (max. 11 chars)\n"
    "  'attrs' can be -- / R- / -S / RS\n"
    "  'req_usr' is requested user area number 0 to 31\n"
    "  'imagefile.ext', 'imagefile2.ext' are image file names with extension\n"
    "  'cpm_name' is the file name in CP/M 8.3 format\n"
    "\t     which can contain wildcards '*' or '?'\n"
    "\t     and can be with dir-path of the file(s) to add or extract.\n"
    "  'system_file' is binary file with CP/M system itself\n\n";

struct Case {
  std::vector<std::string> args;
  int status;
  std::string err;  // the message, without the " !!!" and line end of all
  std::string out = std::string(kBanner) + "\n";  // a failure before any command
  std::string argv0 = "";                         // the sandbox's own program
};

// Standard input is not a terminal: a pause prints its prompt and goes on.
void expect_run(const Sandbox& box, const Case& c) {
  SCOPED_TRACE(c.argv0 + " " + (c.args.size() > 1 ? c.args[1] : ""));
  const CliResult result =
      box.run_as(c.argv0.empty() ? box.program() : c.argv0, c.args, "typed ahead\r\n");
  EXPECT_EQ(result.out, c.out);
  EXPECT_EQ(result.err, c.err.empty() ? "" : c.err + " !!!\n");
  EXPECT_EQ(result.status, c.status);
}

TEST(Cli, UsageWithoutACommandWhateverTheProgramIsCalled) {
  Sandbox box;
  expect_run(box, {{"games.dsk", "-iide", "-tns", "-u", "0"}, 0, "", kBanner + kUsage});
  expect_run(box, {{}, 0, "", kBanner + kUsage, "/some/where/renamed.tool"});
  EXPECT_FALSE(box.exists("games.dsk"));
}

// A failing option ends the parse before the combination rules, which come
// before the count of commands and that before the rule for a format.
TEST(Cli, OptionRefusalsInTheirOrder) {
  Sandbox box;
  const std::string rule = "Bad combination of options: not allowed ";
  const Case cases[] = {
      {{"g.dsk", "-c", "-x", "A.TXT"}, 95, "Unknown option: `A.TXT`"},
      {{"g.dsk", "-su", "sub/A.TXT"}, 96, "Missing option value(s) `-su`!"},
      {{"g.dsk", "-su", "x/A.TXT", "99"}, 24, "Path not allowed for option `-su`"},
      {{"g.dsk", "-f", "-q", "-u", "32"}, 97, "Bad value `32` for option `-u`"},
      {{"g.dsk", "-f", "-q", "-cp", "1"}, 94, "Bad combination of options: -f -q"},
      {{"g.dsk", "-ow", "-afn", "X", "-x", "A"}, 94, rule + "-ow"},
      {{"g.dsk", "-lbl", "X", "-iti", "-tns"}, 94, rule + "-tns"},
      {{"g.dsk", "-a", "X", "-x", "Y", "-q"}, 94, "Bad combination of options: -a -x  "},
      {{"g.dsk", "-q", "-c"}, 94, rule + "-f/-q"},
      // A target name is for one host file.
      {{"g.dsk", "-afn", "X", "-a", "s/A?"}, 97, "Bad value `A?` for option `-a`"},
  };
  for (const Case& c : cases) expect_run(box, c);
  EXPECT_FALSE(box.exists("g.dsk"));
}

// No empty line after a command's own failure, and its status stays 0.
TEST(Cli, FailuresBeforeTheCommandSetTheStatusItsOwnDoNot) {
  Sandbox box;
  ASSERT_EQ(box.run({"games.dsk", "-f"}).status, 0);
  box.write_file("short.dsk", std::string(1000, '\xE5'));
  expect_run(box, {{"short.dsk", "-c"}, 3, "Image `short.dsk` has bad size"});
  expect_run(box, {{"games.dsk", "-x", "NOPE.TXT"},
                   0,
                   "File `NOPE.TXT` not found",
                   kBanner + std::string("Extracting file(s) from 'games.dsk'\n"
                                         "  path: '', mask: 'NOPE.TXT'\n\n")});
  EXPECT_EQ(box.read_file("short.dsk"), std::string(1000, '\xE5'));
}

// The definition file lies beside the executable: in the folder of argv[0], or
// for a bare name in the folder of the running program (the sandbox links to
// the build tree's xev, beside the shipped file), never the working folder.
TEST(Cli, DefinitionFileIsReadBesideTheExecutable) {
  Sandbox box;
  box.write_ini(std::string("[zzq]\n") + kEightInchDefinition);
  expect_run(box, {{"new.zzq", "-c"}, 2, "Can't open image `new.zzq`"});
  expect_run(box, {{"new.zzq", "-c"},
                   18,
                   "Definition for Image type `zzq` missing",
                   std::string(kBanner) + "\n",
                   "xev"});
}

}  // namespace
}  // namespace xev::test
