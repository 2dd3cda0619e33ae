// -a, -x and -e on types without skew or system area: entry i lies at byte
// 32 i, unit a at a * BLS KiB.
#include <gtest/gtest.h>

#include <filesystem>

#include "support/harness.h"

namespace xev::test {
namespace {

using Args = std::vector<std::string>;
constexpr std::size_t kMax = 8388608;

// [sub]: EXM 0 where 16 pointers would allow 1, so 8 pointers an entry.
// [wide]: 16-bit pointers to 1 KiB units hold less than EXM 0 asks for.
const std::string kIni = section("t1", 26, 1, 0, 242, 63) + section("t2", 32, 2, 1, 199, 63) +
                         section("t4", 64, 4, 3, 255, 127) + section("big", 64, 4, 1, 2100, 1023) +
                         section("sub", 32, 2, 0, 155, 63) + section("wide", 32, 1, 0, 300, 63) +
                         section("tiny", 8, 1, 0, 9, 31);

// `data` filled with 0xE5 to whole units of `unit` bytes.
std::string padded(const std::string& data, std::size_t unit) {
  return data + std::string((unit - data.size() % unit) % unit, '\xE5');
}

// The progress of -a, -x or -e for `names`, after the heading.
std::string progress(const std::string& verb, const Args& names) {
  std::string text;
  for (const std::string& name : names) text += "File '" + name + "' " + verb + "\n";
  return text + "\nDone. " + std::to_string(names.size()) + " file(s) " + verb + ".\n\n";
}

std::string add_heading(const std::string& image, const std::string& dir, const std::string& mask) {
  return "Adding file(s) to '" + image + "'\n  path: '" + dir + "', mask: '" + mask + "'\n\n";
}

class Files : public ::testing::Test {
 protected:
  void SetUp() override { folder.write("xev.ini", kIni); }
  // The formatted image with zeros in its data area, so that fill shows.
  void blank(const std::string& image, std::size_t data_start) {
    ASSERT_EQ(xev(folder, {image, "-f"}).status, 0);
    std::string bytes = folder.read(image);
    bytes.replace(data_start, bytes.size() - data_start, bytes.size() - data_start, '\0');
    folder.write(image, bytes);
  }
  std::string entry_at(const std::string& image, int index) {
    return folder.read(image).substr(32 * std::size_t(index), 32);
  }
  Folder folder;
};

// Each file is added, read back, erased (byte 0 of its entries only) and added
// again into the units given back: the same image.
TEST_F(Files, EntriesPointersAndFillOfEachSizeReadBackAndEraseCleanly) {
  struct Entry {
    int index, rc, first, count, ex = 0, s2 = 0;
  };
  const struct {
    const char* type;
    std::size_t au, size;
    std::vector<Entry> entries;
  } rows[] = {
      {"t1", 1024, 200, {{0, 2, 2, 1}}},
      {"t1", 1024, 0, {{0, 0, 0, 0}}},
      {"t2", 2048, 40960, {{0, 0x80, 1, 16, 1}, {1, 64, 17, 4, 2}}},
      {"sub", 2048, 24576, {{0, 0x80, 1, 8}, {1, 64, 9, 4, 1}}},
      {"t4", 4096, 614400, {{0, 0x80, 1, 16, 3}, {8, 0x80, 129, 16, 3, 1}, {9, 64, 145, 6, 5, 1}}},
      {"big", 4096, kMax, {{0, 0x80, 8, 8, 1}, {255, 0x80, 2048, 8, 31, 15}}},
  };
  for (const auto& row : rows) {
    const std::string image = std::string("x.") + row.type;
    SCOPED_TRACE(image + " " + std::to_string(row.size));
    const bool wide = image == "x.big";
    const std::string data = noise(row.size, 1);
    folder.write("F.D", data);
    blank(image, row.au * (wide ? 8 : row.type == std::string("t1") ? 2 : 1));

    Result run = xev(folder, {image, "-a", "F.D"});
    EXPECT_EQ(run.out, add_heading(image, "", "F.D") + progress("added", {"F.D"}));
    const std::string added = folder.read(image);
    for (const Entry& e : row.entries) {
      std::string expected = entry(0, "F", "D", e.ex, e.s2, e.rc, {}, wide);
      for (int i = 0; i < e.count; ++i) {
        const int au = e.first + i;
        expected.replace(16 + (wide ? 2 * i : i), wide ? 2 : 1,
                         std::string{char(au & 0xFF), char(au >> 8)}.substr(0, wide ? 2 : 1));
      }
      EXPECT_EQ(entry_at(image, e.index), expected) << e.index;
    }
    const std::size_t start = row.entries[0].first * row.au;
    EXPECT_EQ(added.substr(start, padded(data, row.au).size()), padded(data, row.au));

    run = xev(folder, {image, "-x", "none/*.*"});
    EXPECT_EQ(run.err, "File `F.D` already exist !!!\n");  // no such folder
    std::filesystem::create_directory(folder.path("out"));
    run = xev(folder, {image, "-x", "out/F.D"});
    EXPECT_EQ(run.out, "Extracting file(s) from '" + image + "'\n  path: 'out/', mask: 'F.D'\n\n" +
                           progress("extracted", {"F.D"}));
    EXPECT_EQ(folder.read("out/F.D"), padded(data, 128));

    run = xev(folder, {image, "-e", "f.d"});
    EXPECT_EQ(run.out, "Erasing file(s) from '" + image + "', mask: 'f.d'\n\n" +
                           progress("erased", {"F.D"}));
    std::string erased = added;
    for (std::size_t i = 0; i < erased.size(); i += 32) {
      if (erased.compare(i + 1, 11, "F       D  ") == 0 && erased[i] == 0) erased[i] = '\xE5';
    }
    EXPECT_EQ(folder.read(image), erased);
    EXPECT_EQ(xev(folder, {image, "-a", "F.D"}).status, 0);
    EXPECT_EQ(folder.read(image), added);
  }
}

TEST_F(Files, AddRefusesWhatDoesNotFitAndGoesOnWhereItCan) {
  std::filesystem::create_directory(folder.path("in"));
  folder.write("in/A.TXT", "a");
  folder.write("in/B.TXT", std::string(9300, 'b'));
  folder.write("in/a-long-name.txt", "long");
  folder.write("in/OVER", "");
  std::filesystem::resize_file(folder.path("in/OVER"), kMax + 1);
  const std::string over = "File `OVER` is too long (8388609 bytes). Max length is 8MB. !!!\n";
  const struct {
    std::string image;
    Args args;
    std::string out;
    std::string err;
    int status;
  } rows[] = {
      {"a.t1", {"-a", "in/*"}, progress("added", {"A.TXT", "B.TXT"}),
       "Name of this file `a-long-name.txt` has incorrect format !!!\n" + over, 14},
      {"a.t1", {"-a", "in/?.TXT"}, progress("added", {}),
       "File `A.TXT` already exist !!!\nFile `B.TXT` already exist !!!\n", 12},
      {"a.t1", {"-a", "in/a-long-name.txt", "-afn", "long.txt", "-u", "3"},
       progress("added", {"long.txt"}), "", 0},
      {"a.t1", {"-a", "in/a-long-name.txt", "-afn", "l*.txt"}, "",
       "File name `l*.txt` must be unambiguous! !!!\n", 27},
      {"a.t1", {"-a", "in/a-long-name.txt", "-afn", "l;.txt"}, "",
       "Name of this file `l;.txt` has incorrect format !!!\n", 14},
      {"a.t1", {"-a", "in/*.none"}, "", "No matching files found for mask `in/*.none` !!!\n", 25},
      {"a.t1", {"-a", "gone/*"}, "", "Path or file/mask `gone/*` is invalid!!! !!!\n", 26},
      {"b.tiny", {"-a", "in/B.TXT"}, progress("added", {}), "Disk full !!!\n", 10},
      {"b.wide", {"-a", "in/A.TXT"}, "", "Error in definition for Image type `wide` !!!\n", 19},
  };
  for (const auto& row : rows) {
    Args args{row.image};
    args.insert(args.end(), row.args.begin(), row.args.end());
    const Result run = xev(folder, args);
    const std::string afn = row.args.size() > 2 && row.args[2] == "-afn"
                                ? "  as '" + row.args[3] + "'\n" : "";
    const std::size_t cut = row.args[1].rfind('/') + 1;
    std::string heading = add_heading(row.image, row.args[1].substr(0, cut), row.args[1].substr(cut));
    heading.insert(heading.size() - 1, afn);
    std::string created;
    if (!folder.exists(row.image + ".seen")) {
      created = "Image '" + row.image + "' was created.\nImage '" + row.image + "' was formated.\n";
      folder.write(row.image + ".seen", "");
    }
    EXPECT_EQ(run.out, created + heading + row.out) << args[2];
    EXPECT_EQ(run.err, row.err) << args[2];
    EXPECT_EQ(run.status, row.status) << args[2];
  }
  const Result listed = xev(folder, {"a.t1", "-c1", "-c"});
  EXPECT_NE(listed.out.find(" 0 A.TXT            1    1K  --\n 0 B.TXT           73   10K  --\n"
                            " 3 LONG.TXT         1    1K  --\n"),
            std::string::npos)
      << listed.out;
  // A free unit is no use without a free entry: 32 entries, 33 empty files.
  for (int i = 0; i < 33; ++i) folder.write("in/F" + std::to_string(i), "");
  const Result full = xev(folder, {"c.tiny", "-a", "in/F*"});
  EXPECT_EQ(full.err, "Directory full !!!\n");
  EXPECT_NE(full.out.find("\nDone. 32 file(s) added.\n"), std::string::npos);
}

// -ow replaces in every user area unless -u names one; the new file goes to
// user area 0.
TEST_F(Files, OverwriteErasesTheOldFilesFirst) {
  folder.write("A.TXT", "new");
  const std::string old = entry(1, "A", "TXT", 0, 0, 1, {2}) + entry(4, "A", "TXT", 0, 0, 1, {3}) +
                          entry(4, "B", "TXT", 0, 0, 1, {4});
  for (const auto& [args, listing] : std::vector<std::pair<Args, std::string>>{
           {{"-ow"}, " 0 A.TXT 4 B.TXT"},
           {{"-ow", "-u", "4"}, " 1 A.TXT 4 A.TXT 4 B.TXT"},
           {{"-ow", "-u", "1", "-afn", "a.txt"}, " 1 A.TXT 4 A.TXT 4 B.TXT"}}) {
    ASSERT_EQ(xev(folder, {"o.t1", "-f"}).status, 0);
    patch(folder, "o.t1", 0, old);
    Args add{"o.t1", "-a", "A.TXT"};
    add.insert(add.end(), args.begin(), args.end());
    EXPECT_EQ(xev(folder, add).err, "");
    std::string names;
    const std::string listed = xev(folder, {"o.t1", "-c1", "-c"}).out;
    for (std::size_t at = listed.find("\n ", listed.find("---")); at != std::string::npos;
         at = listed.find("\n ", at + 1)) {
      names += listed.substr(at + 1, 8);
    }
    EXPECT_EQ(names, listing) << args.size();
  }
}

TEST_F(Files, ExtractNamesAndMisses) {
  ASSERT_EQ(xev(folder, {"e.t1", "-f"}).status, 0);
  patch(folder, "e.t1", 0,
        entry(0, "A/B|C", "D", 0, 0, 1, {2}) + entry(2, "E", "", 0, 0, 0) +
            entry(0, "E", "T", 0, 0, 1, {3}));
  const std::string heading = "Extracting file(s) from 'e.t1'\n  path: '', mask: '";
  const struct {
    std::string mask, out, err;
  } rows[] = {
      {"A?B?C.D", "File 'A/B|C.D' extracted as A_B_C.D\n\nDone. 1 file(s) extracted.\n\n", ""},
      {"e", "File 'E' extracted\n\nDone. 1 file(s) extracted.\n\n", ""},
      {"Z.*", "\nDone. 0 file(s) extracted.\n\n", ""},
      {"Z", "", "File `Z` not found !!!\n"},
  };
  for (const auto& row : rows) {
    folder.write("E.T", "x");
    const Result run = xev(folder, {"e.t1", "-x", row.mask});
    EXPECT_EQ(run.out, heading + row.mask + "'\n\n" + row.out);
    EXPECT_EQ(run.err, row.err);
  }
  EXPECT_EQ(folder.read("A_B_C.D"), std::string(128, '\xE5'));
  EXPECT_EQ(folder.read("E"), "");
  // The image's own name is never a target.
  folder.write("xev.ini", kIni + section("t", 26, 1, 0, 242, 63));
  folder.write("E.T", folder.read("e.t1"));
  EXPECT_EQ(xev(folder, {"E.T", "-x", "E.T"}).err, "File `E.T` already exist !!!\n");
  EXPECT_EQ(xev(folder, {"e.t1", "-x", "|"}).err,
            "Name of this file `|` has incorrect format !!!\n");
}

}  // namespace
}  // namespace xev::test
