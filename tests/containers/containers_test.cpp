// Images in emulator and archive containers (DSK, extended DSK, ImageDisk):
// hand-built containers for the mapping and the awkward cases, and libdsk
// and cpmtools as independent readers and writers of the same disks.
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <sstream>

#include "support/harness.h"

namespace xev::test {
namespace {

// Sectors of a hand-built container: ID, size, ImageDisk record type (1
// data, 2 one byte, 0 unavailable, 5 data error; a DSK file records 0 and 5
// in the FDC status) and the byte or bytes it holds.
struct Sector {
  int id;
  int size;
  int type;
  std::string data;  // one byte: the sector is full of it
};
using Track = std::vector<Sector>;

std::string contents(const Sector& s) {
  return s.data.size() == 1 ? std::string(std::size_t(s.size), s.data[0]) : s.data;
}

int code_of(int size) {
  return size == 128 ? 0 : size == 256 ? 1 : size == 512 ? 2 : 3;
}

std::string edsk(const std::vector<Track>& tracks, bool extended = true) {
  std::string disk = extended ? "EXTENDED CPC DSK File\r\nDisk-Info\r\n"
                              : "MV - CPCEMU Disk-File\r\nDisk-Info\r\n";
  disk.resize(256, '\0');
  disk[0x30] = char(tracks.size());
  disk[0x31] = 1;
  for (std::size_t t = 0; t < tracks.size(); ++t) {
    if (extended && tracks[t].empty()) continue;  // not formatted: 0 in the table
    std::string block = "Track-Info\r\n";
    block.resize(256, '\0');
    block[0x10] = char(t);
    block[0x14] = char(code_of(tracks[t].empty() ? 128 : tracks[t][0].size));
    block[0x15] = char(tracks[t].size());
    for (std::size_t i = 0; i < tracks[t].size(); ++i) {
      const Sector& s = tracks[t][i];
      const char status = s.type == 0 ? 0x01 : s.type == 5 ? 0x20 : 0;  // no data, data error
      const std::size_t stored = contents(s).size();
      const char entry[] = {char(t), 0,      char(s.id),   char(code_of(s.size)),
                            0,       status, char(stored), char(stored >> 8)};
      block.replace(0x18 + 8 * i, 8, entry, 8);
      block += contents(s);
    }
    // The tracks of the tiny type fit the one size of all DSK tracks.
    block.resize(extended ? (block.size() + 255) / 256 * 256 : 512, '\0');
    disk[extended ? 0x34 + t : 0x33] = char(block.size() / 256);
    disk += block;
  }
  return disk;
}

// A long comment, and with `maps` cylinder and head maps and (for sectors
// of several sizes) a size table.
std::string imd(const std::vector<Track>& tracks, bool maps = false) {
  std::string disk = "IMD 1.18: 01/01/2000 00:00:00\r\n" + std::string(100, 'c') + "\x1A";
  for (std::size_t t = 0; t < tracks.size(); ++t) {
    const Track& track = tracks[t];
    const bool mixed = maps && track.size() > 1 && track[1].size != track[0].size;
    disk += {5, char(t), char(maps ? 0xC0 : 0), char(track.size()),
             char(mixed ? 0xFF : code_of(track[0].size))};
    for (const Sector& s : track) disk += char(s.id);
    if (maps) disk += std::string(track.size(), char(t)) + std::string(track.size(), '\0');
    for (const Sector& s : track)
      disk += mixed ? std::string{char(s.size & 0xFF), char(s.size >> 8)} : "";
    for (const Sector& s : track) {
      disk += char(s.type);
      if (s.type % 2 == 1) disk += contents(s);
      if (s.type % 2 == 0 && s.type > 0) disk += s.data[0];
    }
  }
  return disk;
}

// The tiny type of the hand-built disks: 17 tracks of two 128-byte
// sectors, the first a system track.
const std::string kTiny = section("img", 2, 1, 0, 3, 31, 1);

std::vector<Track> blank_tracks(std::size_t count = 17) {
  return std::vector<Track>(count, Track{{1, 128, 1, "\xE5"}, {2, 128, 1, "\xE5"}});
}

std::vector<Track> first(const Track& track) {
  std::vector<Track> tracks = blank_tracks();
  tracks[0] = track;
  return tracks;
}

// The system track of hand-built containers: saved (-s), then written (-w).
TEST(Containers, TracksAreSectorsById) {
  const std::string a = noise(128, 1);
  const std::string b = noise(128, 2);
  const std::string x(128, 'x');
  const std::string y(128, 'y');
  const std::string z(128, 'z');
  const struct {
    std::string before;
    std::string saved;
    std::string written;
    std::string after;  // empty: as before
  } cases[] = {
      {edsk(first({{0xC2, 128, 1, b}, {0xC1, 128, 1, a}})), a + b, a + b, ""},
      {edsk(first({{9, 128, 1, b}, {3, 128, 1, a}}), false), a + b, b + a,
       edsk(first({{9, 128, 1, a}, {3, 128, 1, b}}), false)},
      {edsk(first({{0x41, 256, 1, a + b}})), a + b, a + b, ""},
      {imd(first({{2, 256, 1, b + a}, {1, 128, 1, a}}), true), a + b, a + b, ""},
      {imd(first({{1, 128, 1, "x"}, {2, 128, 1, "y"}})), x + y, a + b,
       imd(first({{1, 128, 1, a}, {2, 128, 1, b}}))},
      {imd(first({{1, 128, 4, "x"}, {2, 128, 3, "y"}})), x + y, a + b,  // deleted data
       imd(first({{1, 128, 3, a}, {2, 128, 3, b}}))},
      // A sector stored as one byte is stored whole once it holds others,
      // through a new file; one that still holds one byte value stays short.
      {imd(first({{1, 128, 2, "Q"}, {2, 128, 1, a}})), std::string(128, 'Q') + a, "Q", ""},
      {imd(first({{2, 128, 2, "x"}, {1, 128, 2, "y"}})), y + x, a + b,
       imd(first({{2, 128, 1, b}, {1, 128, 1, a}}))},
      {imd(first({{1, 128, 2, "x"}, {2, 128, 2, "y"}})), x + y, a + z,
       imd(first({{1, 128, 1, a}, {2, 128, 2, "z"}}))},
  };
  for (const auto& c : cases) {
    Folder folder;
    folder.write("xev.ini", kTiny);
    folder.write("x.img", c.before);
    EXPECT_EQ(xev(folder, {"x.img", "-s", "sys.bin"}).err, "");
    EXPECT_EQ(folder.read("sys.bin"), c.saved);
    folder.write("sys.bin", c.written);
    EXPECT_EQ(xev(folder, {"x.img", "-w", "sys.bin"}).out, "\nDone. System written.\n\n");
    EXPECT_EQ(folder.read("x.img"), c.after.empty() ? c.before : c.after);
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(folder.path()), {}), 3);
  }
}

TEST(Containers, UnreadableSectorsAreNeverWrittenOver) {
  // Sector 2 of the system track and the first of the first file unit:
  // recorded without data, with a data error, or (DSK) stored short.
  for (const Sector& bad : {Sector{0, 128, 0, "\xE5"}, Sector{0, 128, 5, "\xE5"},
                            Sector{0, 128, 1, std::string(64, 'x')}}) {
    for (const bool extended : {false, true}) {
      if (!extended && bad.type == 1) continue;
      std::vector<Track> tracks = blank_tracks();
      for (Sector* s : {&tracks[0][1], &tracks[5][0]}) s->type = bad.type, s->data = bad.data;
      const std::string container = extended ? edsk(tracks) : imd(tracks);
      Folder folder;
      folder.write("xev.ini", kTiny);
      folder.write("x.img", container);
      folder.write("f.txt", "file");
      EXPECT_EQ(xev(folder, {"x.img", "-s", "s.bin"}).err,
                "Error on read from the image `x.img` !!!\n");
      EXPECT_EQ(xev(folder, {"x.img", "-w", "f.txt"}).err, "");  // first sector only
      EXPECT_EQ(xev(folder, {"x.img", "-i", "x.img"}).err,
                "Error on read from the file `x.img` !!!\n");
      EXPECT_EQ(xev(folder, {"x.img", "-a", "f.txt"}).err,
                "Error on write to the image `x.img` !!!\n");
      EXPECT_EQ(folder.read("x.img").size(), container.size());
      EXPECT_EQ(xev(folder, {"x.img", "-c"}).out.find("F.TXT"), std::string::npos);
    }
  }
}

TEST(Containers, MissingPartsFailAsBadSize) {
  std::vector<Track> short_track = blank_tracks();
  short_track[3].pop_back();
  std::vector<Track> unformatted = blank_tracks();
  unformatted[5].clear();
  const std::string cut = edsk(blank_tracks());
  const struct {
    std::string container;
    std::string hint;
  } cases[] = {
      {edsk(blank_tracks(16)), "The container has no track 16 (cylinder 16, head 0)."},
      {edsk(unformatted), "The container has no track 5 (cylinder 5, head 0)."},
      {edsk(unformatted, false),
       "Track 5 (cylinder 5, head 0) of the container holds 0 bytes of sectors; the type needs "
       "256."},
      {cut.substr(0, cut.size() - 600),
       "The container ends before track 15 (cylinder 15, head 0)."},
      {imd(short_track),
       "Track 3 (cylinder 3, head 0) of the container holds 128 bytes of "
       "sectors; the type needs 256."},
  };
  for (const auto& c : cases) {
    Folder folder;
    folder.write("xev.ini", kTiny);
    folder.write("x.img", c.container);
    for (const char* option : {"-c", "-f"}) {
      const Result run = xev(folder, {"x.img", option});
      EXPECT_EQ(run.status, 3);
      EXPECT_EQ(run.err, "Image `x.img` has bad size !!!\n" + c.hint + "\n");
    }
    EXPECT_EQ(folder.read("x.img"), c.container);
  }
}

TEST(Containers, DefinitionKeys) {
  const std::string cpd = section("img", 36, 1, 0, 179, 63);         // 40 tracks
  const std::string big = section("img", 36, 2, 1, 599, 127);        // 267 tracks
  const std::string edsk2 = "CONTAINER=EDSK\nSECSIZE=512\nHEADS=2";  // 268 of 204 slots
  // clang-format off
  const struct { std::string definition; int status; } cases[] = {
      {cpd + "CONTAINER=EDKS", 19}, {cpd + "SECSIZE=384", 19}, {cpd + "SECSIZE=64", 19},
      {cpd + "SECBASE=256", 19}, {cpd + "SECBASE=x1", 19}, {cpd + "HEADS=3", 19},
      {cpd + "CONTAINER=EDSK\nSECSIZE=1024", 19}, {cpd + "CONTAINER=IMD\nSECSIZE=512\nSECBASE=248", 19},
      {cpd + "CONTAINER=DSK", 19}, {cpd + "CONTAINER=DSK\nSECSIZE=256", 0},
      {big + "CONTAINER=IMD\nSECSIZE=512", 19}, {big + edsk2, 19},
      {big + "CONTAINER=IMD\nSECSIZE=512\nHEADS=2", 0}, {big + edsk2 + "\nCONTAINER=DSK", 0}};
  // clang-format on
  for (const auto& c : cases) {
    Folder folder;
    folder.write("xev.ini", c.definition + "\n");
    EXPECT_EQ(xev(folder, {"x.img", "-iti"}).status, c.status) << c.definition;
  }
  Folder folder;
  folder.write("xev.ini", cpd + "CONTAINER=imd\nSECSIZE=512 ; bytes\nHEADS=2\nSECBASE=0x41\n");
  const Result info = xev(folder, {"x.img", "-iti"});
  EXPECT_EQ(info.out.substr(info.out.find("\n\nContainer")),
            "\n\nContainer for new images: IMD\n  Tracks: 40 (20 cylinders, 2 heads in turns)\n"
            "  Sectors Per Track: 9 of 512 Bytes, IDs 0x41 to 0x49\n");
  EXPECT_EQ(info.err, "");
}

// The shipped Amstrad sections, and the 8-inch disk that owns `.dsk`.
const std::string kAmstrad =
    kEightInch + "CONTAINER=EDSK\n" + section("cps", 36, 1, 0, 170, 63, 2) +
    "CONTAINER=EDSK\nSECSIZE=512\nSECBASE=0x41\n" + section("cpd", 36, 1, 0, 179, 63) +
    "CONTAINER=DSK\nSECSIZE=512\nSECBASE=0xC1\n" + section("pcw", 36, 1, 0, 174, 63, 1) +
    "CONTAINER=EDSK\nSECSIZE=512\nSECBASE=1\n" + section("ims", 36, 1, 0, 179, 63) +
    "CONTAINER=IMD\nSECSIZE=512\nSECBASE=0xC1\n" + section("two", 36, 1, 0, 179, 63) +
    "CONTAINER=EDSK\nSECSIZE=512\nHEADS=2\n" + section("cp2", 36, 2, 1, 179, 63) +
    "CONTAINER=EDSK\nSECSIZE=512\nSECBASE=0xC1\nHEADS=2\n";

// Named .dsk (the 8-inch type's extension), and named so that no type is
// given and detection decides.
TEST(Containers, AmstradDisksAreKnownByTheirSectors) {
  const struct {
    const char* made_as;
    std::string as_dsk;  // the first line; empty: the run fails with a bad size
    std::string as_box;
  } cases[] = {
      {"cps", "Image type `cps` detected\n", "Image type `cps` detected\n"},
      {"cpd", "Image type `cpd` detected\n", "Image type `cpd` detected\n"},
      {"pcw", "Image type `pcw` detected\n", "Image type `pcw` detected\n"},
      {"dsk", "Catalogue of 'm.dsk', mask: '*.*'\n", "Image type `dsk` detected\n"},
      {"ims", "", ""},  // ImageDisk: not an Amstrad container
      {"two", "", ""},  // sector 1, but two-sided
      // 80 tracks: as many as the 8-inch disk needs, but not of its size
      {"cp2", "Image type `cpd` detected\n", "Image type `cpd` detected\n"},
  };
  for (const auto& c : cases) {
    for (const char* name : {"m.dsk", "m.box"}) {
      Folder folder;
      folder.write("xev.ini", kAmstrad);
      folder.write("f.txt", "amstrad");
      xev(folder, {std::string("m.") + c.made_as, "-a", "f.txt"});
      std::filesystem::rename(folder.path(std::string("m.") + c.made_as), folder.path(name));
      const Result run = xev(folder, {name, "-c"});
      const std::string& line = name[2] == 'd' ? c.as_dsk : c.as_box;
      EXPECT_EQ(run.out.substr(0, run.out.find('\n') + 1), line.empty() ? "\n" : line) << name;
      // Listed when its type is found; a failure otherwise.
      EXPECT_EQ(run.out.find("F.TXT") != std::string::npos, !line.empty()) << c.made_as;
      EXPECT_EQ(run.status != 0, line.empty()) << c.made_as;
      // -nb: the file alone, no line about the type found.
      if (line.find(std::string("`") + c.made_as + "`") != std::string::npos) {
        EXPECT_EQ(xev(folder, {name, "-nb", "-t", "F.TXT"}, false).out.substr(0, 7), "amstrad");
      }
    }
  }
}

TEST(Containers, ExistingImagesKeepTheirForm) {
  Folder folder;
  folder.write("xev.ini", kAmstrad);
  folder.write("f.txt", "amstrad");
  // A plain image of a type whose new images are containers stays plain.
  folder.write("r.cpd", std::string(184320, '\xE5'));
  folder.write("r.cps", std::string(184320, '\xE5'));
  xev(folder, {"r.cpd", "-f"});
  EXPECT_EQ(folder.read("r.cpd").size(), 184320u);
  xev(folder, {"c.cpd", "-a", "f.txt"});
  const std::string made = folder.read("c.cpd");
  EXPECT_EQ(made.substr(0, 8), "MV - CPC");
  // A full format of a container empties its sectors and keeps the container.
  xev(folder, {"c.cpd", "-f"});
  EXPECT_EQ(folder.read("c.cpd").size(), made.size());
  EXPECT_EQ(xev(folder, {"c.cpd", "-c"}).out.find("F.TXT"), std::string::npos);
  // System tracks move between the two forms of one type.
  folder.write("boot.bin", noise(9216, 4));
  xev(folder, {"r.cps", "-w", "boot.bin"});
  xev(folder, {"c.cps", "-f"});
  EXPECT_EQ(xev(folder, {"c.cps", "-i", "r.cps"}).out, "\nDone. System copied.\n\n");
  xev(folder, {"c.cps", "-s", "back.bin"});
  EXPECT_EQ(folder.read("back.bin"), folder.read("boot.bin"));
}

// ---- libdsk and cpmtools as the other side ----

struct Layout {
  const char* name;
  std::string section;  // the type `img`, without its container
  const char* libdsk;   // dsktrans -format
  std::string diskdef;  // cpmtools
  // cpmtools 2.23 takes the tracks of a two-sided libdsk container side
  // after side, not in turns, so it reads the raw image libdsk converts back.
  bool two_sided = false;
};

std::string diskdef(int seclen, int tracks, int sectrk, int block, int maxdir, int skew, int boot,
                    const char* libdsk = nullptr) {
  std::ostringstream text;
  text << "diskdef t\n seclen " << seclen << "\n tracks " << tracks << "\n sectrk " << sectrk
       << "\n blocksize " << block << "\n maxdir " << maxdir << "\n skew " << skew << "\n boottrk "
       << boot << "\n os 2.2\n";
  if (libdsk != nullptr) text << " libdsk:format " << libdsk << "\n";
  return text.str() + "end\n";
}

const Layout kLayouts[] = {
    {"8-inch", kEightInch.substr(5), "ibm8", diskdef(128, 77, 26, 1024, 64, 6, 2, "ibm8")},
    {"CPC data", section("", 36, 1, 0, 179, 63).substr(3) + "SECSIZE=512\nSECBASE=0xC1\n",
     "cpcdata", diskdef(512, 40, 9, 1024, 64, 1, 0, "cpcdata")},
    {"PCW", section("", 36, 1, 0, 174, 63, 1).substr(3) + "SECSIZE=512\n", "pcw180",
     diskdef(512, 40, 9, 1024, 64, 1, 1, "pcw180")},
    {"1.44 MB two-sided", section("", 72, 2, 0, 710, 255, 2).substr(3) + "SECSIZE=512\nHEADS=2\n",
     "ibm1440", diskdef(512, 160, 18, 2048, 256, 1, 2), true},
};

// Runs a tool in the folder, with the folder as its home (libdsk reads the
// 8-inch format from ~/.libdskrc) and its output discarded.
int tool(const Folder& folder, const std::string& command) {
  return std::system(
      ("cd '" + folder.path() + "' && HOME='" + folder.path() + "' " + command + " >/dev/null 2>&1")
          .c_str());
}

TEST(Containers, LibdskAndCpmtoolsAgree) {
  for (const Layout& layout : kLayouts) {
    for (const char* kind : {"edsk", "dsk", "imd"}) {
      SCOPED_TRACE(std::string(layout.name) + " in " + kind);
      Folder folder;
      const std::string plain = "[img]\n" + layout.section;
      folder.write(".libdskrc",
                   "[ibm8]\nsidedness = alt\ncylinders = 77\nheads = 1\nsecsize = 128\n"
                   "sectors = 26\nsecbase = 1\ndatarate = SD\nfm = Y\n");
      folder.write("diskdefs", layout.diskdef);
      folder.write("A.TXT", "text\r\n");
      folder.write("B.BIN", noise(20000, 5));
      folder.write("NEW.BIN", noise(5000, 6));
      const std::string trans = std::string("dsktrans -format ") + layout.libdsk;
      // A plain image made by xev, converted by libdsk.
      folder.write("xev.ini", plain);
      xev(folder, {"raw.img", "-a", "?.*"});
      ASSERT_EQ(tool(folder, trans + " -itype raw -otype " + kind + " raw.img box.img"), 0);
      std::string listing = xev(folder, {"box.img", "-c"}).out;
      listing.replace(listing.find("box"), 3, "raw");
      EXPECT_EQ(listing, xev(folder, {"raw.img", "-c"}).out);
      std::filesystem::create_directory(folder.path("o"));
      EXPECT_EQ(xev(folder, {"box.img", "-x", "o/*.*"}).err, "");
      EXPECT_EQ(folder.read("o/B.BIN").substr(0, 20000), folder.read("B.BIN"));
      EXPECT_EQ(folder.read("o/A.TXT").substr(0, 6), "text\r\n");
      // xev adds to both; libdsk and cpmtools read the container back.
      xev(folder, {"box.img", "-a", "NEW.BIN"});
      xev(folder, {"raw.img", "-a", "NEW.BIN"});
      EXPECT_EQ(tool(folder, trans + " -itype " + kind + " -otype raw box.img back.img"), 0);
      EXPECT_TRUE(folder.read("back.img") == folder.read("raw.img"));
      const std::string peer =
          layout.two_sided ? " back.img" : std::string(" -T ") + kind + " box.img";
      EXPECT_EQ(tool(folder, "cpmcp -f t" + peer + " 0:new.bin got.bin"), 0);
      EXPECT_EQ(folder.read("got.bin").substr(0, 5000), folder.read("NEW.BIN"));
      // A container xev makes, and a file added to it.
      folder.write("xev.ini", plain + "CONTAINER=" + kind + "\n");
      xev(folder, {"new.img", "-a", "B.BIN"});
      EXPECT_EQ(tool(folder, "dskid new.img"), 0);
      EXPECT_EQ(tool(folder, trans + " -itype " + kind + " -otype raw new.img new.raw"), 0);
      const std::string made =
          layout.two_sided ? " new.raw" : std::string(" -T ") + kind + " new.img";
      EXPECT_EQ(tool(folder, "fsck.cpm -n -f t" + made), 0);
      folder.write("xev.ini", plain);
      xev(folder, {"fresh.img", "-a", "B.BIN"});
      EXPECT_TRUE(folder.read("new.raw") == folder.read("fresh.img"));
    }
  }
}

}  // namespace
}  // namespace xev::test
