// Images in emulator and archive containers (DSK, extended DSK, ImageDisk):
// hand-built containers for the mapping and the awkward cases, and libdsk
// and cpmtools as independent readers and writers of the same disks.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <ctime>
#include <filesystem>
#include <map>
#include <numeric>

#include "support/harness.h"

namespace xev::test {
namespace {

// Sectors of a hand-built container: ID, size, ImageDisk record type (1
// data, 2 one byte, 0 unavailable, 5 data error; a DSK file records 0 and 5
// in the FDC status) and the bytes it holds (of a type 2 sector the first).
// The size code of 128, 256 and 512 bytes (128 << code) is size / 256.
struct Sector {
  int id, size, type;
  std::string data;
};
using Track = std::vector<Sector>;

std::string padded(std::string bytes, std::size_t size) {
  bytes.resize(size, '\0');
  return bytes;
}

std::string edsk(const std::vector<Track>& tracks, bool extended = true) {
  std::string disk = padded(extended ? "EXTENDED CPC DSK File\r\nDisk-Info\r\n"
                                     : "MV - CPCEMU Disk-File\r\nDisk-Info\r\n",
                            256);
  disk[0x30] = char(tracks.size());
  disk[0x31] = 1;
  for (std::size_t t = 0; t < tracks.size(); ++t) {
    if (extended && tracks[t].empty()) continue;  // not formatted: 0 in the table
    std::string block = padded("Track-Info\r\n", 256);
    block[0x10] = char(t);
    block[0x14] = char(tracks[t].empty() ? 0 : tracks[t][0].size / 256);
    block[0x15] = char(tracks[t].size());
    for (std::size_t i = 0; i < tracks[t].size(); ++i) {
      const Sector& s = tracks[t][i];
      const std::size_t n = s.data.size();
      // FDC status 2: no data address mark (type 0), data error (type 5).
      const char status = char((s.type == 0) | (s.type == 5) << 5);
      const char entry[] = {char(t), 0,      char(s.id), char(s.size / 256),
                            0,       status, char(n),    char(n >> 8)};
      block.replace(0x18 + 8 * i, 8, entry, 8) += s.data;
    }
    block = padded(block, (block.size() + 255) / 256 * 256);
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
    std::string ids, sizes, records;
    for (const Sector& s : track) {
      ids += char(s.id);
      sizes += mixed ? std::string{char(s.size & 0xFF), char(s.size >> 8)} : "";
      records += char(s.type) + (s.type % 2 ? s.data : s.type ? s.data.substr(0, 1) : "");
    }
    if (maps) ids += std::string(track.size(), char(t)) + std::string(track.size(), '\0');
    disk += std::string{5, char(t), char(maps ? 0xC0 : 0), char(track.size()),
                        char(mixed ? 0xFF : track[0].size / 256)} +
            ids + sizes + records;
  }
  return disk;
}

// The tiny type of the hand-built disks: 17 tracks of two 128-byte
// sectors, the first a system track; and its blank tracks.
const std::string kTiny = section("img", 2, 1, 0, 3, 31, 1);

std::vector<Track> tiny(std::size_t count = 17) {
  return std::vector<Track>(count, Track{{1, 128, 1, std::string(128, '\xE5')},
                                         {2, 128, 1, std::string(128, '\xE5')}});
}

// A folder with a definition file and the image x.img.
struct Box : Folder {
  Box(const std::string& ini, const std::string& image) {
    write("xev.ini", ini);
    write("x.img", image);
  }
};

// Every track of a container as `ids` and `sizes` of the sectors in the
// order stored and their `types`; a sector of type 2 or 4 is stored as one
// byte while it holds one byte value, and whole (type 1 or 3) otherwise.
struct Layout {
  char kind;  // 'E'xtended DSK, 'D'SK, 'I'mageDisk (with maps, 'M')
  std::vector<int> ids, sizes, types;
};

std::string contain(const std::string& plain, const Layout& layout, int track_size) {
  std::vector<Track> tracks;
  std::vector<int> order(layout.ids.size());  // the stored sectors in ID order
  std::iota(order.begin(), order.end(), 0);
  std::sort(order.begin(), order.end(), [&](int a, int b) { return layout.ids[a] < layout.ids[b]; });
  for (std::size_t at = 0; at < plain.size(); at += track_size) {
    Track track(order.size());
    for (std::size_t i = 0, from = at; i < order.size(); from += layout.sizes[order[i++]]) {
      const int s = order[i], type = layout.types[s];
      const std::string data = plain.substr(from, layout.sizes[s]);
      const bool one = data.find_first_not_of(data[0]) == std::string::npos;
      track[s] = {layout.ids[s], layout.sizes[s], type % 2 || one ? type : type - 1, data};
    }
    tracks.push_back(track);
  }
  return layout.kind == 'E' || layout.kind == 'D' ? edsk(tracks, layout.kind == 'E')
                                                   : imd(tracks, layout.kind == 'M');
}

// What an ImageDisk file of one-sided tracks holds, its sectors in ID order,
// and the record types in the order stored. (Whether a sector of one byte
// value is stored as one byte depends on how it was written.)
std::string plain_of_imd(const std::string& file, std::string* types = nullptr) {
  std::string plain;
  for (std::size_t at = file.find('\x1A') + 1; at < file.size();) {
    const std::size_t n = std::uint8_t(file[at + 3]), code = std::uint8_t(file[at + 4]);
    const std::size_t ids = at + 5, sizes = ids + n * (file[at + 2] != 0 ? 3 : 1);
    at = sizes + (code == 0xFF ? 2 * n : 0);
    std::map<int, std::string> sectors;
    for (std::size_t i = 0; i < n; ++i) {
      const std::size_t size = code != 0xFF ? 128u << code
                               : std::uint8_t(file[sizes + 2 * i]) |
                                     std::uint8_t(file[sizes + 2 * i + 1]) << 8;
      const bool whole = file[at] % 2 != 0;
      if (types != nullptr) *types += file[at];
      sectors[std::uint8_t(file[ids + i])] =
          whole ? file.substr(at + 1, size) : std::string(size, file[at + 1]);
      at += whole ? 1 + size : 2;
    }
    for (const auto& sector : sectors) plain += sector.second;
  }
  return plain;
}

// Whatever the layout, a container holds after each command what the plain
// image of the same disk holds, and each command says the same of both.
TEST(Containers, AnyLayoutHoldsWhatThePlainImageHolds) {
  const Layout layouts[] = {
      {'E', {4, 3, 2, 1}, {256, 256, 256, 256}, {1, 1, 1, 1}},
      {'E', {0xC1, 0xC3, 0xC2, 0xC4}, {512, 128, 256, 128}, {1, 1, 1, 1}},
      {'D', {0x42, 0x41}, {512, 512}, {1, 1}},
      {'M', {3, 1, 2}, {384, 128, 512}, {1, 2, 3}},
      {'I', {1, 2, 3, 4}, {256, 256, 256, 256}, {1, 1, 3, 1}},
      {'I', {8, 1, 7, 2, 6, 3, 5, 4}, std::vector<int>(8, 128), {2, 4, 2, 2, 2, 2, 2, 1}},
  };
  const std::string ini = section("img", 8, 1, 0, 13, 31, 1);  // tracks of 1 KiB
  const std::vector<std::string> runs = {
      "-f", "-a in/*", "-e B.TXT", "-a in/B.TXT -afn D.BIG", "-sa A.BIN RS", "-su C.DAT 3",
      "-c", "-x out/*.*", "-s sys.bin", "-w in/B.TXT", "-q", "-c"};
  for (const Layout& layout : layouts) {
    const bool imd = layout.kind == 'I' || layout.kind == 'M';
    Folder plain, boxed;
    for (const Folder* folder : {&plain, &boxed}) {
      folder->write("xev.ini", ini);
      std::filesystem::create_directories(folder->path("in"));
      std::filesystem::create_directories(folder->path("out"));
      folder->write("in/A.BIN", noise(3000, 1));
      folder->write("in/B.TXT", noise(1024, 2));
      folder->write("in/C.DAT", std::string(1500, '\xE5'));
    }
    ASSERT_EQ(xev(plain, {"x.img", "-f"}).status, 0);
    boxed.write("x.img", contain(plain.read("x.img"), layout, 1024));
    // A rebuilt file keeps the old one's permissions.
    const auto mode = std::filesystem::perms::owner_read | std::filesystem::perms::others_write;
    std::filesystem::permissions(boxed.path("x.img"), mode);
    for (const std::string& line : runs) {
      const Result want = run(plain, "x.img " + line), got = run(boxed, "x.img " + line);
      EXPECT_EQ(got.out + got.err + std::to_string(got.status),
                want.out + want.err + std::to_string(want.status)) << line;
      const std::string file = boxed.read("x.img"), now = plain.read("x.img");
      EXPECT_TRUE(imd ? plain_of_imd(file) == now : file == contain(now, layout, 1024))
          << line;
    }
    for (const char* name : {"sys.bin", "out/A.BIN", "out/C.DAT", "out/D.BIG"})
      EXPECT_TRUE(boxed.read(name) == plain.read(name)) << name;
    // Of the last layout, the system track holds noise now; the last track,
    // untouched, blanks stored as one byte and the format's mark (sector 8).
    // The deleted-data mark stays. A rebuilt file leaves nothing beside it.
    if (layout.ids.size() == 8) {
      std::string types;
      plain_of_imd(boxed.read("x.img"), &types);
      EXPECT_EQ(types.substr(0, 8) + types.substr(112), "\1\3\1\1\1\1\1\1\1\4\2\2\2\2\2\1");
    }
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(boxed.path()), {}), 5);
    EXPECT_EQ(std::filesystem::status(boxed.path("x.img")).permissions(), mode);
  }
}

// Sectors that cannot be read (sector 2 of the system track and the first
// of the first file unit, recorded without data, with a data error, or
// stored short), and parts the type needs missing: nothing is written over,
// and the missing part is named.
TEST(Containers, BrokenContainersAreNeverWrittenOver) {
  const auto unreadable = [](int type, bool extended) {
    std::vector<Track> tracks = tiny();
    for (Sector* s : {&tracks[0][1], &tracks[5][0]})
      s->type = type, s->data.resize(type == 1 ? 64 : 128);
    return extended ? edsk(tracks) : imd(tracks);
  };
  std::vector<Track> short_track = tiny(), unformatted = tiny(), no_size = tiny(), empty = tiny();
  short_track[3].pop_back();
  empty[3][1] = {2, 0, 1, ""};  // a sector of no bytes (ImageDisk size table)
  std::vector<Track> one = tiny();
  one[3][1] = {2, 1, 1, "x"};
  unformatted[5].clear();
  no_size[3][0].size = 7 * 256;  // size code 7
  std::string zero = edsk(tiny(1), false), two = edsk(tiny(16)), three = edsk(tiny());
  zero[0x33] = 0;  // a DSK whose tracks hold no bytes
  two[0x31] = 2;   // 16 tracks on each of two sides, 16 of them formatted
  three[0x31] = 3;
  const std::string cut = edsk(tiny()), no = "The container has no track ",
                    holds = " of the container holds ",
                    needs = " bytes of sectors; the type needs 256.";
  // clang-format off
  const std::pair<std::string, std::string> cases[] = {
      {unreadable(0, false), ""}, {unreadable(0, true), ""}, {unreadable(5, false), ""},
      {unreadable(5, true), ""}, {unreadable(1, true), ""},
      {unreadable(9, false), "The container ends before track 0 (cylinder 0, head 0)."},
      {edsk(tiny(16)), no + "16 (cylinder 16, head 0)."},
      {edsk(unformatted), no + "5 (cylinder 5, head 0)."},
      {edsk(unformatted, false), "Track 5 (cylinder 5, head 0)" + holds + "0" + needs},
      {cut.substr(0, cut.size() - 600),
       "The container ends before track 15 (cylinder 15, head 0)."},
      {imd(short_track), "Track 3 (cylinder 3, head 0)" + holds + "128" + needs},
      {imd(tiny(16)), no + "16 (cylinder 16, head 0)."},
      {imd(empty, true), "The container ends before track 3 (cylinder 3, head 0)."},
      {imd(one, true), "Track 3 (cylinder 3, head 0)" + holds + "129" + needs},
      {zero, "The container ends before track 0 (cylinder 0, head 0)."},
      {edsk({}, false), no + "0 (cylinder 0, head 0)."},
      {three, "The container ends before track 0 (cylinder 0, head 0)."},
      {two, no + "16 (cylinder 8, head 0)."},
      {edsk(no_size), "The container ends before track 3 (cylinder 3, head 0)."}};
  const std::vector<std::vector<std::string>> runs = {{"x.img", "-s", "s.bin"},
      {"x.img", "-w", "f.txt"}, {"x.img", "-i", "x.img"}, {"x.img", "-a", "f.txt"},
      {"x.img", "-c"}, {"x.img", "-f"}};  // -w: the first sector alone
  // clang-format on
  for (const auto& [container, hint] : cases) {
    Box folder(kTiny, container);
    folder.write("f.txt", "file");
    std::string errors, listing;
    for (const auto& args : runs) {
      const Result run = xev(folder, args);
      errors += run.err;
      if (args[1] == "-c") listing = run.out;
    }
    const std::string bad = "Image `x.img` has bad size !!!\n" + hint + "\n",
                      write = "Error on write to the image `x.img` !!!\n";
    EXPECT_EQ(errors, !hint.empty()
                          ? bad + bad + bad + bad + bad + bad
                          : "Error on read from the image `x.img` !!!\nError on read "
                            "from the file `x.img` !!!\n" +
                                write + write);
    EXPECT_EQ(listing.find("F.TXT"), std::string::npos);
    EXPECT_TRUE(hint.empty() ? folder.read("x.img").size() == container.size()
                             : folder.read("x.img") == container);
  }
  // A system area of one record (OFFX) ends the image inside a track: of
  // that track, the container needs the first sector only.
  const std::string e5(128, '\xE5');
  std::vector<Track> partial(12, Track{{1, 128, 1, e5}, {2, 128, 1, e5}, {3, 128, 1, e5}});
  partial[11].resize(1);
  const std::string ini = "[img]\nSPT=3\nXLT=0\nBLS=1\nEXM=0\nDSM=3\nDRM=31\nOFFX=1\nOFF=1\n";
  EXPECT_EQ(xev(Box(ini, edsk(partial)), {"x.img", "-c"}).err, "");
}

TEST(Containers, DefinitionKeys) {
  const std::string cpd = section("img", 36, 1, 0, 179, 63);         // 40 tracks
  const std::string big = section("img", 36, 2, 1, 599, 127);        // 267 tracks
  const std::string edsk2 = "CONTAINER=EDSK\nSECSIZE=512\nHEADS=2";  // 268 of 204 slots
  const std::string wide = section("img", 512, 16, 15, 255, 511);    // 64 KiB tracks
  const std::string s29 = section("img", 29, 1, 0, 99, 31), s30 = section("img", 30, 1, 0, 99, 31);
  // clang-format off
  const std::pair<std::string, int> cases[] = {
      {cpd + "CONTAINER=EDKS", 19}, {cpd + "SECSIZE=384", 19}, {cpd + "SECSIZE=64", 19},
      {cpd + "SECBASE=256", 19}, {cpd + "SECBASE=x1", 19}, {cpd + "HEADS=3", 19},
      {cpd + "CONTAINER=EDSK\nSECSIZE=1024", 19}, {cpd + "CONTAINER=IMD\nSECSIZE=512\nSECBASE=248", 19},
      {cpd + "CONTAINER=DSK", 19}, {cpd + "CONTAINER=DSK\nSECSIZE=256", 0}, {cpd + "SECSIZE=128", 0},
      {big + "CONTAINER=IMD\nSECSIZE=512", 19}, {big + edsk2, 19},
      {big + "CONTAINER=IMD\nSECSIZE=512\nHEADS=2", 0}, {big + edsk2 + "\nCONTAINER=DSK", 0},
      {wide + "CONTAINER=EDSK\nSECSIZE=8192", 19}, {wide + "CONTAINER=IMD\nSECSIZE=8192", 0},
      {s29 + "CONTAINER=DSK", 0}, {s29 + "CONTAINER=EDSK", 0}, {s30 + "CONTAINER=DSK", 19}};
  // clang-format on
  Folder folder;
  for (const auto& [definition, status] : cases) {
    folder.write("xev.ini", definition + "\n");
    EXPECT_EQ(xev(folder, {"x.img", "-iti"}).status, status) << definition;
  }
  folder.write("xev.ini",
               cpd + "CONTAINER=imd\nSECSIZE=512 ; bytes\nHEADS=2\nSECBASE=0x41\n");
  const std::string info = xev(folder, {"x.img", "-iti"}).out;
  // New ImageDisk files record the data rate: 500 kbps for FM tracks of 4 KiB.
  folder.write("xev.ini", section("fm", 32, 1, 0, 99, 31) + "CONTAINER=IMD\nSECSIZE=128\n");
  xev(folder, {"n.fm", "-f"});
  const std::string made = folder.read("n.fm");
  EXPECT_EQ(made[made.find('\x1A') + 1], 0);
  const std::time_t now = std::time(nullptr);
  EXPECT_EQ(made.substr(16, 4), std::to_string(std::localtime(&now)->tm_year + 1900));
  // An extended DSK file names its maker, then 40 tracks of one side.
  folder.write("xev.ini", cpd + "CONTAINER=EDSK\nSECSIZE=512\n");
  xev(folder, {"n.img", "-f"});
  EXPECT_EQ(folder.read("n.img").substr(0, 0x32),
            padded("EXTENDED CPC DSK File\r\nDisk-Info\r\nxev", 0x30) + "\x28\x01");
  EXPECT_EQ(
      info.substr(info.find("\n\nContainer")),
      "\n\nContainer for new images: IMD\n  Tracks: 40 (20 cylinders, 2 heads in turns)\n"
      "  Sectors Per Track: 9 of 512 Bytes, IDs 0x41 to 0x49\n");
}

// The shipped Amstrad sections, and the 8-inch disk that owns `.dsk`.
const std::string kAmstrad =
    kEightInch + "CONTAINER=EDSK\n" + section("cps", 36, 1, 0, 170, 63, 2) +
    "CONTAINER=EDSK\nSECSIZE=512\nSECBASE=0X41\n" + section("cpd", 36, 1, 0, 179, 63) +
    "CONTAINER=DSK\nSECSIZE=512\nSECBASE=0xC1\n" + section("pcw", 36, 1, 0, 174, 63, 1) +
    "CONTAINER=EDSK\nSECSIZE=512\nSECBASE=1\n" + section("ims", 36, 1, 0, 179, 63) +
    "CONTAINER=IMD\nSECSIZE=512\nSECBASE=0xC1\n" + section("two", 36, 1, 0, 179, 63) +
    "CONTAINER=EDSK\nSECSIZE=512\nHEADS=2\n" + section("cp2", 36, 2, 1, 179, 63) +
    "CONTAINER=EDSK\nSECSIZE=512\nSECBASE=0xC1\nHEADS=2\n";

// Made as one type, then named .dsk (the 8-inch type's extension) or so that
// no type is given: the type found (none: the run fails).
TEST(Containers, AmstradDisksAreKnownByTheirSectors) {
  // clang-format off
  const std::pair<std::string, std::string> cases[] = {
      {"cps", "cps"}, {"cpd", "cpd"}, {"pcw", "pcw"}, {"dsk", "dsk"},
      {"ims", ""},      // ImageDisk: not an Amstrad container
      {"two", ""},      // sector 1, but two-sided
      {"cp2", "cpd"}};  // 80 tracks: as many as the 8-inch disk, not of its size
  // clang-format on
  for (const auto& [made_as, found] : cases) {
    for (const std::string name : {"m.dsk", "m.box"}) {
      Box folder(kAmstrad, "amstrad");
      xev(folder, {"m." + made_as, "-a", "x.img"});
      std::filesystem::rename(folder.path("m." + made_as), folder.path(name));
      const Result run = xev(folder, {name, "-c"});
      // A name that gives the type leaves nothing to detect.
      const std::string line = found.empty() ? "\n"
                               : name == "m." + found
                                   ? "Catalogue of 'm.dsk', mask: '*.*'\n"
                                   : "Image type `" + found + "` detected\n";
      EXPECT_EQ(run.out.substr(0, run.out.find('\n') + 1), line)
          << name << " " << made_as;
      EXPECT_EQ(run.status != 0, found.empty()) << made_as;
      // -nb: the file alone, no line about the type found.
      if (found == made_as) {
        EXPECT_EQ(xev(folder, {name, "-nb", "-t", "X.IMG"}, false).out.substr(0, 7),
                  "amstrad");
      }
    }
  }
  // A disk of 8-inch tracks one track short does not fit the 8-inch type:
  // its sector IDs decide.
  Track eight;
  for (int id = 0xC1; id < 0xC1 + 26; ++id) eight.push_back({id, 128, 1, std::string(128, '\xE5')});
  Box cut(kAmstrad, edsk(std::vector<Track>(76, eight)));
  std::filesystem::rename(cut.path("x.img"), cut.path("m.dsk"));
  EXPECT_EQ(xev(cut, {"m.dsk", "-c"}).out.substr(0, 25), "Image type `cpd` detected");
  EXPECT_NE(xev(cut, {"m.dsk", "-iti"}).out.find("File: " + cut.path("xev.ini")), std::string::npos);
}

}  // namespace
}  // namespace xev::test
